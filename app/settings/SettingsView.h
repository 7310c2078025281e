#pragma once

#include "kit/AppStores.h"

#include <QWidget>

class QTabWidget;
class SettingsNote;

// The settings window's content: one tab per area of settings, in a fixed
// order, each a column layout of sections whose controls are bound to the
// settings keys. The window shows the Station tab when it opens. It keeps
// nothing between openings: the application makes a new one each time, so
// view state (a typed locator, an error line) is gone once it closes.
class SettingsView : public QWidget {
    Q_OBJECT
public:
    enum class Tab { station, map, labels, data, cluster, rotators };

    static constexpr QSize minimumWindowSize { 580, 460 };
    static constexpr QSize idealWindowSize { 640, 720 };

    explicit SettingsView(const AppStores& stores, QWidget* parent = nullptr);

    void showTab(Tab tab);
    Tab currentTab() const;
    // The page of a tab.
    QWidget* page(Tab tab) const;
    QTabWidget* tabs() const { return m_tabs; }
    // The line under the tabs about a settings file that cannot be saved.
    SettingsNote* note() const { return m_note; }

    QSize sizeHint() const override { return idealWindowSize; }

private:
    AppStores m_stores;
    QTabWidget* m_tabs = nullptr;
    SettingsNote* m_note = nullptr;
};
