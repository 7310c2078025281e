#include "infobar/SunCard.h"

#include "geo/Maidenhead.h"
#include "kit/DigitCells.h"
#include "kit/MapStyle.h"
#include "kit/PanelStyle.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double valueGap = 18;     // between the rise and set values
constexpr double labelGap = 2;      // between a value's label and its time
constexpr double rowGap = 4;        // between the card's rows
constexpr double footerGap = 12;    // between day length and elevation
constexpr double footerLineGap = 2; // between them, one under the other

const QString noTime = QStringLiteral("--:--");

// The symbol and its word: "Rise" with the rising sun, "Set" with the
// setting one.
struct ValueLabel {
    QString symbol;
    QString text;
};
const ValueLabel riseLabel { QStringLiteral("sunrise.fill"), QStringLiteral("Rise") };
const ValueLabel setLabel { QStringLiteral("sunset.fill"), QStringLiteral("Set") };

double labelWidth(const QFontMetricsF& caption, const ValueLabel& label)
{
    return caption.height() + 3 + caption.horizontalAdvance(label.text);
}

} // namespace

SunCard::SunCard(const ClockLook& look, QWidget* parent)
    : InfoCard(parent)
    , m_look(look)
{
    setHome(m_home);
}

void SunCard::setLook(const ClockLook& look)
{
    if (look == m_look)
        return;
    m_look = look;
    recompute();
    updateGeometry();
    update();
}

void SunCard::setHome(const GeoCoordinate& home)
{
    m_home = home;
    const QString locator = Maidenhead::locator(home, 6);
    setTitle(QStringLiteral("Sun at ") + locator, QStringLiteral("Sun · ") + locator);
    recompute();
    update();
}

void SunCard::show(const QDateTime& now)
{
    m_now = now;
    const QString rise = m_rise, set = m_set, event = m_event, briefEvent = m_briefEvent, day = m_day,
                  elevation = m_elevation;
    recompute();
    if (rise != m_rise || set != m_set || event != m_event || day != m_day || elevation != m_elevation)
        update();
    // The card row gives each card its brief width first; measured only
    // when a text of it changed, a few times a minute.
    if ((briefEvent != m_briefEvent || day != m_day || elevation != m_elevation)
        && briefWidth(briefEvent, day, elevation) != briefContentWidth())
        updateGeometry();
}

void SunCard::recompute()
{
    if (!m_now.isValid())
        return;
    // The computer's zone as it is now: its calendar day decides which
    // sunrise and sunset are shown, and they are written in its time.
    const QTimeZone zone = QTimeZone::systemTimeZone();
    const SolarCalculator::SunTimes times = SolarCalculator::sunTimes(m_now, m_home, zone);
    const std::optional<SolarCalculator::SunEvent> next = SolarCalculator::nextEvent(m_now, m_home, zone);
    const double elevation = SolarCalculator::elevation(m_home, SolarCalculator::position(m_now).subsolarPoint);
    m_rise = times.sunrise ? ClockText::sunTime(*times.sunrise, zone, m_look.use24Hour) : noTime;
    m_set = times.sunset ? ClockText::sunTime(*times.sunset, zone, m_look.use24Hour) : noTime;
    m_event = ClockText::eventLine(times, next, m_now);
    m_briefEvent = ClockText::eventLine(times, next, m_now, true);
    m_day = ClockText::dayLength(times);
    m_elevation = ClockText::elevation(elevation);
}

double SunCard::footerWidth() const
{
    const QFontMetricsF caption(PanelStyle::caption(), this);
    double width = DigitCells::width(caption, m_elevation);
    if (!m_day.isEmpty())
        width += DigitCells::width(caption, m_day) + footerGap;
    return width;
}

double SunCard::timesWidth(const QFont& font) const
{
    const QFontMetricsF metrics(font, this);
    const QFontMetricsF caption(PanelStyle::caption(), this);
    const double rise = std::max(labelWidth(caption, riseLabel), DigitCells::width(metrics, m_rise));
    const double set = std::max(labelWidth(caption, setLabel), DigitCells::width(metrics, m_set));
    return rise + valueGap + set;
}

QSizeF SunCard::contentSize() const
{
    const QFontMetricsF time(m_look.sunFont(), this);
    const QFontMetricsF caption(PanelStyle::caption(), this);
    const QFontMetricsF callout(PanelStyle::callout(), this);
    const double width = std::max({ timesWidth(m_look.sunFont()), callout.horizontalAdvance(m_event), footerWidth() });
    // The event line keeps its room while it is empty, and the footer room
    // for two lines, so the card's height never changes with the seasons or
    // its width.
    const double height = caption.height() + labelGap + time.height() + rowGap + callout.height() + rowGap
        + caption.height() + footerLineGap + caption.height();
    return { width, height };
}

double SunCard::briefContentWidth() const { return briefWidth(m_briefEvent, m_day, m_elevation); }

double SunCard::briefWidth(const QString& event, const QString& day, const QString& elevation) const
{
    const QFontMetricsF caption(PanelStyle::caption(), this);
    const QFontMetricsF callout(PanelStyle::callout(), this);
    // The times shrink to their labels' width; day length and elevation
    // may stand one under the other.
    const double labels = labelWidth(caption, riseLabel) + valueGap + labelWidth(caption, setLabel);
    return std::max({ labels, DigitCells::width(callout, event), DigitCells::width(caption, day),
                      DigitCells::width(caption, elevation) });
}

QString SunCard::shownEvent() const
{
    return fittedForm(QFontMetricsF(PanelStyle::callout(), this), m_event, m_briefEvent, contentArea().width());
}

void SunCard::paintContent(QPainter& painter, const QRectF& area)
{
    const QFont caption = PanelStyle::caption();
    const QFontMetricsF captionMetrics(caption, this);
    const QFont full = m_look.sunFont();
    const QFontMetricsF fullMetrics(full, this);
    // Both times shrink alike until the pair fits, each digit whole, or
    // until they are no wider than their labels, which keep their size.
    const double labels = labelWidth(captionMetrics, riseLabel) + valueGap + labelWidth(captionMetrics, setLabel);
    QFont timeFont = full;
    for (int step = 0; step < 6; ++step) {
        const double width = timesWidth(timeFont);
        if (width <= area.width() || width <= labels + 0.5 || timeFont.pointSizeF() <= 1)
            break;
        timeFont.setPointSizeF(std::max(1.0, timeFont.pointSizeF() * std::min(0.99, area.width() / width)));
    }
    const QFontMetricsF timeMetrics(timeFont, this);

    // Rise and set: each a label over its time.
    double x = area.left();
    const double labelBaseline = area.top() + captionMetrics.ascent();
    const double timeBaseline = area.top() + captionMetrics.height() + labelGap + fullMetrics.ascent();
    for (const auto& [label, time] : { std::pair { riseLabel, m_rise }, std::pair { setLabel, m_set } }) {
        const double icon = captionMetrics.height();
        PanelStyle::drawSymbol(painter, label.symbol, QRectF(x, area.top(), icon, icon), PanelStyle::secondaryText());
        painter.setFont(caption);
        painter.setPen(PanelStyle::secondaryText());
        painter.drawText(QPointF(x + icon + 3, labelBaseline), label.text);
        painter.setFont(timeFont);
        painter.setPen(m_look.sunColour());
        DigitCells::draw(painter, QPointF(x, timeBaseline), time);
        x += std::max(labelWidth(captionMetrics, label), DigitCells::width(timeMetrics, time)) + valueGap;
    }

    // The event line in the accent colour.
    const QFontMetricsF callout(PanelStyle::callout(), this);
    const double eventTop = area.top() + captionMetrics.height() + labelGap + fullMetrics.height() + rowGap;
    if (!m_event.isEmpty()) {
        painter.setFont(PanelStyle::callout());
        painter.setPen(MapTheme::accent());
        painter.drawText(QPointF(area.left(), eventTop + callout.ascent()),
                         fittedForm(callout, m_event, m_briefEvent, area.width()));
    }

    // Day length and elevation on one line where they fit, else the
    // elevation under the day length.
    const double footerBaseline = eventTop + callout.height() + rowGap + captionMetrics.ascent();
    painter.setFont(caption);
    painter.setPen(PanelStyle::secondaryText());
    const auto [day, elevation] = footer(captionMetrics, area.width());
    QPointF at(area.left(), footerBaseline);
    if (!day.isEmpty()) {
        DigitCells::draw(painter, at, day);
        if (footerWidth() <= area.width())
            at.rx() += DigitCells::width(captionMetrics, day) + footerGap;
        else
            at.ry() += captionMetrics.height() + footerLineGap;
    }
    DigitCells::draw(painter, at, elevation);
}

std::pair<QString, QString> SunCard::footer(const QFontMetricsF& caption, double room) const
{
    if (!m_day.isEmpty() && footerWidth() <= room)
        return { m_day, m_elevation };
    return { DigitCells::fitted(caption, m_day, room), DigitCells::fitted(caption, m_elevation, room) };
}

std::pair<QString, QString> SunCard::shownFooter() const
{
    return footer(QFontMetricsF(PanelStyle::caption(), this), contentArea().width());
}
