#include "HelpView.h"

HelpView::HelpView(QWidget* parent)
    : QWidget(parent)
{
}
