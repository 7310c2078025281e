#include "map/ClusterBadge.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

class ClusterBadge::Dot : public QWidget {
public:
    explicit Dot(const QColor& colour, QWidget* parent)
        : QWidget(parent)
        , m_colour(colour)
    {
        setFixedSize(8, 8);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_colour);
        painter.drawEllipse(QRectF(rect()));
    }

private:
    const QColor& m_colour;
};

ClusterBadge::ClusterBadge(QWidget* parent)
    : OverlayPanel(Shape::capsule, parent)
    , m_dotColour(QColor(0xFF, 0x95, 0x00))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 5, 10, 5);
    layout->setSpacing(6);
    m_dot = new Dot(m_dotColour, this);
    layout->addWidget(m_dot);
    m_text = label(captionFont(), textColor(), this);
    layout->addWidget(m_text);
    m_needed = label(captionFont(true), textColor(), this);
    m_needed->hide();
    layout->addWidget(m_needed);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    set(ClusterStatus::off(), {}, QColor(), QColor());
}

void ClusterBadge::set(const ClusterStatus& status, Counts counts, const QColor& colour, const QColor& neededColour)
{
    const bool connected = status.kind == ClusterStatus::Kind::connected;
    m_dotColour = connected ? colour : QColor(0xFF, 0x95, 0x00);
    m_dot->update();
    // One line at most, whatever the node or the failure wrote.
    QString line = status.text();
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    if (connected)
        m_text->setText(QStringLiteral("DX cluster · %1 spots · %2 countries").arg(counts.spots).arg(counts.countries));
    else
        m_text->setText(line);
    const bool showNeeded = connected && counts.needed > 0;
    if (showNeeded) {
        m_needed->setText(QStringLiteral("· %1 needed").arg(counts.needed));
        QPalette palette = m_needed->palette();
        palette.setColor(QPalette::WindowText, neededColour);
        m_needed->setPalette(palette);
    }
    m_needed->setVisible(showNeeded);
    // Tool tips read tags; the node's or the network's words must show as
    // they are.
    setToolTip(QStringLiteral("<span>%1</span>").arg(status.text().toHtmlEscaped()));
}

QString ClusterBadge::text() const { return m_text->text(); }

QString ClusterBadge::neededText() const { return m_needed->isVisibleTo(this) ? m_needed->text() : QString(); }
