#pragma once

#include "infobar/ClockText.h"
#include "infobar/InfoCard.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <optional>

// A clock in the info bar: the time in the clock font, the date below it in
// the callout style (without its weekday in a narrow card). The local clock
// follows the computer's time zone as it is at each tick (a change of zone
// or the start of summer time shows at the next tick) and is titled with
// the zone's name (its abbreviation in a narrow card); the UTC clock is
// titled "UTC".
class ClockCard : public InfoCard {
    Q_OBJECT
public:
    enum class Zone { local, utc };

    explicit ClockCard(Zone zone, const ClockLook& look = {}, QWidget* parent = nullptr);

    void setLook(const ClockLook& look);
    // Shows the instant; repaints only when a text changed.
    void show(const QDateTime& instant);
    using QWidget::show;

    const QTimeZone& zone() const { return m_zone; }
    const QString& timeText() const { return m_time; }
    const QString& dateText() const { return m_date; }
    // The date as drawn at the card's width.
    QString shownDate() const;
    // The font the time is drawn in: the clock font, made smaller as far as
    // the card needs to show every digit.
    QFont timeFont() const;

protected:
    QSizeF contentSize() const override;
    double briefContentWidth() const override;
    void paintContent(QPainter& painter, const QRectF& area) override;

private:
    // What the local clock's title names: naming a zone costs more than
    // the rest of a tick, so it is done only when one of these changed.
    struct Naming {
        QByteArray zone;
        bool summer = false;
        QLocale locale;
        friend bool operator==(const Naming&, const Naming&) = default;
    };

    Zone m_kind;
    ClockLook m_look;
    QTimeZone m_zone;
    std::optional<Naming> m_naming;
    QDateTime m_instant;
    QString m_time;
    QString m_date;
    QString m_shortDate;
};
