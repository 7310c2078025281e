#include "map/PropagationWheel.h"

#include "geo/GeoMath.h"
#include "map/PainterPixelRatio.h"
#include "prediction/ReliabilityColor.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTimeZone>

#include <cmath>

namespace {

constexpr int bandCount = int(PropagationPredictor::bands.size());
constexpr int legendCellWidth = 24;
constexpr int legendCellHeight = 13;
// The map's label plates: its dark halo (black at 0.9) at 0.75.
const QColor bandPlate = QColor::fromRgbF(0, 0, 0, 0.675f);

QFont systemFont(int pixels, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixels);
    font.setWeight(weight);
    return font;
}

// Outside the rings, the hour numbers.
constexpr double hourMargin = 16;
// Between the band plates on one side of the line to midnight, points.
constexpr double plateGap = 2;

// The width of one band's ring on a wheel of `side` points: the rings fill
// the radius but for the hole of 0.3 in the middle.
double ringWidth(double side) { return 0.7 * (side / 2 - hourMargin) / bandCount; }

// The band numbers' font: 8 pixels, or 7 on rings so narrow that plates
// holding digits of 8 could not keep their gap.
QFont bandFont(double side)
{
    const QFont font = systemFont(8, QFont::DemiBold);
    const double digits = QFontMetricsF(font).tightBoundingRect(QStringLiteral("0123456789")).height();
    return 2 * ringWidth(side) - plateGap >= digits ? font : systemFont(7, QFont::DemiBold);
}

// The wavelength of the band of ring i, in metres.
QString bandText(int i) { return QString::number(rawValue(PropagationPredictor::bands[std::size_t(i)].band)); }

QFont titleFont()
{
    QFont font = OverlayPanel::captionFont(true);
    font.setPixelSize(13);
    return font;
}

// Text centred on a point; each line of a text with line breaks centred
// too.
void drawCentred(QPainter& painter, QPointF at, const QString& text)
{
    const QFontMetricsF metrics(painter.font());
    const QStringList lines = text.split(QLatin1Char('\n'));
    const double height = metrics.height() * double(lines.size());
    double top = at.y() - height / 2;
    for (const QString& line : lines) {
        painter.drawText(QPointF(at.x() - metrics.horizontalAdvance(line) / 2, top + metrics.ascent()), line);
        top += metrics.height();
    }
}

// The ring sector between two radii and two angles (clockwise from the
// positive x axis, y down).
QPainterPath sector(QPointF centre, double outer, double inner, double fromDegrees, double toDegrees)
{
    const QRectF outerBox(centre.x() - outer, centre.y() - outer, 2 * outer, 2 * outer);
    const QRectF innerBox(centre.x() - inner, centre.y() - inner, 2 * inner, 2 * inner);
    QPainterPath path;
    path.moveTo(centre + QPointF(std::cos(radians(fromDegrees)), std::sin(radians(fromDegrees))) * outer);
    // Qt's angles run counter-clockwise with y up: the same angles negated.
    path.arcTo(outerBox, -fromDegrees, -(toDegrees - fromDegrees));
    path.arcTo(innerBox, -toDegrees, toDegrees - fromDegrees);
    path.closeSubpath();
    return path;
}

} // namespace

PropagationWheel::PropagationWheel(QWidget* parent)
    : OverlayPanel(Shape::roundedRectangle, parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_spin.setInterval(100);
    connect(&m_spin, &QTimer::timeout, this, [this] {
        m_spinStep = (m_spinStep + 1) % 8;
        update(canvasRect().toAlignedRect());
    });
}

int PropagationWheel::utcHour(const QDateTime& now) { return now.toTimeZone(QTimeZone::utc()).time().hour(); }

QStringList PropagationWheel::centreTexts(const DayChart& chart, int hour)
{
    const QList<double> row = hour >= 0 && hour < chart.size() ? chart[hour] : QList<double> {};
    qsizetype best = -1;
    for (qsizetype i = 0; i < std::min<qsizetype>(row.size(), bandCount); ++i)
        if (best < 0 || row[i] > row[best])
            best = i;
    if (best < 0 || !(row[best] >= 0.05))
        return { QStringLiteral("closed\nnow") };
    return { QStringLiteral("NOW"),
        QString::number(rawValue(PropagationPredictor::bands[std::size_t(best)].band))
            + QStringLiteral(" m"), QString::number(std::round(row[best] * 100), 'f', 0) + QLatin1Char('%') };
}

void PropagationWheel::paintWheel(QPainter& painter, double side, const DayChart& chart, int hour)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF c(side / 2, side / 2);
    const double radius = side / 2 - hourMargin;
    const double hole = 0.3 * radius;
    const double ring = ringWidth(side);

    // Cells: one sector per hour and band; below 0.05 only the outline.
    const QPen outline(QColor::fromRgbF(1, 1, 1, 0.12f), 0.5);
    for (qsizetype h = 0; h < std::min<qsizetype>(chart.size(), 24); ++h) {
        const QList<double>& row = chart[h];
        for (qsizetype b = 0; b < std::min<qsizetype>(row.size(), bandCount); ++b) {
            const double outer = radius - double(b) * ring;
            const QPainterPath cell = sector(c, outer, outer - ring, double(h) * 15 - 90, double(h + 1) * 15 - 90);
            if (const std::optional<QColor> colour = reliabilityColor(row[b]))
                painter.fillPath(cell, *colour);
            painter.strokePath(cell, outline);
        }
    }

    // The current hour across all rings.
    if (hour >= 0 && hour < 24)
        painter.strokePath(sector(c, radius, hole, double(hour) * 15 - 90, double(hour + 1) * 15 - 90),
                           QPen(Qt::white, 1.5));

    const QColor secondary = OverlayPanel::secondaryTextColor();
    for (int h = 0; h < 24; ++h) {
        const double a = radians((h + 0.5) * 15 - 90);
        painter.setFont(systemFont(9, h == hour ? QFont::Bold : QFont::Normal));
        painter.setPen(h == hour ? QColor(Qt::white) : secondary);
        drawCentred(painter, c + QPointF(std::cos(a), std::sin(a)) * (radius + 9), QString::number(h));
    }

    // The band numbers stand on closed rings as on every colour of the
    // ramp: light on dark plates, as the map's MUF labels stand on theirs.
    const QList<QRectF> plates = bandPlates(side, devicePixelRatioOf(painter));
    painter.setFont(bandFont(side));
    painter.setPen(Qt::white);
    for (int i = 0; i < bandCount; ++i) {
        QPainterPath plate;
        plate.addRoundedRect(plates[i], 3, 3);
        painter.fillPath(plate, bandPlate);
        drawCentred(painter, plates[i].center(), bandText(i));
    }

    const QStringList centre = centreTexts(chart, hour);
    if (centre.size() == 1) {
        painter.setFont(systemFont(10, QFont::DemiBold));
        painter.setPen(secondary);
        drawCentred(painter, c, centre[0]);
    } else {
        painter.setFont(systemFont(9, QFont::DemiBold));
        painter.setPen(secondary);
        drawCentred(painter, c + QPointF(0, -14), centre[0]);
        painter.setFont(systemFont(13, QFont::Bold));
        painter.setPen(OverlayPanel::textColor());
        drawCentred(painter, c, centre[1]);
        painter.setFont(systemFont(10, QFont::DemiBold));
        drawCentred(painter, c + QPointF(0, 14), centre[2]);
    }
    painter.restore();
}

QList<QRectF> PropagationWheel::bandPlates(double side, qreal ratio)
{
    const QFontMetricsF metrics(bandFont(side));
    const double radius = side / 2 - hourMargin;
    const double ring = ringWidth(side);
    // A number is taller than its ring is wide, so the plates take turns on
    // either side of the line to midnight, 2 points apart. Those on one side
    // lie two rings apart, their edges on device pixels: the plates are as
    // tall as the font where that leaves them plateGap apart, else lower.
    const auto pixels = [ratio](double points) { return std::round(points * ratio); };
    const double gap = std::ceil(plateGap * ratio);
    double height = std::floor(metrics.height() * ratio);
    QList<double> tops; // device pixels
    const auto apart = [&] {
        tops.clear();
        for (int i = 0; i < bandCount; ++i)
            tops.append(pixels(side / 2 - (radius - (i + 0.5) * ring)) - std::round(height / 2));
        for (int i = 0; i + 2 < bandCount; ++i)
            if (tops[i + 2] - tops[i] - height < gap)
                return false;
        return true;
    };
    while (!apart() && height > 1)
        --height;
    QList<QRectF> plates;
    for (int i = 0; i < bandCount; ++i) {
        const double width = metrics.horizontalAdvance(bandText(i)) + 6;
        const double left = i % 2 == 0 ? side / 2 + 1 : side / 2 - 1 - width;
        plates.append(
            QRectF(QPointF(pixels(left), tops[i]) / ratio, QPointF(pixels(left + width), tops[i] + height) / ratio));
    }
    return plates;
}

PropagationWheel::Face PropagationWheel::face() const
{
    if (m_content.chart)
        return Face::chart;
    return m_content.error ? Face::error : Face::loading;
}

void PropagationWheel::setContent(const Content& content)
{
    const bool sameHour = content.now.isValid() && m_content.now.isValid()
        && utcHour(content.now) == utcHour(m_content.now) && std::abs(content.now.secsTo(m_content.now)) < 3600;
    Content same = content;
    same.now = m_content.now;
    if (sameHour && same == m_content)
        return;
    const bool resized = content.title != m_content.title || content.subtitle != m_content.subtitle;
    if (content.chart != m_content.chart)
        m_canvas = QPixmap(); // drawn again at the next paint
    m_content = content;
    followFace();
    if (resized)
        updateGeometry();
    update();
}

void PropagationWheel::fitHeight(int height)
{
    const int side = std::clamp(height - (sizeHint().height() - m_side), int(smallestCanvasSide), int(canvasSide));
    if (side == m_side)
        return;
    m_side = side;
    m_canvas = QPixmap(); // drawn again at the next paint
    updateGeometry();
    update();
}

QSize PropagationWheel::sizeHint() const
{
    const double title = QFontMetricsF(titleFont()).horizontalAdvance(m_content.title);
    const double subtitle = QFontMetricsF(smallCaptionFont()).horizontalAdvance(m_content.subtitle);
    const double width = std::max({ title, subtitle, double(m_side), 10.0 * legendCellWidth + 9 });
    const double height = QFontMetricsF(titleFont()).height() + spacing + QFontMetricsF(smallCaptionFont()).height()
        + spacing + m_side + spacing + legendCellHeight;
    return QSize(int(std::ceil(width)) + 2 * padding, int(std::ceil(height)) + 2 * padding);
}

QRectF PropagationWheel::canvasRect() const
{
    const double top = padding + QFontMetricsF(titleFont()).height() + spacing
        + QFontMetricsF(smallCaptionFont()).height() + spacing;
    return QRectF((width() - m_side) / 2, top, m_side, m_side);
}

void PropagationWheel::followFace()
{
    if (face() == Face::loading && isVisible())
        m_spin.start();
    else
        m_spin.stop();
}

void PropagationWheel::showEvent(QShowEvent* event)
{
    OverlayPanel::showEvent(event);
    followFace();
}

void PropagationWheel::hideEvent(QHideEvent* event)
{
    OverlayPanel::hideEvent(event);
    m_spin.stop();
}

void PropagationWheel::paintEvent(QPaintEvent* event)
{
    OverlayPanel::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    double y = padding;
    const QFont title = titleFont();
    painter.setFont(title);
    painter.setPen(textColor());
    painter.drawText(QPointF(padding, y + QFontMetricsF(title).ascent()), m_content.title);
    y += QFontMetricsF(title).height() + spacing;
    const QFont subtitle = smallCaptionFont();
    painter.setFont(subtitle);
    painter.setPen(secondaryTextColor());
    painter.drawText(QPointF(padding, y + QFontMetricsF(subtitle).ascent()), m_content.subtitle);

    const QRectF canvas = canvasRect();
    switch (face()) {
    case Face::chart: {
        const int hour = utcHour(m_content.now);
        const qreal ratio = std::max<qreal>(1, devicePixelRatioF());
        if (m_canvas.isNull() || m_canvasHour != hour || m_canvas.devicePixelRatio() != ratio) {
            m_canvas = QPixmap(QSize(m_side, m_side) * ratio);
            m_canvas.setDevicePixelRatio(ratio);
            m_canvas.fill(Qt::transparent);
            QPainter canvasPainter(&m_canvas);
            paintWheel(canvasPainter, m_side, *m_content.chart, hour);
            m_canvasHour = hour;
            ++m_canvasRenders;
        }
        painter.drawPixmap(canvas.topLeft(), m_canvas);
        break;
    }
    case Face::error:
        painter.setFont(captionFont());
        painter.setPen(QColor(0xFF, 0x9F, 0x0A)); // orange
        painter.drawText(canvas, Qt::AlignCenter | Qt::TextWordWrap, *m_content.error);
        break;
    case Face::loading: {
        const QPointF c = canvas.center();
        const QFont caption = captionFont();
        const double textHeight = QFontMetricsF(caption).height();
        const double spinnerSide = 16;
        const QPointF spinner(c.x(), c.y() - (textHeight + 8) / 2);
        for (int i = 0; i < 8; ++i) {
            const double a = radians(i * 45.0 - 90);
            QColor spoke = secondaryTextColor();
            spoke.setAlphaF(float(0.15 + 0.85 * ((i - m_spinStep + 8) % 8) / 7.0));
            painter.setPen(QPen(spoke, 2, Qt::SolidLine, Qt::RoundCap));
            const QPointF direction(std::cos(a), std::sin(a));
            painter.drawLine(spinner + direction * (spinnerSide / 4), spinner + direction * (spinnerSide / 2));
        }
        painter.setFont(caption);
        painter.setPen(secondaryTextColor());
        drawCentred(painter, QPointF(c.x(), spinner.y() + spinnerSide / 2 + 8 + textHeight / 2),
                    QStringLiteral("Calculating\u2026"));
        break;
    }
    }

    // The legend of the ramp.
    const double legendTop = canvas.bottom() + spacing;
    const double legendLeft = (width() - (10.0 * legendCellWidth + 9)) / 2;
    painter.setFont(systemFont(8, QFont::DemiBold));
    for (int k = 1; k <= 10; ++k) {
        const QRectF cell(legendLeft + (k - 1) * (legendCellWidth + 1), legendTop, legendCellWidth, legendCellHeight);
        if (const std::optional<QColor> colour = reliabilityColor(k / 10.0))
            painter.fillRect(cell, *colour);
        painter.setPen(Qt::black);
        painter.drawText(cell, Qt::AlignCenter, QString::number(k * 10));
    }
}
