#include "infobar/ClockCard.h"

#include "kit/DigitCells.h"
#include "kit/PanelStyle.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double lineGap = 2;

} // namespace

ClockCard::ClockCard(Zone zone, const ClockLook& look, QWidget* parent)
    : InfoCard(parent)
    , m_kind(zone)
    , m_look(look)
    , m_zone(zone == Zone::utc ? QTimeZone::utc() : QTimeZone::systemTimeZone())
{
    if (zone == Zone::utc)
        setTitle(QStringLiteral("UTC"));
}

void ClockCard::setLook(const ClockLook& look)
{
    if (look == m_look)
        return;
    m_look = look;
    if (m_instant.isValid())
        m_time = ClockText::time(m_instant, m_zone, m_look.use24Hour, m_look.seconds);
    updateGeometry();
    update();
}

void ClockCard::show(const QDateTime& instant)
{
    m_instant = instant;
    if (m_kind == Zone::local) {
        // Looked up afresh: the user may move the computer to another zone.
        m_zone = QTimeZone::systemTimeZone();
        const Naming naming { m_zone.id(), m_zone.isDaylightTime(instant), QLocale() };
        if (naming != m_naming) {
            m_naming = naming;
            setTitle(ClockText::localTitle(m_zone, instant),
                     ClockText::localTitle(m_zone, instant, QTimeZone::ShortName));
        }
    }
    const QString time = ClockText::time(instant, m_zone, m_look.use24Hour, m_look.seconds);
    const QString date = ClockText::date(instant, m_zone);
    if (time == m_time && date == m_date)
        return;
    m_time = time;
    if (date != m_date) {
        m_date = date;
        m_shortDate = ClockText::date(instant, m_zone, false);
        updateGeometry();
    }
    update();
}

QFont ClockCard::timeFont() const
{
    return DigitCells::fitting(m_look.clockFont(), m_time, contentArea().width(), this);
}

QSizeF ClockCard::contentSize() const
{
    const QFont font = m_look.clockFont();
    const QFontMetricsF time(font, this);
    const QFontMetricsF date(PanelStyle::callout(), this);
    // Wide enough for the longest time the pattern gives, whatever it reads.
    const QString widest = ClockText::timePattern(m_look.use24Hour, m_look.seconds)
                               .replace(QLatin1Char('H'), QLatin1Char('0'))
                               .replace(QLatin1Char('h'), QLatin1String("00"))
                               .replace(QLatin1Char('m'), QLatin1Char('0'))
                               .replace(QLatin1Char('s'), QLatin1Char('0'))
                               .replace(QLatin1String("AP"), QLatin1String("PM"));
    const double width = std::max(DigitCells::width(time, widest), date.horizontalAdvance(m_date));
    return { width, time.height() + lineGap + date.height() };
}

double ClockCard::briefContentWidth() const
{
    // The time shrinks to any width; the date keeps its numbers.
    return QFontMetricsF(PanelStyle::callout(), this).horizontalAdvance(m_shortDate);
}

QString ClockCard::shownDate() const
{
    return fittedForm(QFontMetricsF(PanelStyle::callout(), this), m_date, m_shortDate, contentArea().width());
}

void ClockCard::paintContent(QPainter& painter, const QRectF& area)
{
    const QFontMetricsF fullMetrics(m_look.clockFont(), this);
    painter.setFont(timeFont());
    painter.setPen(m_look.clockColour());
    // The time keeps its line's height when it shrinks, sitting on the same
    // baseline.
    DigitCells::draw(painter, QPointF(area.left(), area.top() + fullMetrics.ascent()), m_time);

    const QFontMetricsF dateMetrics(PanelStyle::callout(), this);
    painter.setFont(PanelStyle::callout());
    painter.setPen(PanelStyle::secondaryText());
    const double dateTop = area.top() + fullMetrics.height() + lineGap;
    painter.drawText(QPointF(area.left(), dateTop + dateMetrics.ascent()),
                     fittedForm(dateMetrics, m_date, m_shortDate, area.width()));
}
