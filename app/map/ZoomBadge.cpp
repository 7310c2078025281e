#include "map/ZoomBadge.h"

#include "kit/DarkAppearance.h"
#include "support/NumberText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

ZoomBadge::ZoomBadge(std::function<void()> reset, QWidget* parent)
    : OverlayPanel(Shape::capsule, parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(8, 5, 8, 5);
    layout->setSpacing(6);
    m_zoom = label(captionFont(), textColor(), this);
    layout->addWidget(m_zoom);

    m_reset = new QPushButton(QStringLiteral("Whole world"), this);
    m_reset->setFlat(true);
    m_reset->setCursor(Qt::PointingHandCursor);
    m_reset->setFont(captionFont());
    m_reset->setFocusPolicy(Qt::NoFocus);
    m_reset->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; border: none; padding: 0; background: transparent; }"
                                          "QPushButton:pressed { color: %2; }")
                           .arg(DarkAppearance::accent().name(), DarkAppearance::accent().darker(130).name()));
    connect(m_reset, &QPushButton::clicked, this, [reset = std::move(reset)] {
        if (reset)
            reset();
    });
    layout->addWidget(m_reset);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    setZoom(1);
}

QString ZoomBadge::zoomText(double zoom) { return NumberText::fixed(zoom, 1) + QChar(0x00D7); }

void ZoomBadge::setZoom(double zoom) { m_zoom->setText(zoomText(zoom)); }

QString ZoomBadge::text() const { return m_zoom->text(); }
