#include "map/CoverageLegend.h"

#include "prediction/ReliabilityColor.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

// A small busy indicator: an arc turning while it is shown.
class CoverageLegend::Spinner : public QWidget {
public:
    explicit Spinner(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(12, 12);
        m_timer.setInterval(80);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 30) % 360;
            update();
        });
    }

protected:
    void showEvent(QShowEvent*) override { m_timer.start(); }
    void hideEvent(QHideEvent*) override { m_timer.stop(); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, true);
        const QRectF box = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
        QColor faint = OverlayPanel::textColor();
        faint.setAlphaF(0.25f);
        painter.setPen(QPen(faint, 2));
        painter.drawEllipse(box);
        painter.setPen(QPen(OverlayPanel::textColor(), 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(box, -m_angle * 16, 100 * 16);
    }

private:
    QTimer m_timer;
    int m_angle = 0;
};

// The colour scale: ten cells, one per tenth of reliability.
class CoverageLegend::Scale : public QWidget {
public:
    static constexpr int count = 10;
    static constexpr int spacing = 1;

    explicit Scale(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(count * cellSize.width() + (count - 1) * spacing, cellSize.height());
    }

    QRect cell(int index) const { return QRect(QPoint(index * (cellSize.width() + spacing), 0), cellSize); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setFont(OverlayPanel::smallCaptionFont(true));
        painter.setPen(Qt::black);
        for (int i = 0; i < count; ++i) {
            const double value = (i + 1) / 10.0;
            if (const auto colour = reliabilityColor(value))
                painter.fillRect(cell(i), *colour);
            painter.drawText(cell(i), Qt::AlignCenter, QString::number(int(value * 100 + 0.5)));
        }
    }
};

QString CoverageLegend::engineName(bool p533)
{
    return p533 ? QStringLiteral("ITU-R P.533") : QStringLiteral("quick model");
}

QString CoverageLegend::titleText(Band band, PredictionMode mode, const QString& engine)
{
    return QStringLiteral("Predicted coverage on ") + ::title(band)
                          + QStringLiteral(", ") + ::title(mode) + QStringLiteral(", this hour (% chance) · ") + engine;
}

CoverageLegend::CoverageLegend(QWidget* parent)
    : OverlayPanel(Shape::roundedRectangle, parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(4);

    auto* first = new QHBoxLayout;
    first->setSpacing(6);
    m_title = label(captionFont(true), textColor(), this);
    first->addWidget(m_title, 0, Qt::AlignVCenter);
    m_spinner = new Spinner(this);
    m_spinner->hide();
    first->addWidget(m_spinner, 0, Qt::AlignVCenter);
    first->addStretch(1);
    layout->addLayout(first);

    // The engine's own words: plain text, wrapped to the legend's width.
    m_scale = new Scale(this);
    m_failure = label(smallCaptionFont(), secondaryTextColor(), this);
    m_failure->setWordWrap(true);
    m_failure->hide();
    layout->addWidget(m_failure, 0, Qt::AlignLeft);
    layout->addWidget(m_scale, 0, Qt::AlignLeft);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    set(Band::m20, PredictionMode::ssb, engineName(false), false);
}

void CoverageLegend::set(Band band, PredictionMode mode, const QString& engine, bool working,
                         const std::optional<QString>& failure)
{
    const QString text = titleText(band, mode, engine);
    if (text != m_title->text())
        m_title->setText(text);
    m_spinner->setVisible(working && !failure);
    // On one paragraph, and no more of it than a few lines over the map.
    QString failureText = failure.value_or(QString()).simplified();
    if (failureText.size() > failureCharacters)
        failureText = failureText.left(failureCharacters - 1) + QChar(0x2026);
    if (failureText != m_failure->text()) {
        m_failure->setText(failureText);
        const int width = std::max(m_scale->width(), m_title->sizeHint().width());
        m_failure->setFixedSize(width, m_failure->heightForWidth(width));
    }
    m_failure->setVisible(failure.has_value());
}

QString CoverageLegend::failure() const { return m_failure->isVisibleTo(this) ? m_failure->text() : QString(); }

QString CoverageLegend::title() const { return m_title->text(); }

bool CoverageLegend::working() const { return m_spinner->isVisibleTo(this); }

QRect CoverageLegend::cellRect(int index) const { return m_scale->cell(index).translated(m_scale->pos()); }
