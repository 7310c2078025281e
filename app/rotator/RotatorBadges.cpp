#include "rotator/RotatorBadges.h"

#include "kit/Color.h"
#include "kit/DarkAppearance.h"
#include "kit/PanelStyle.h"
#include "kit/ToolTipText.h"
#include "rotator/RotatorManager.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QToolButton>

namespace {

QColor secondary()
{
    QColor c = DarkAppearance::text();
    c.setAlphaF(0.55f);
    return c;
}

} // namespace

namespace RotatorBadgeParts {

// An arrow pointing north, turned clockwise by the heading.
class HeadingArrow : public QWidget {
public:
    explicit HeadingArrow(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(16, 16);
    }

    void setArrow(double angle, const QColor& color)
    {
        if (angle == m_angle && color == m_color)
            return;
        m_angle = angle;
        m_color = color;
        update();
    }
    double angle() const { return m_angle; }
    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        // Drawn on a 24-unit square about its centre: a filled head and a
        // short tail below it.
        painter.translate(width() / 2.0, height() / 2.0);
        painter.rotate(m_angle);
        painter.scale(width() / 24.0, height() / 24.0);
        painter.translate(-12, -12);
        QPainterPath head;
        head.moveTo(12, 3);
        head.lineTo(17, 14);
        head.lineTo(12, 11.5);
        head.lineTo(7, 14);
        head.closeSubpath();
        painter.setPen(QPen(m_color, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(m_color);
        painter.drawPath(head);
        painter.drawLine(QPointF(12, 15), QPointF(12, 21));
    }

private:
    double m_angle = 0;
    QColor m_color;
};

// A small spinning wheel of spokes; it turns only while it is shown.
class Spinner : public QWidget {
public:
    static constexpr int spokes = 8;

    explicit Spinner(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(12, 12);
        m_timer.setInterval(100);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_step = (m_step + 1) % spokes;
            update();
        });
    }

protected:
    void showEvent(QShowEvent*) override { m_timer.start(); }
    void hideEvent(QHideEvent*) override { m_timer.stop(); }

    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        PanelStyle::drawSpinner(painter, QRectF(rect()).center(), width() / 2.0 - 0.5, spokes, m_step,
                                DarkAppearance::text(), 0.75, 1.5);
    }

private:
    QTimer m_timer;
    int m_step = 0;
};

} // namespace RotatorBadgeParts

using RotatorBadgeParts::HeadingArrow;
using RotatorBadgeParts::Spinner;

QString RotatorBadge::text(const RotatorConfig& rotator, const RotatorStatus& status)
{
    if (!status.heading)
        return rotator.name + QStringLiteral(" \u2013");
    return rotator.name + QLatin1Char(' ') + RotatorStatus::degreesText(*status.heading);
}

QString RotatorBadge::helpText(const RotatorConfig& rotator, const RotatorStatus& status)
{
    if (!status.connected)
        return rotator.name + QStringLiteral(": ") + status.message;
    if (status.target)
        return QStringLiteral("Turning to ") + RotatorStatus::degreesText(*status.target);
    return rotator.name + QStringLiteral(": connected");
}

RotatorBadge::RotatorBadge(RotatorManager* rotors, const QUuid& id, QWidget* parent)
    : QWidget(parent)
    , m_rotors(rotors)
    , m_id(id)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(4, 0, 4, 0);
    row->setSpacing(4);
    m_arrow = new HeadingArrow(this);
    m_label = new QLabel(this);
    m_label->setTextFormat(Qt::PlainText);
    m_spinner = new Spinner(this);
    m_stop = new QToolButton(this);
    m_stop->setText(QStringLiteral("Stop"));
    m_stop->setToolButtonStyle(Qt::ToolButtonTextOnly);
    // A bordered button, so it reads as one among the toolbar's bare icons.
    m_stop->setStyleSheet(QStringLiteral("QToolButton { background: rgba(255, 255, 255, 0.08);"
                                         " border: 1px solid rgba(255, 255, 255, 0.16); border-radius: 5px;"
                                         " padding: 1px 8px; }"
                                         "QToolButton:hover { background: rgba(255, 255, 255, 0.14); }"
                                         "QToolButton:pressed { background: rgba(255, 255, 255, 0.22); }"));
    connect(m_stop, &QToolButton::clicked, this, [this] {
        if (m_rotors)
            m_rotors->stop(m_id);
    });
    row->addWidget(m_arrow);
    row->addWidget(m_label);
    row->addWidget(m_spinner);
    row->addWidget(m_stop);
    // The spinner and "Stop" keep their room while the rotator rests, so
    // a turn starting or ending moves nothing beside the badge.
    for (QWidget* part : std::initializer_list<QWidget*> { m_spinner, m_stop }) {
        QSizePolicy keep = part->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        part->setSizePolicy(keep);
        part->hide();
    }
}

void RotatorBadge::display(const RotatorConfig& rotator, const RotatorStatus& status)
{
    m_arrow->setArrow(status.heading.value_or(0), status.connected ? Color::fromHex(rotator.color) : secondary());
    // As wide as the name with the widest heading, so that the heading's
    // digits changing leave the badge's width alone.
    const QFontMetrics metrics = m_label->fontMetrics();
    QChar widest = u'0';
    for (char16_t digit = u'1'; digit <= u'9'; ++digit)
        if (metrics.horizontalAdvance(QChar(digit)) > metrics.horizontalAdvance(widest))
            widest = QChar(digit);
    RotatorStatus widestHeading;
    widestHeading.heading = widest.digitValue() * 111.0;
    int width = 0;
    for (const QString& candidate : { text(rotator, widestHeading), text(rotator, RotatorStatus {}) }) {
        m_label->setText(candidate);
        width = std::max(width, m_label->sizeHint().width());
    }
    m_label->setFixedWidth(width);
    m_label->setText(text(rotator, status));
    m_help = helpText(rotator, status);
    // A status message comes from the controller or the system.
    setToolTip(ToolTipText::plain(m_help));
    m_turning = status.target.has_value();
    m_spinner->setVisible(m_turning);
    m_stop->setVisible(m_turning);
}

QString RotatorBadge::text() const { return m_label->text(); }
double RotatorBadge::arrowAngle() const { return m_arrow->angle(); }
QColor RotatorBadge::arrowColor() const { return m_arrow->color(); }

RotatorBadges::RotatorBadges(RotatorManager* rotors, QWidget* parent)
    : QWidget(parent)
    , m_rotors(rotors)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 6, 0);
    row->setSpacing(10);
    if (m_rotors) {
        connect(m_rotors, &RotatorManager::rotatorsChanged, this, &RotatorBadges::rebuild);
        connect(m_rotors, &RotatorManager::statusChanged, this, &RotatorBadges::refresh);
    }
    rebuild();
}

void RotatorBadges::rebuild()
{
    qDeleteAll(m_badges);
    m_badges.clear();
    const QList<RotatorConfig> rotators = m_rotors ? m_rotors->rotators() : QList<RotatorConfig> {};
    for (const RotatorConfig& rotator : rotators) {
        auto* badge = new RotatorBadge(m_rotors, rotator.id, this);
        layout()->addWidget(badge);
        m_badges.append(badge);
        badge->display(rotator, m_rotors->status(rotator.id).value_or(RotatorStatus {}));
    }
    syncVisibility();
}

void RotatorBadges::refresh(const QUuid& id)
{
    for (const RotatorConfig& rotator : m_rotors->rotators()) {
        if (rotator.id != id)
            continue;
        for (RotatorBadge* badge : std::as_const(m_badges))
            if (badge->id() == id)
                badge->display(rotator, m_rotors->status(id).value_or(RotatorStatus {}));
    }
}

void RotatorBadges::syncVisibility() { setVisible(!m_badges.isEmpty()); }
