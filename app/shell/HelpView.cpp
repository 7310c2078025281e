#include "shell/HelpView.h"

HelpView::HelpView(QWidget* parent)
    : QWidget(parent)
{
}
