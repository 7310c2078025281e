#include "map/MUFLegend.h"

#include "map/MUFContourLayer.h"
#include "spaceweather/MUFGrid.h"

#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

class MUFLegend::Swatches : public QWidget {
public:
    static constexpr int spacing = 2;

    explicit Swatches(const MUFPalette& palette, QWidget* parent)
        : QWidget(parent)
        , m_palette(palette)
    {
        const int count = int(MUFGrid::levels.size());
        setFixedSize(count * swatchSize.width() + (count - 1) * spacing, swatchSize.height());
    }

    QRect swatch(int index) const { return QRect(QPoint(index * (swatchSize.width() + spacing), 0), swatchSize); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setFont(OverlayPanel::smallCaptionFont(true));
        for (int i = 0; i < int(MUFGrid::levels.size()); ++i) {
            const QRect box = swatch(i);
            QPainterPath plate;
            plate.addRoundedRect(QRectF(box), 3, 3);
            painter.fillPath(plate, i < m_palette.colors.size() ? m_palette.colors[i] : QColor(Qt::gray));
            painter.setPen(Qt::black);
            painter.drawText(box, Qt::AlignCenter, MUFContourLayer::label(MUFGrid::levels[std::size_t(i)]));
        }
    }

private:
    const MUFPalette& m_palette;
};

MUFLegend::MUFLegend(QWidget* parent)
    : OverlayPanel(Shape::roundedRectangle, parent)
    , m_palette(MUFPalette::fromHex(QString()))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(4);
    m_title = label(captionFont(true), textColor(), this);
    m_title->setText(QStringLiteral("MUF (MHz) · dots: ionosondes, shading: estimate"));
    layout->addWidget(m_title);
    m_swatches = new Swatches(m_palette, this);
    layout->addWidget(m_swatches);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void MUFLegend::setColours(const MUFPalette& palette)
{
    if (palette == m_palette)
        return;
    m_palette = palette;
    m_swatches->update();
}

QString MUFLegend::title() const { return m_title->text(); }

QRect MUFLegend::swatchRect(int index) const { return m_swatches->swatch(index).translated(m_swatches->pos()); }
