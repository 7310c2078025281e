#include "infobar/IndexTile.h"

#include "infobar/InfoCard.h"
#include "kit/DigitCells.h"
#include "kit/PanelStyle.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

constexpr double padding = 8;
constexpr double lineGap = 2;
constexpr double cornerRadius = 8;
constexpr double valueSize = 30;
constexpr double capsulePaddingX = 6;
constexpr double capsulePaddingY = 1;

QFont titleFont() { return PanelStyle::caption(QFont::DemiBold); }
QFont subtitleFont() { return PanelStyle::smallCaption(); }
QFont valueFont() { return PanelStyle::systemFont(valueSize, QFont::DemiBold); }
QFont ratingFont() { return PanelStyle::caption(QFont::Medium); }

} // namespace

IndexTile::IndexTile(QWidget* parent)
    : QWidget(parent)
{
    // The five tiles share the panel's row equally, whatever their texts.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setMinimumWidth(72);
}

void IndexTile::setContent(const Content& content)
{
    if (content == m_content)
        return;
    const bool help = content.help != m_content.help;
    m_content = content;
    if (help)
        setToolTip(m_content.help);
    update();
}

QString IndexTile::shownTitle() const
{
    return InfoCard::fittedForm(QFontMetricsF(titleFont(), this), m_content.title, m_content.shortTitle,
                                width() - 2 * padding);
}

QString IndexTile::shownSubtitle() const
{
    return InfoCard::fittedForm(QFontMetricsF(subtitleFont(), this), m_content.subtitle, m_content.shortSubtitle,
                                width() - 2 * padding);
}

QString IndexTile::valueText() const { return m_content.value.value_or(QStringLiteral("–")); }

QColor IndexTile::valueColor() const { return m_content.color.value_or(PanelStyle::primaryText()); }

QSize IndexTile::sizeHint() const
{
    const QFontMetricsF title(titleFont()), subtitle(subtitleFont()), value(valueFont()), rating(ratingFont());
    const double width
        = std::max({ title.horizontalAdvance(m_content.title), subtitle.horizontalAdvance(m_content.subtitle),
                     DigitCells::width(value, valueText()),
                     rating.horizontalAdvance(m_content.rating.value_or(QString())) + 2 * capsulePaddingX });
    const double height = title.height() + lineGap + subtitle.height() + lineGap + value.height() + lineGap
        + rating.height() + 2 * capsulePaddingY;
    return { int(std::ceil(width + 2 * padding)), int(std::ceil(height + 2 * padding)) };
}

QSize IndexTile::minimumSizeHint() const { return { minimumWidth(), sizeHint().height() }; }

QRectF IndexTile::ratingCapsule() const
{
    const QFontMetricsF title(titleFont(), this), subtitle(subtitleFont(), this), value(valueFont(), this),
        rating(ratingFont(), this);
    const double top = padding + title.height() + subtitle.height() + value.height() + 3 * lineGap;
    const QString text = DigitCells::fitted(rating, m_content.rating.value_or(QString()),
                                            width() - 2 * padding - 2 * capsulePaddingX);
    return { padding, top, rating.horizontalAdvance(text) + 2 * capsulePaddingX,
             rating.height() + 2 * capsulePaddingY };
}

void IndexTile::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(shape, QColor::fromRgbF(1, 1, 1, 0.03f));

    const double left = padding;
    const double room = width() - 2 * padding;
    double top = padding;
    const auto line = [&](const QFont& font, const QColor& colour, const QString& text) {
        const QFontMetricsF metrics(font, this);
        painter.setFont(font);
        painter.setPen(colour);
        painter.drawText(QPointF(left, top + metrics.ascent()), text);
        top += metrics.height() + lineGap;
    };
    line(titleFont(), PanelStyle::primaryText(), shownTitle());
    line(subtitleFont(), PanelStyle::secondaryText(), shownSubtitle());

    // The number, shrunk as far as a narrow tile needs, never cut; it keeps
    // its line's height and baseline.
    const QFontMetricsF fullMetrics(valueFont(), this);
    const QString value = valueText();
    painter.setFont(DigitCells::fitting(valueFont(), value, room, this));
    painter.setPen(valueColor());
    DigitCells::draw(painter, QPointF(left, top + fullMetrics.ascent()), value);
    top += fullMetrics.height() + lineGap;

    // The rating in its capsule; a blank line when unknown.
    const QFontMetricsF ratingMetrics(ratingFont(), this);
    if (m_content.rating) {
        const QString rating = DigitCells::fitted(ratingMetrics, *m_content.rating, room - 2 * capsulePaddingX);
        const QRectF capsule = ratingCapsule();
        QColor fill = m_content.color.value_or(Qt::transparent);
        fill.setAlphaF(m_content.color ? 0.18f : 0.0f);
        QPainterPath pill;
        pill.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        painter.fillPath(pill, fill);
        // On its tint the rating is drawn opaque: a muted tile's translucent
        // grey, as its number takes it, would sink into the tint below 4.5 : 1.
        QColor ink = m_content.color.value_or(PanelStyle::secondaryText());
        if (m_content.color)
            ink.setAlphaF(1);
        painter.setFont(ratingFont());
        painter.setPen(ink);
        painter.drawText(QPointF(capsule.left() + capsulePaddingX,
                                 capsule.top() + capsulePaddingY + ratingMetrics.ascent()),
                         rating);
    }
}
