#include "settings/SettingsView.h"

SettingsView::SettingsView(const AppStores& stores, QWidget* parent)
    : QWidget(parent)
    , m_stores(stores)
{
}
