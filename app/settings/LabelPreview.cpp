#include "settings/LabelPreview.h"

#include "kit/DigitCells.h"
#include "kit/MapStyle.h"
#include "map/HaloText.h"
#include "settings/SettingControls.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr double haloRadius = 1.2;
constexpr double cornerRadius = 6;

int leastHeight(LabelPreview::Kind kind) { return kind == LabelPreview::Kind::mapLabel ? 44 : 50; }

} // namespace

LabelPreview::LabelPreview(Kind kind, const QString& text, std::function<Look()> look, const QList<const char*>& keys,
                           QWidget* parent)
    : QWidget(parent)
    , m_kind(kind)
    , m_text(text)
    , m_read(std::move(look))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Minimum);
    setAccessibleName(text);
    reload();
    for (const char* key : keys)
        SettingBinding::follow(this, key, [this] { reload(); });
}

void LabelPreview::reload()
{
    const Look look = m_read();
    if (look == m_look)
        return;
    m_look = look;
    updateGeometry();
    update();
}

QColor LabelPreview::textColor() const
{
    return m_look.color.isValid() ? m_look.color : palette().color(QPalette::WindowText);
}

QSize LabelPreview::sizeHint() const
{
    const QFontMetricsF metrics(m_look.font);
    const int textHeight = int(std::ceil(metrics.height())) + 8;
    const double textWidth
        = m_kind == Kind::clock ? DigitCells::width(metrics, m_text) : metrics.horizontalAdvance(m_text);
    return { int(std::ceil(textWidth)) + 16, std::max(leastHeight(m_kind), textHeight) };
}

QSize LabelPreview::minimumSizeHint() const { return { 0, sizeHint().height() }; }

void LabelPreview::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    if (m_kind == Kind::clock) {
        // Digits in equal cells, as the clocks draw them.
        painter.setFont(m_look.font);
        painter.setPen(textColor());
        const QFontMetricsF metrics(m_look.font, this);
        const double width = DigitCells::width(metrics, m_text);
        const double baseline = area.center().y() - metrics.height() / 2 + metrics.ascent();
        DigitCells::draw(painter, QPointF(area.center().x() - width / 2, baseline), m_text);
        return;
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(MapTheme::oceanTop());
    painter.drawRoundedRect(area, cornerRadius, cornerRadius);
    painter.setClipRect(area);
    const HaloText label
        = HaloText::render(m_text, m_look.font, textColor(), Qt::black, haloRadius, devicePixelRatioF());
    label.drawCentered(painter, area.center());
}
