#include "map/AuroraLegend.h"

#include "kit/TimeFormat.h"
#include "map/AuroraLayer.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QTimeZone>
#include <QVBoxLayout>

class AuroraLegend::Bar : public QWidget {
public:
    explicit Bar(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(160, 8);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing, true);
        QLinearGradient gradient(QPointF(0, 0), QPointF(width(), 0));
        gradient.setStops(stops());
        QPainterPath capsule;
        capsule.addRoundedRect(QRectF(rect()), height() / 2.0, height() / 2.0);
        painter.fillPath(capsule, gradient);
    }
};

AuroraLegend::AuroraLegend(QWidget* parent)
    : OverlayPanel(Shape::roundedRectangle, parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(4);
    QLabel* title = label(captionFont(true), textColor(), this);
    title->setText(QStringLiteral("Aurora probability"));
    layout->addWidget(title);
    layout->addWidget(new Bar(this));

    auto* scale = new QWidget(this);
    scale->setFixedWidth(160);
    auto* row = new QHBoxLayout(scale);
    row->setContentsMargins(0, 0, 0, 0);
    for (const char* text : { "5%", "50%", "90%" }) {
        if (row->count() > 0)
            row->addStretch(1);
        QLabel* mark = label(smallCaptionFont(), secondaryTextColor(), scale);
        mark->setText(QString::fromLatin1(text));
        row->addWidget(mark);
    }
    layout->addWidget(scale);

    m_source = label(smallCaptionFont(), secondaryTextColor(), this);
    m_source->hide();
    layout->addWidget(m_source);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

const QGradientStops& AuroraLegend::stops()
{
    static const QGradientStops list = [] {
        QGradientStops made;
        for (int p = 4; p <= 90; p += 8) {
            const auto [r, g, b] = AuroraLayer::colour(p);
            made.append({ (p - 4) / 86.0, QColor::fromRgbF(float(r), float(g), float(b)) });
        }
        return made;
    }();
    return list;
}

QString AuroraLegend::sourceText(const QDateTime& observationTime, const QDateTime& now)
{
    // Hour and minutes as the locale writes them (a 12-hour locale with its
    // AM/PM marker), the date too when the run was not today.
    return QStringLiteral("NOAA OVATION, ") + TimeFormat::localTimeOfDay(observationTime, now) + QLatin1Char(' ')
                          + TimeFormat::zoneAbbreviation(observationTime, QTimeZone::systemTimeZone())
                          + QLatin1Char(' ');
}

void AuroraLegend::setObservationTime(const std::optional<QDateTime>& time)
{
    // Worked out again at every call: a run of yesterday gets its date
    // once the day has turned.
    const QString text = time ? sourceText(*time, QDateTime::currentDateTimeUtc()) : QString();
    if (time == m_time && text == m_source->text() && m_source->isVisibleTo(this) == time.has_value())
        return;
    m_time = time;
    m_source->setText(text);
    m_source->setVisible(time.has_value());
}

QString AuroraLegend::sourceLine() const { return m_source->isVisibleTo(this) ? m_source->text() : QString(); }
