#pragma once

#include "shell/AppStores.h"

#include <QWidget>

// The settings window's content. For now an empty shell; its tabs come later.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(const AppStores& stores, QWidget* parent = nullptr);

private:
    AppStores m_stores;
};
