#include "infobar/SpaceWeatherHelp.h"

#include "kit/DarkAppearance.h"
#include "kit/PanelStyle.h"
#include "support/Endpoints.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

namespace {

QLabel* wrapped(const QString& text, const QFont& font, const QColor& colour, QWidget* parent)
{
    QLabel* label = PanelStyle::label(font, colour, parent);
    label->setText(text);
    label->setWordWrap(true);
    return label;
}

} // namespace

SpaceWeatherHelp::SpaceWeatherHelp(QWidget* parent)
    : QFrame(parent, Qt::Popup)
{
    // The press that closes it outside is not handed on: a press on the help
    // button closes it without opening it again.
    setAttribute(Qt::WA_NoMouseReplay);
    setAttribute(Qt::WA_DeleteOnClose);
    setPalette(DarkAppearance::palette());
    setAutoFillBackground(true);
    setFixedWidth(popoverWidth);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(10);
    column->addWidget(wrapped(QStringLiteral("Reading the space weather panel"), PanelStyle::headline(),
                                             PanelStyle::primaryText(), this));
    item(column,
         QStringLiteral("Kp index (0–9)"),
             QStringLiteral("Geomagnetic activity (NOAA: estimated every minute; GFZ: official 3-hour value). 0–2 quiet, "
                        "3 unsettled, 4 active, 5 and above is a storm (G1 to G5). Higher Kp pushes the aurora further "
                        "from the poles and disturbs HF, mostly on paths that cross high latitudes."));
    item(column,
         QStringLiteral("MUF (MHz)"),
             QStringLiteral("Maximum usable frequency: the highest frequency that will bounce off the ionosphere on a "
                        "3000 km hop, measured by the ionosonde nearest to you. If the MUF is 15 MHz, 20 m and lower "
                        "bands work for DX and 17 m and higher won't. The MUF map layer shows every ionosonde. Data: ")
                 + QLatin1String(Endpoints::zelqSite) + QStringLiteral(" (GIRO network), updated every 15 minutes."));
    item(column,
         QStringLiteral("Solar flux (SFI)"),
             QStringLiteral("Radio noise from the Sun at 10.7 cm. It tracks how strongly the ionosphere is ionised. "
                        "Higher is better: 70 or less poor, 90–120 good, above 150 excellent for 15–10 m."));
    item(column,
         QStringLiteral("A index"),
             QStringLiteral("A daily average of geomagnetic activity. Lower is better. Under 8 quiet, 8–15 unsettled, "
                        "16–29 active, 30 and above storm."));
    item(column,
         QStringLiteral("Sunspots (SSN)"),
             QStringLiteral("Daily sunspot number. Rises and falls with the 11-year solar cycle; more spots mean better "
                        "high-band openings."));
    column->addWidget(
        wrapped(QStringLiteral("Rule of thumb: high SFI and MUF with low Kp and A means good HF conditions."),
                               PanelStyle::callout(QFont::Medium), PanelStyle::primaryText(), this));
    column->addWidget(
        wrapped(QStringLiteral("Data: NOAA Space Weather Prediction Center and Zelq, refreshed automatically."),
                               PanelStyle::caption(), PanelStyle::secondaryText(), this));
}

void SpaceWeatherHelp::item(QVBoxLayout* column, const QString& title, const QString& text)
{
    auto* entry = new QVBoxLayout;
    entry->setSpacing(2);
    entry->addWidget(wrapped(title, PanelStyle::callout(QFont::DemiBold), PanelStyle::primaryText(), this));
    entry->addWidget(wrapped(text, PanelStyle::callout(), PanelStyle::secondaryText(), this));
    column->addLayout(entry);
}

void SpaceWeatherHelp::popUp(QWidget* anchor)
{
    // As tall as its wrapped texts need at its width.
    resize(popoverWidth, heightForWidth(popoverWidth));
    const QRect bounds(anchor->mapToGlobal(QPoint(0, 0)), anchor->size());
    QRect frame(QPoint(0, 0), size());
    frame.moveTop(bounds.bottom() + 6);
    frame.moveLeft(bounds.center().x() - frame.width() / 2);
    if (const QScreen* screen = anchor->screen()) {
        const QRect room = screen->availableGeometry();
        if (frame.bottom() > room.bottom()) // no room below: above the button
            frame.moveBottom(bounds.top() - 6);
        frame.moveLeft(std::clamp(frame.left(), room.left(), std::max(room.left(), room.right() - frame.width())));
        frame.moveTop(std::max(frame.top(), room.top()));
    }
    move(frame.topLeft());
    show();
}

void SpaceWeatherHelp::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.18f), 1));
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}
