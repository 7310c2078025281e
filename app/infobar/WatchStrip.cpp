#include "infobar/WatchStrip.h"

#include "cluster/DXClusterClient.h"
#include "kit/Color.h"
#include "kit/DigitCells.h"
#include "kit/MapStyle.h"
#include "kit/PanelStyle.h"
#include "kit/ToolTipText.h"
#include "support/NumberText.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QFontMetricsF>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimeZone>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

constexpr double paddingX = 12;
constexpr double paddingY = 7;
constexpr double partGap = 10; // symbol, text or chips
constexpr double chipGap = 8;
constexpr double chipPaddingX = 8;
constexpr double chipPaddingY = 3;
constexpr double chipPartGap = 6;
constexpr double cornerRadius = 12;

const QDateTime referenceDate(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());

QFont textFont() { return PanelStyle::callout(); }
QFont callFont() { return PanelStyle::callout(QFont::Bold); }

QColor withOpacity(QColor colour, double factor)
{
    colour.setAlphaF(float(colour.alphaF() * factor));
    return colour;
}

} // namespace

WatchStrip::ChipTexts WatchStrip::chipTexts(const DXSpot& spot, const QDateTime& now)
{
    ChipTexts texts;
    texts.call = spot.call;
    texts.frequency = NumberText::fixed(spot.frequencyKHz, 1);
    texts.mode = spot.mode ? rawValue(*spot.mode) : QString();
    const qint64 minutes = spot.time.isValid() ? spot.time.secsTo(now) / 60 : 0;
    texts.age = minutes > 0 ? QStringLiteral("%1 min").arg(minutes) : QStringLiteral("now");
    texts.toolTip = spot.comment.isEmpty()                          ? QStringLiteral("Spotted by ") + spot.spotter
                                           : spot.comment + QStringLiteral(" · spotted by ") + spot.spotter;
    return texts;
}

WatchStrip::WatchStrip(DXClusterClient* cluster, QWidget* parent)
    : WatchStrip(cluster, Options {}, parent)
{
}

WatchStrip::WatchStrip(DXClusterClient* cluster, Options options, QWidget* parent)
    : QWidget(parent)
    , m_cluster(cluster)
    , m_options(std::move(options))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_blink.setTimerType(Qt::PreciseTimer);
    connect(&m_blink, &QTimer::timeout, this, &WatchStrip::tick);
    if (m_cluster)
        connect(m_cluster, &DXClusterClient::bookChanged, this, &WatchStrip::rebuild);
    connect(&Settings::standard(), &Settings::changed, this, [this](const QString& key) {
        if (isKey(key, SettingKeys::clusterEnabled) || isKey(key, SettingKeys::clusterWatchCalls)
            || isKey(key, SettingKeys::clusterWatchColor))
            rebuild();
    });
    m_tick = now();
    rebuild();
}

QDateTime WatchStrip::now() const { return m_options.now ? m_options.now() : QDateTime::currentDateTimeUtc(); }

void WatchStrip::rebuild()
{
    const Settings& settings = Settings::standard();
    const CallWatchList list(settings.get(SettingKeys::clusterWatchCalls));
    m_wanted = settings.get(SettingKeys::clusterEnabled) && !list.isEmpty();
    QList<DXSpot> spots;
    if (m_wanted && m_cluster) {
        spots = m_cluster->watchedSpots(list);
        if (spots.size() > maxChips)
            spots.resize(maxChips);
    }
    const QColor tint = Color::fromHex(settings.get(SettingKeys::clusterWatchColor));
    const QString waiting = m_wanted && spots.isEmpty() ? QStringLiteral("Watching ") + list.patterns().join(QStringLiteral(", ")) + QStringLiteral(": not spotted yet") : QString();
    const bool changed = spots != m_spots || tint != m_tint || waiting != m_waiting;
    m_spots = spots;
    m_tint = tint;
    m_waiting = waiting;
    QList<ChipTexts> texts;
    for (const DXSpot& spot : m_spots)
        texts << chipTexts(spot, m_tick);
    if (texts != m_texts) {
        m_texts = texts;
        m_looks = {};
    }
    // Inside the bar it comes and goes with the setting; a strip of its own
    // is shown by whoever made it.
    if (parentWidget() || !m_wanted)
        setVisible(m_wanted);
    if (m_spots.isEmpty()) {
        m_blink.stop();
        m_on = true;
    } else if (isVisible() && !m_blink.isActive()) {
        startBlinking();
    }
    if (changed) {
        m_looks = {};
        update();
    }
}

void WatchStrip::startBlinking()
{
    // The first blink comes at the next whole half second of the wall clock,
    // the rest every half second after it, so every blink falls in a new
    // half second and the phase flips at each.
    const qint64 interval = std::max<qint64>(1, m_options.blink.count());
    const qint64 wall = QDateTime::currentMSecsSinceEpoch();
    m_blink.start(int(interval - wall % interval + 5));
}

void WatchStrip::tick()
{
    if (m_blink.interval() != m_options.blink.count())
        m_blink.start(int(m_options.blink.count()));
    m_tick = now();
    // The whole number of half seconds since the reference date, even or odd.
    const double halfSeconds = std::floor(double(referenceDate.msecsTo(m_tick)) / 500.0);
    m_on = std::fmod(halfSeconds, 2.0) == 0;
    for (qsizetype i = 0; i < m_spots.size(); ++i) {
        const ChipTexts texts = chipTexts(m_spots[i], m_tick);
        if (texts != m_texts[i]) { // an age moved on
            m_texts[i] = texts;
            m_looks = {};
        }
    }
    update();
}

void WatchStrip::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_spots.isEmpty() && !m_blink.isActive())
        startBlinking();
}

void WatchStrip::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_blink.stop();
}

QSize WatchStrip::sizeHint() const
{
    const QFontMetricsF metrics(textFont());
    const double chip = metrics.height() + 2 * chipPaddingY + 1.5;
    return { 200, int(std::ceil(std::max(metrics.height(), chip) + 2 * paddingY)) };
}

QSize WatchStrip::minimumSizeHint() const { return { 80, sizeHint().height() }; }

QRectF WatchStrip::contentRect() const
{
    const double symbol = QFontMetricsF(textFont()).height();
    const double left = paddingX + symbol + partGap;
    return QRectF(left, paddingY, std::max(0.0, width() - left - paddingX), height() - 2 * paddingY);
}

double WatchStrip::chipWidth(const ChipTexts& texts) const
{
    const QFontMetricsF metrics(textFont(), this);
    const QFontMetricsF bold(callFont(), this);
    double width = DigitCells::width(bold, texts.call) + chipPartGap + DigitCells::width(metrics, texts.frequency);
    if (!texts.mode.isEmpty())
        width += chipPartGap + metrics.horizontalAdvance(texts.mode);
    width += chipPartGap + DigitCells::width(metrics, texts.age);
    return width + 2 * chipPaddingX;
}

WatchStrip::ChipLayout WatchStrip::chipLayout() const
{
    ChipLayout layout;
    const QRectF content = contentRect();
    const QFontMetricsF bold(callFont(), this);
    const double chipHeight = QFontMetricsF(textFont(), this).height() + 2 * chipPaddingY;
    const auto moreWidth = [&](qsizetype hidden) { return bold.horizontalAdvance(QStringLiteral("+%1").arg(hidden)); };
    const qsizetype count = m_texts.size();
    double x = content.left();
    for (qsizetype i = 0; i < count; ++i) {
        const double width = chipWidth(m_texts[i]);
        // The last chip needs only itself; any other leaves room for "+N".
        const double needed = i + 1 == count ? width : width + chipGap + moreWidth(count - i - 1);
        if (x + needed > content.right()) {
            layout.more = QRectF(x, content.top(), moreWidth(count - i), content.height());
            break;
        }
        layout.chips << QRectF(x, content.center().y() - chipHeight / 2, width, chipHeight);
        x += width + chipGap;
    }
    return layout;
}

int WatchStrip::shownChips() const { return int(chipLayout().chips.size()); }

QString WatchStrip::moreText() const
{
    const qsizetype hidden = m_texts.size() - chipLayout().chips.size();
    return hidden > 0 ? QStringLiteral("+%1").arg(hidden) : QString();
}

QRectF WatchStrip::chipRect(int index) const { return chipLayout().chips.value(index); }

QRectF WatchStrip::moreRect() const { return chipLayout().more; }

void WatchStrip::paintEvent(QPaintEvent*)
{
    // Each phase is drawn once and copied at every blink that shows it,
    // until the chips, their ages, the colour or the size change.
    const double ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    QPixmap& look = m_looks[m_on ? 1 : 0];
    if (look.size() != pixels || look.devicePixelRatio() != ratio) {
        look = QPixmap(pixels);
        look.setDevicePixelRatio(ratio);
        look.fill(Qt::transparent);
        QPainter painter(&look);
        paintStrip(painter);
    }
    QPainter(this).drawPixmap(0, 0, look);
}

void WatchStrip::paintStrip(QPainter& painter) const
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    const bool spotted = !m_spots.isEmpty();
    const QRectF box = QRectF(rect()).adjusted(1, 1, -1, -1);
    QPainterPath shape;
    shape.addRoundedRect(box, cornerRadius, cornerRadius);
    painter.fillPath(shape, QColor::fromRgbF(1, 1, 1, 0.04f));
    if (spotted)
        painter.setPen(QPen(withOpacity(m_tint, m_on ? 1.0 : 0.35), 2));
    else
        painter.setPen(QPen(MapTheme::panelStroke(), 1));
    painter.drawPath(shape);

    const QFont font = textFont();
    const QFontMetricsF metrics(font, this);
    const double symbol = metrics.height();
    PanelStyle::drawSymbol(painter,
                           QStringLiteral("binoculars.fill"),
                                          QRectF(paddingX, height() / 2.0 - symbol / 2, symbol, symbol),
                                          spotted ? m_tint : PanelStyle::secondaryText());

    const QRectF content = contentRect();
    const double baseline = content.center().y() - metrics.height() / 2 + metrics.ascent();
    if (!spotted) {
        painter.setFont(font);
        painter.setPen(PanelStyle::secondaryText());
        painter.drawText(QPointF(content.left(), baseline),
                         metrics.elidedText(m_waiting, Qt::ElideRight, content.width()));
        return;
    }

    const QFontMetricsF bold(callFont(), this);
    const QColor text = m_on ? QColor(Qt::black) : m_tint;
    const ChipLayout layout = chipLayout();
    for (qsizetype i = 0; i < layout.chips.size(); ++i) {
        const QRectF chip = layout.chips[i];
        const ChipTexts& texts = m_texts[i];
        const QRectF capsule = chip.adjusted(0.75, 0.75, -0.75, -0.75);
        QPainterPath outline;
        outline.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        if (m_on)
            painter.fillPath(outline, m_tint);
        painter.setPen(QPen(m_tint, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(outline);

        double x = chip.left() + chipPaddingX;
        painter.setFont(callFont());
        painter.setPen(text);
        DigitCells::draw(painter, QPointF(x, baseline), texts.call);
        x += DigitCells::width(bold, texts.call) + chipPartGap;
        painter.setFont(font);
        DigitCells::draw(painter, QPointF(x, baseline), texts.frequency);
        x += DigitCells::width(metrics, texts.frequency) + chipPartGap;
        if (!texts.mode.isEmpty()) {
            painter.drawText(QPointF(x, baseline), texts.mode);
            x += metrics.horizontalAdvance(texts.mode) + chipPartGap;
        }
        painter.setPen(withOpacity(text, 0.75));
        DigitCells::draw(painter, QPointF(x, baseline), texts.age);
    }
    if (!layout.more.isNull()) {
        painter.setFont(callFont());
        painter.setPen(m_tint);
        painter.drawText(QPointF(layout.more.left(), baseline), moreText());
    }
}

bool WatchStrip::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const ChipLayout layout = chipLayout();
        const qsizetype shown = layout.chips.size();
        for (qsizetype i = 0; i < shown; ++i) {
            const QRectF chip = layout.chips[i];
            if (chip.contains(help->pos())) {
                QToolTip::showText(help->globalPos(), ToolTipText::plain(m_texts[i].toolTip), this, chip.toRect());
                return true;
            }
        }
        // "+N" names the chips it stands for, one a line.
        if (layout.more.contains(help->pos())) {
            QStringList hidden;
            for (qsizetype i = shown; i < m_texts.size(); ++i) {
                const ChipTexts& texts = m_texts[i];
                hidden << texts.call + QLatin1Char(' ') + texts.frequency
                        + (texts.mode.isEmpty() ? QString() : QLatin1Char(' ') + texts.mode) + QLatin1Char(' ')
                        + texts.age;
            }
            QToolTip::showText(help->globalPos(), ToolTipText::plain(hidden.join(QLatin1Char('\n'))), this,
                               layout.more.toRect());
            return true;
        }
        QToolTip::hideText();
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}
