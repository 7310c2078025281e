#include "support/ReportProblemView.h"

ReportProblemView::ReportProblemView(QWidget* parent)
    : QWidget(parent)
{
}
