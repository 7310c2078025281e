#include "map/HoverPanel.h"

#include "geo/Maidenhead.h"
#include "kit/Color.h"
#include "map/CoverageLine.h"
#include "map/HoverInfoView.h"
#include "map/MapOptions.h"
#include "prediction/PredictionStore.h"
#include "spaceweather/MUFModel.h"
#include "spaceweather/SpaceWeather.h"
#include "support/Hypotenuse.h"
#include "support/NumberText.h"

#include <QEvent>

#include <cmath>
#include <limits>

std::optional<PrefixEntity> HoverPanel::labelUnderPointer(QPointF point, const MapProjection& projection,
                                                          const QList<SpotGroup>& groups,
                                                          const QList<PrefixEntity>& prefixes, bool showPrefixes,
                                                          double prefixFontSize)
{
    const double reach = std::max(1.3 * prefixFontSize, 10.0);
    const PrefixEntity* best = nullptr;
    double bestDistance = 0;
    const auto consider = [&](const PrefixEntity& label) {
        const QPointF at = projection.point(label.lat, label.lon);
        const double d = hypotenuse(at.x() - point.x(), at.y() - point.y());
        if (d <= reach && (!best || d < bestDistance)) {
            best = &label;
            bestDistance = d;
        }
    };
    for (const SpotGroup& group : groups)
        consider(group.label);
    if (showPrefixes)
        for (const PrefixEntity& label : prefixes)
            consider(label);
    return best ? std::optional<PrefixEntity>(*best) : std::nullopt;
}

HoverPanel::Content HoverPanel::content(const PrefixEntity& entity, const Inputs& inputs, PredictionCache& cache)
{
    const MapOptions& o = inputs.options;
    const SpaceWeatherSnapshot& snapshot = inputs.snapshot;
    const GeoCoordinate place = entity.coordinate();
    const MUFField field = MUFModel::field(snapshot.ionosondes, snapshot.sunspotNumber, inputs.now);

    Content c;
    HoverInfo& info = c.info;
    info.coordinate = place;
    info.home = o.home;
    info.nearest = entity;
    if (snapshot.aurora)
        info.aurora = snapshot.aurora->value(place);
    info.mufHere = field.muf(place);
    info.measuredShare = field.measuredShare(place);
    info.nearestIonosonde = Zelq::nearest(place, snapshot.ionosondes, 3000);
    info.pathMUF = field.pathMUF(o.home, place);
    info.coverageLine = CoverageLine::at(place, o, snapshot, inputs.now, inputs.engine);
    for (const SpotGroup& group : inputs.groups)
        if (group.label.prefix == entity.prefix) {
            info.group = group;
            break;
        }
    info.spotColor = Color::fromHex(o.spotColor);
    info.neededColor = Color::fromHex(o.neededColor);
    info.watchColor = Color::fromHex(o.watchColor);
    info.neededLabel
        = o.needScope == QLatin1String("bandCountry") ? QStringLiteral("NEW BAND") : QStringLiteral("NEW ONE");
    info.use24Hour = inputs.use24Hour;

    if (!o.showPredictionWheel || !(GeoMath::distanceKm(o.home, place) > wheelMinimumKm))
        return c;
    PropagationWheel::Content wheel;
    wheel.now = inputs.now;
    if (inputs.engine) {
        wheel.chart = inputs.engine->chart(entity, o.home, o.station, snapshot.sunspotNumber, inputs.now);
        // A chart that waits out a failure shows that failure, not a spinner.
        if (!wheel.chart)
            wheel.error = inputs.engine->chartFailure(entity, o.home, o.station, snapshot.sunspotNumber, inputs.now);
        if (!wheel.error)
            wheel.error = inputs.engine->lastError();
    } else {
        const std::uint64_t key
            = PredictionCache::key(MUFModel::key(snapshot.ionosondes, snapshot.sunspotNumber, inputs.now), o.home,
                                   o.station, snapshot.kpNow);
        wheel.chart = cache.chart(key, entity.prefix, [&] {
            return PropagationPredictor(o.station, 3.0)
                .dayChart(o.home, place, field, field.date(), snapshot.kpNow.value_or(2.0));
        });
    }
    wheel.title = QStringLiteral("Prediction to ") + (entity.isCell() ? Maidenhead::locator(place, 4) : entity.prefix)
                                 + QStringLiteral(", today UTC");
    wheel.subtitle = NumberText::printf("%.0f W", o.station.powerW)
        + QStringLiteral(" \u00B7 ") + ::title(o.station.mode)
                         + QStringLiteral(" \u00B7 ")
                                          + (inputs.engine ? QStringLiteral("ITU-R P.533")
                                                           : QStringLiteral("quick model"));
    c.wheel = wheel;
    return c;
}

HoverPanel::HoverPanel(QWidget* parent)
    : QWidget(parent)
    , m_info(new HoverInfoView(this))
    , m_wheel(new PropagationWheel(this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_TranslucentBackground);
    m_wheel->hide();
    hide();
    // A map that changes its height under the panel fits it anew.
    if (parent)
        parent->installEventFilter(this);
}

void HoverPanel::showFor(const std::optional<PrefixEntity>& entity, const Inputs& inputs)
{
    if (!entity) {
        m_content.reset();
        hide();
        return;
    }
    m_content = content(*entity, inputs, m_cache);
    m_now = inputs.now;
    if (m_content->wheel)
        m_wheel->setContent(*m_content->wheel);
    m_wheel->setVisible(m_content->wheel.has_value());
    fit();
    if (!isVisible())
        QWidget::show();
}

bool HoverPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && m_content)
        fit();
    return QWidget::eventFilter(watched, event);
}

QList<HoverLine> HoverPanel::fittedLines(const HoverInfo& info, const QDateTime& now, int height)
{
    // On a short map the spot rows give way, the last first, the line under
    // them counting those left out; then the place's secondary lines; then
    // the last spot row, the cluster's heading staying with the count. No
    // step shows more spots than the one before, so a taller map never
    // shows fewer. The place's own lines stay.
    const int rows = int(std::min<qsizetype>(info.group ? info.group->spots.size() : 0, HoverInfo::maxSpotRows));
    const auto fits = [height](const QList<HoverLine>& lines) { return HoverInfoView::heightOf(lines) <= height; };
    for (int shown = rows; shown >= std::min(rows, 1); --shown) {
        const QList<HoverLine> lines = info.lines(now, shown);
        if (fits(lines))
            return lines;
    }
    QList<HoverLine> lines;
    for (int shown = std::min(rows, 1); shown >= 0; --shown) {
        lines = info.lines(now, shown);
        lines.removeIf([](const HoverLine& line) { return line.givesWay == HoverLine::GivesWay::secondary; });
        if (fits(lines))
            break;
    }
    return lines;
}

QSize HoverPanel::sizeHint() const
{
    QSize size = m_info->sizeHint();
    if (m_content && m_content->wheel) {
        const QSize wheel = m_wheel->sizeHint();
        size = QSize(size.width() + spacing + wheel.width(), std::max(size.height(), wheel.height()));
    }
    return size;
}

void HoverPanel::fit()
{
    const int room = parentWidget() ? parentWidget()->height() - 2 * inset : std::numeric_limits<int>::max();
    m_info->setLines(fittedLines(m_content->info, m_now, room));
    layOut();
}

void HoverPanel::layOut()
{
    // On a short map the wheel gives up size, so that it stays whole with
    // its key.
    if (m_content && m_content->wheel && parentWidget())
        m_wheel->fitHeight(parentWidget()->height() - 2 * inset);
    const QSize info = m_info->sizeHint();
    m_info->setGeometry(QRect(QPoint(0, 0), info));
    if (m_content && m_content->wheel)
        m_wheel->setGeometry(QRect(QPoint(info.width() + spacing, 0), m_wheel->sizeHint()));
    setGeometry(QRect(QPoint(inset, inset), sizeHint()));
}
