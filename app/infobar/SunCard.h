#pragma once

#include "geo/GeoMath.h"
#include "infobar/ClockText.h"
#include "infobar/InfoCard.h"

#include <QDateTime>
#include <QFontMetricsF>

#include <utility>

// The Sun at the operator's station, titled "Sun at " and the station's
// six-character locator: sunrise and sunset in the computer's time zone (in
// the clock font at three quarters of its size), the time to the next of
// them or the polar day's or night's text, the day length and the Sun's
// elevation. A narrow card is titled "Sun · " and the locator, says the
// next event briefly and puts the elevation under the day length.
class SunCard : public InfoCard {
    Q_OBJECT
public:
    explicit SunCard(const ClockLook& look = {}, QWidget* parent = nullptr);

    void setLook(const ClockLook& look);
    void setHome(const GeoCoordinate& home);
    // Works everything out for the instant; repaints only when a text changed.
    void show(const QDateTime& now);
    using QWidget::show;

    // "06:42", or "--:--" when there is none that day.
    const QString& riseText() const { return m_rise; }
    const QString& setText() const { return m_set; }
    // The polar texts, the time to the next event, or empty.
    const QString& eventText() const { return m_event; }
    // The event line as drawn at the card's width.
    QString shownEvent() const;
    // "Day 7h 31m", or empty when sunrise or sunset is missing.
    const QString& dayText() const { return m_day; }
    const QString& elevationText() const { return m_elevation; }
    // The day length and the elevation as drawn at the card's width, on one
    // line where they fit and else one under the other.
    std::pair<QString, QString> shownFooter() const;

protected:
    QSizeF contentSize() const override;
    double briefContentWidth() const override;
    void paintContent(QPainter& painter, const QRectF& area) override;

private:
    void recompute();
    double timesWidth(const QFont& font) const;
    double footerWidth() const;
    // The content's least width for these brief texts.
    double briefWidth(const QString& event, const QString& day, const QString& elevation) const;
    std::pair<QString, QString> footer(const QFontMetricsF& caption, double room) const;

    ClockLook m_look;
    GeoCoordinate m_home { 54.687, 25.28 };
    QDateTime m_now;
    QString m_rise = QStringLiteral("--:--");
    QString m_set = QStringLiteral("--:--");
    QString m_event;
    QString m_briefEvent;
    QString m_day;
    QString m_elevation;
};
