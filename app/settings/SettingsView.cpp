#include "settings/SettingsView.h"

#include "kit/DarkAppearance.h"
#include "kit/SettingsNote.h"
#include "kit/SymbolIcons.h"
#include "settings/ClusterSettings.h"
#include "settings/DataSettings.h"
#include "settings/LabelSettings.h"
#include "settings/MapSettings.h"
#include "settings/RotatorSettings.h"
#include "settings/StationSettings.h"
#include "support/Settings.h"

#include <QTabWidget>
#include <QVBoxLayout>

#include <array>

namespace {

using MakeTab = QWidget* (*)(const AppStores&);

struct TabEntry {
    SettingsView::Tab tab;
    const char* label;
    const char* symbol;
    MakeTab make;
};

// The tabs in their order. A tab's page is built by its own class; the
// stores it needs come from here.
constexpr std::array<TabEntry, 6> tabEntries { {
    { SettingsView::Tab::station, "Station", "antenna.radiowaves.left.and.right",
      [](const AppStores&) -> QWidget* { return new StationSettings; } },
    { SettingsView::Tab::map, "Map", "map", [](const AppStores&) -> QWidget* { return new MapSettings; } },
    { SettingsView::Tab::labels, "Labels", "textformat",
      [](const AppStores&) -> QWidget* { return new LabelSettings; } },
    { SettingsView::Tab::data, "Data", "arrow.down.circle",
      [](const AppStores& stores) -> QWidget* { return new DataSettings(stores.spaceWeather); } },
    { SettingsView::Tab::cluster, "Cluster", "dot.radiowaves.left.and.right",
      [](const AppStores& stores) -> QWidget* { return new ClusterSettings(stores.cluster); } },
    { SettingsView::Tab::rotators, "Rotators", "location.north.line",
      [](const AppStores& stores) -> QWidget* { return new RotatorSettings(stores.rotors); } },
} };

} // namespace

SettingsView::SettingsView(const AppStores& stores, QWidget* parent)
    : QWidget(parent)
    , m_stores(stores)
{
    setMinimumSize(minimumWindowSize);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 8, 6, 6);
    m_tabs = new QTabWidget(this);
    m_tabs->setDocumentMode(true);
    for (const TabEntry& entry : tabEntries) {
        const QString label = QString::fromLatin1(entry.label);
        m_tabs->addTab(entry.make(m_stores), SymbolIcons::bundled(QString::fromLatin1(entry.symbol)), label);
    }
    layout->addWidget(m_tabs);
    // Settings that cannot be saved, or a settings file that was unreadable.
    m_note = new SettingsNote(Settings::standard(), this);
    m_note->setContentsMargins(6, 2, 6, 0);
    layout->addWidget(m_note);
    // After the pages: their menus are windows of their own and take the
    // palette only from here.
    DarkAppearance::apply(this);
    showTab(Tab::station);
}

void SettingsView::showTab(Tab tab) { m_tabs->setCurrentWidget(page(tab)); }

SettingsView::Tab SettingsView::currentTab() const { return tabEntries[m_tabs->currentIndex()].tab; }

QWidget* SettingsView::page(Tab tab) const
{
    for (size_t i = 0; i < tabEntries.size(); ++i)
        if (tabEntries[i].tab == tab)
            return m_tabs->widget(int(i));
    return nullptr;
}
