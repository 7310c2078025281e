#pragma once

#include "infobar/ClockText.h"
#include "kit/AppStores.h"

#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>

class ClockCard;
class SpaceWeatherPanel;
class SunCard;
class WatchStrip;

// The band under the map: the space weather panel at the left; beside it
// the watch strip above a row of three cards — the clock of the computer's
// own time zone, the UTC clock and the Sun at the station. The bar is as
// tall as its content and as wide as the window.
//
// Once a second only the row of cards is worked out and repainted; the
// panel and the strip redraw when their stores or settings change (the
// strip also blinks while it has chips).
class InfoBar : public QWidget {
    Q_OBJECT
public:
    struct Options {
        std::function<QDateTime()> now;          // the clocks' time; UTC now when empty
        std::chrono::milliseconds tick { 1000 }; // between clock ticks
        std::chrono::milliseconds blink { 500 }; // between the watch strip's blinks
    };

    explicit InfoBar(const AppStores& stores, QWidget* parent = nullptr);
    InfoBar(const AppStores& stores, Options options, QWidget* parent = nullptr);

    SpaceWeatherPanel* spaceWeatherPanel() const { return m_panel; }
    WatchStrip* watchStrip() const { return m_strip; }
    ClockCard* localClock() const { return m_local; }
    ClockCard* utcClock() const { return m_utc; }
    SunCard* sunCard() const { return m_sun; }
    // The widget holding the three cards.
    QWidget* cardRow() const { return m_cardRow; }

    // Works the cards out for now and repaints those that changed; the
    // timer calls it every second.
    void tick();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void startTicking();
    void onSettingChanged(const QString& key);
    QDateTime now() const;

    Options m_options;
    SpaceWeatherPanel* m_panel = nullptr;
    WatchStrip* m_strip = nullptr;
    QWidget* m_cardRow = nullptr;
    ClockCard* m_local = nullptr;
    ClockCard* m_utc = nullptr;
    SunCard* m_sun = nullptr;
    QTimer m_timer;
};
