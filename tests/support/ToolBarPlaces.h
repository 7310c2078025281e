#pragma once

// For the toolbar's tests: where its items stand, which of its buttons are
// lost, and what its overflow menu offers.
#include "rotator/RotatorBadges.h"
#include "shell/MainToolBar.h"
#include "shell/ToolBarStrip.h"

#include <QLabel>
#include <QMap>
#include <QMenu>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <utility>

// The toolbar's buttons, each with a name to report it by.
inline QList<std::pair<QString, QToolButton*>> buttonsOf(const MainToolBar* bar)
{
    QList<std::pair<QString, QToolButton*>> buttons;
    for (const auto& t : MainToolBar::layerToggles())
        buttons.append({ QLatin1String(t.title), bar->button(bar->toggle(*t.key)) });
    buttons.append({ "Coverage", bar->coverageButton() });
    buttons.append({ "Map style", bar->styleButton() });
    buttons.append({ "Zoom out", bar->button(bar->zoomOutAction()) });
    buttons.append({ "Zoom in", bar->button(bar->zoomInAction()) });
    buttons.append({ "Refresh", bar->refreshButton() });
    buttons.append({ "Settings", bar->button(bar->settingsAction()) });
    return buttons;
}

// Every item of the bar where it stands, in the bar's coordinates.
inline QMap<QString, QRect> placesOf(const MainToolBar* bar)
{
    QMap<QString, QRect> places;
    for (const auto& [name, button] : buttonsOf(bar))
        places[name] = QRect(button->mapTo(bar, QPoint(0, 0)), button->size());
    places["Rotators"] = QRect(bar->rotatorBadges()->mapTo(bar, QPoint(0, 0)), bar->rotatorBadges()->size());
    places["Warning"] = QRect(bar->warningLabel()->mapTo(bar, QPoint(0, 0)), bar->warningLabel()->size());
    return places;
}

// The buttons that are neither whole on the bar, clear of the others, nor
// waiting in the overflow menu.
inline QStringList lostButtons(const MainToolBar* bar)
{
    QStringList lost;
    QList<QRect> taken;
    for (const auto& [name, button] : buttonsOf(bar)) {
        if (bar->strip()->isOverflowed(button) && !button->isVisible())
            continue;
        const QRect place(button->mapTo(bar, QPoint(0, 0)), button->size());
        const bool clear
            = std::none_of(taken.begin(), taken.end(), [&](const QRect& r) { return r.intersects(place); });
        if (!button->isVisible() || !bar->rect().contains(place) || !clear)
            lost << name;
        taken << place;
    }
    return lost;
}

// What the overflow menu offers when opened.
inline QStringList overflowMenu(MainToolBar* bar)
{
    QStringList entries;
    QMenu* menu = bar->overflowButton()->menu();
    QTimer::singleShot(0, menu, [&] {
        for (QAction* action : menu->actions())
            entries << action->text();
        menu->close();
    });
    bar->overflowButton()->showMenu();
    return entries;
}
