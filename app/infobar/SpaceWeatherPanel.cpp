#include "infobar/SpaceWeatherPanel.h"

#include "geo/Maidenhead.h"
#include "infobar/SpaceWeatherColors.h"
#include "infobar/SpaceWeatherHelp.h"
#include "kit/PanelStyle.h"
#include "kit/SymbolIcons.h"
#include "kit/TimeFormat.h"
#include "kit/ToolTipText.h"
#include "spaceweather/MUFModel.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/NumberText.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

const QString kpHelp = QStringLiteral(
    "Planetary K index. 0–2 quiet, 3 unsettled, 4 active, 5+ geomagnetic storm (G1–G5). High Kp means aurora "
    "further south and degraded HF, especially on polar paths.");
const QString sfiHelp = QStringLiteral(
    "Solar radio flux at 10.7 cm, measured daily. Higher is better for HF: above about 120 the higher bands (15, 12, "
    "10 m) open well; below 70 they are usually closed.");
const QString aHelp = QStringLiteral(
    "Planetary A index, a running daily average of geomagnetic activity. Lower is better: under 8 quiet, 16–30 "
    "active, above 30 storm.");
const QString ssnHelp = QStringLiteral(
    "Sunspot number. More sunspots means a more ionised F layer and better high-band propagation. It follows the "
    "11-year solar cycle.");
const QString mufHelp = QStringLiteral(
    "Maximum usable frequency for a 3000 km hop starting at your QTH, estimated from the nearest ionosondes (data: "
    "Zelq / GIRO network). Bands below the MUF can reach DX; bands above it pass through the ionosphere.");
const QString mufLayerHelp = QStringLiteral(" Turn on the MUF layer to see the map.");

// An index value older than this is stale; the ionosonde readings have a
// shorter rule of their own (Zelq::maxAge).
constexpr qint64 indexFreshSeconds = 2 * 24 * 3600;

// "12 min", "5 h" or "3 days".
QString ageWords(qint64 seconds)
{
    const qint64 minutes = seconds / 60;
    if (minutes < 120)
        return QStringLiteral("%1 min").arg(minutes);
    if (minutes < 48 * 60)
        return QStringLiteral("%1 h").arg(minutes / 60);
    return QStringLiteral("%1 days").arg(minutes / (24 * 60));
}

// What a tile's tool tip adds about a value older than its freshness
// limit: its age and when it was measured. Empty for a fresh value or one
// without a time.
QString staleNote(const std::optional<QDateTime>& time, qint64 limit, const QDateTime& now)
{
    if (!time || !time->isValid() || time->secsTo(now) <= limit)
        return {};
    return QStringLiteral("\n\nLast measured ") + ageWords(time->secsTo(now))
                          + QStringLiteral(" ago, ") + TimeFormat::localTimeOfDay(*time, now) + QLatin1Char('.');
}

// An index measured longer ago than its limit rates a sky long gone: its
// tile is drawn muted and says the value's age where the rating would be.
void markStale(IndexTile::Content& tile, const std::optional<QDateTime>& time, const QDateTime& now)
{
    if (!tile.value || !time || !time->isValid() || time->secsTo(now) <= indexFreshSeconds)
        return;
    tile.rating = ageWords(time->secsTo(now)) + QStringLiteral(" old");
    tile.color = PanelStyle::secondaryText();
}

// A tile of a value that may be missing: number, rating and colour, or none
// of them.
IndexTile::Content tileOf(QString title, QString subtitle, const std::optional<double>& value, const char* format,
                          const std::function<QString(double)>& rating, const std::function<QColor(double)>& colour,
                          QString help)
{
    IndexTile::Content content { std::move(title), std::move(subtitle), {}, {}, {}, std::move(help) };
    if (value) {
        content.value = NumberText::printf(format, *value);
        content.rating = rating(*value);
        content.color = colour(*value);
    }
    return content;
}

GeoCoordinate home()
{
    const Settings& settings = Settings::standard();
    return GeoCoordinate { settings.get(SettingKeys::homeLatitude), settings.get(SettingKeys::homeLongitude) };
}

} // namespace

SpaceWeatherPanel::SpaceWeatherPanel(SpaceWeatherStore* store, QWidget* parent)
    : SpaceWeatherPanel(store, Options {}, parent)
{
}

SpaceWeatherPanel::SpaceWeatherPanel(SpaceWeatherStore* store, Options options, QWidget* parent)
    : QWidget(parent)
    , m_store(store)
    , m_options(std::move(options))
{
    setMinimumWidth(minimumPanelWidth);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);

    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    QLabel* title = PanelStyle::label(PanelStyle::tracked(PanelStyle::smallCaption(QFont::DemiBold)),
                                      PanelStyle::secondaryText(), this);
    title->setText(QStringLiteral("SPACE WEATHER & PROPAGATION"));
    header->addWidget(title);
    m_sources = PanelStyle::label(PanelStyle::smallCaption(), PanelStyle::tertiaryText(), this);
    m_sources->setToolTip(QStringLiteral("Data sources. Change them in Settings › Data."));
    header->addWidget(m_sources);
    header->addStretch(1);
    m_status = PanelStyle::label(PanelStyle::smallCaption(), PanelStyle::secondaryText(), this);
    header->addWidget(m_status);
    m_helpButton = new QToolButton(this);
    m_helpButton->setAutoRaise(true);
    m_helpButton->setIcon(SymbolIcons::bundled(QStringLiteral("info.circle")));
    m_helpButton->setIconSize(QSize(14, 14));
    m_helpButton->setToolTip(QStringLiteral("What do these numbers mean?"));
    m_helpButton->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 0px; background: transparent; }"));
    connect(m_helpButton, &QToolButton::clicked, this, &SpaceWeatherPanel::toggleHelp);
    header->addWidget(m_helpButton);
    column->addLayout(header);

    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    for (int i = 0; i < 5; ++i) {
        auto* indexTile = new IndexTile(this);
        m_tiles << indexTile;
        row->addWidget(indexTile, 1, Qt::AlignTop);
    }
    column->addLayout(row);

    m_caption = PanelStyle::label(PanelStyle::smallCaption(), PanelStyle::secondaryText(), this);
    m_caption->setWordWrap(true);
    column->addWidget(m_caption);
    column->addStretch(1);

    if (m_store) {
        connect(m_store, &SpaceWeatherStore::snapshotChanged, this, &SpaceWeatherPanel::refresh);
        connect(m_store, &SpaceWeatherStore::isLoadingChanged, this, &SpaceWeatherPanel::refresh);
        connect(m_store, &SpaceWeatherStore::lastErrorChanged, this, &SpaceWeatherPanel::refresh);
    }
    connect(&Settings::standard(), &Settings::changed, this, [this](const QString& key) {
        if (isKey(key, SettingKeys::mufColors) || isKey(key, SettingKeys::homeLatitude)
            || isKey(key, SettingKeys::homeLongitude) || isKey(key, SettingKeys::showMUF))
            refresh();
    });
    refresh();
}

QDateTime SpaceWeatherPanel::now() const { return m_options.now ? m_options.now() : QDateTime::currentDateTimeUtc(); }

QList<IndexTile::Content> SpaceWeatherPanel::tiles(const SpaceWeatherSnapshot& snapshot, double mufAtHome,
                                                   const QString& locator, const MUFPalette& palette,
                                                   const QDateTime& now, bool mufLayerShown)
{
    const std::function<QString(double)> mufRating
        = [](double muf) { return QStringLiteral("Up to ") + Zelq::highestOpenBand(muf); };
    const std::function<QColor(double)> mufColour = [&palette](double muf) { return palette.color(muf); };
    const QString mufTileHelp = mufLayerShown ? mufHelp : mufHelp + mufLayerHelp;
    QList<IndexTile::Content> made {
        tileOf(QStringLiteral("Kp index"),
                              QStringLiteral("Geomagnetic, 0–9"), snapshot.kpNow, "%.1f",
                                             &SpaceWeatherSnapshot::stormLevel, &kpColor, kpHelp),
               tileOf(QStringLiteral("SFI, 10.7 cm"),
                                     QStringLiteral("Solar flux"), snapshot.solarFlux, "%.0f",
                                                    &SpaceWeatherSnapshot::fluxRating, &fluxColor, sfiHelp),
                      tileOf(QStringLiteral("A index"),
                                            QStringLiteral("Daily geomagnetic"), snapshot.aIndex(), "%.0f",
                                                           &SpaceWeatherSnapshot::aRating, &aColor, aHelp),
                             tileOf(QStringLiteral("SSN, daily"),
                                                   QStringLiteral("Sunspots"), snapshot.sunspotNumber, "%.0f",
                                                                  &SpaceWeatherSnapshot::sunspotRating, &sunspotColor,
                                                                  ssnHelp),
                                    tileOf(QStringLiteral("MUF at your QTH"),
                                                          QStringLiteral("MHz, ") + locator, mufAtHome, "%.1f",
                                                                         mufRating, mufColour, mufTileHelp),
                             };

    // What a narrow tile shows instead of a name or a second line that
    // does not fit it.
    made[0].shortSubtitle = QStringLiteral("Geomag., 0–9");
    made[2].shortSubtitle = QStringLiteral("Daily geomag.");
    made[4].shortTitle = QStringLiteral("MUF at QTH");

    // The times the values were measured; the MUF's is that of the newest
    // ionosonde reading it stands on.
    std::optional<QDateTime> aTime = snapshot.aIndexValue ? snapshot.aIndexTime : std::nullopt;
    if (!snapshot.aIndexValue && !snapshot.kpHistory.isEmpty())
        aTime = snapshot.kpHistory.last().time;
    std::optional<QDateTime> readings;
    for (const IonosondeReading& reading : snapshot.ionosondes)
        if (reading.time && (!readings || *reading.time > *readings))
            readings = reading.time;
    const std::optional<QDateTime> indexTimes[] { snapshot.kpNowTime, snapshot.solarFluxTime, aTime,
                                                  snapshot.sunspotTime };
    for (qsizetype i = 0; i < 4; ++i) {
        made[i].help += staleNote(indexTimes[i], indexFreshSeconds, now);
        markStale(made[i], indexTimes[i], now);
    }
    // The MUF is worked out for now, from the model where readings are old.
    made[4].help += staleNote(readings, Zelq::maxAge, now);
    return made;
}

double SpaceWeatherPanel::mufAtHome(const SpaceWeatherSnapshot& snapshot, const GeoCoordinate& home,
                                    const QDateTime& now)
{
    return MUFModel::field(snapshot.ionosondes, snapshot.sunspotNumber, now).muf(home);
}

QString SpaceWeatherPanel::ageText(const std::optional<QDateTime>& time, const QDateTime& now)
{
    if (!time || !time->isValid())
        return {};
    const qint64 minutes = std::max<qint64>(0, time->secsTo(now) / 60);
    return QStringLiteral(", measured %1 min ago").arg(minutes);
}

QString SpaceWeatherPanel::mufCaption(const SpaceWeatherSnapshot& snapshot, const GeoCoordinate& home,
                                      const QDateTime& now)
{
    const QString locator = Maidenhead::locator(home, 6);
    const std::optional<Zelq::NearestStation> nearest = Zelq::nearest(home, snapshot.ionosondes, nearestLimitKm);
    if (!nearest) {
        // Without the day's sunspot number the model takes a stand-in, and
        // says which.
        const QString sunspots = snapshot.sunspotNumber
            ? QStringLiteral("the sunspot number")
            : NumberText::printf("an assumed sunspot number of %.0f (the day's is unknown)",
                                 MUFModel::field(snapshot.ionosondes, std::nullopt, now).sunspotNumber());
        return QStringLiteral("MUF at ") + locator + QStringLiteral(" is a model estimate from the Sun's position and ")
            + sunspots + QStringLiteral(": no ionosonde within 3000 km.");
    }
    const IonosondeReading& reading = nearest->reading;
    const QString fof2 = reading.fof2 ? NumberText::printf("%.1f MHz", *reading.fof2) : QStringLiteral("–");
    return QStringLiteral("MUF at ") + locator
        + QStringLiteral(" from the ionosondes, filled in by a day/night model between them. Nearest: ") + reading.name
                         + QStringLiteral(", ") + QString::number(qint64(std::trunc(nearest->distanceKm)))
                                          + QStringLiteral(" km away, MUF ") + NumberText::printf("%.1f", reading.mufd)
                                                           + QStringLiteral(" MHz, foF2 ") + fof2
                                                                            + ageText(reading.time, now)
                                                                            + QStringLiteral(".");
}

QString SpaceWeatherPanel::sourcesText(const SpaceWeatherSnapshot& snapshot)
{
    return snapshot.indexSource == IndexSource::gfz ? QStringLiteral("GFZ · NOAA · Zelq")
                                                    : QStringLiteral("NOAA · Zelq");
}

QString SpaceWeatherPanel::statusText() const { return m_status->text(); }
QString SpaceWeatherPanel::captionText() const { return m_caption->text(); }

void SpaceWeatherPanel::refresh()
{
    const SpaceWeatherSnapshot empty;
    const SpaceWeatherSnapshot& snapshot = m_store ? m_store->snapshot() : empty;
    const QDateTime instant = now();
    const GeoCoordinate station = home();
    const MUFPalette palette = MUFPalette::fromHex(Settings::standard().get(SettingKeys::mufColors));

    m_sources->setText(sourcesText(snapshot));
    // A refresh that brought nothing is said as such, in the warning colour
    // with the failed feeds in its tool tip, until one brings something.
    const std::optional<QDateTime> failed = m_store ? m_store->failedAt() : std::nullopt;
    QString status;
    if (!snapshot.fetchedAt && m_store && m_store->isLoading())
        status = QStringLiteral("Downloading…");
    else if (failed)
        status = QStringLiteral("Update failed ") + TimeFormat::localTimeOfDay(*failed, instant);
    else if (snapshot.fetchedAt)
        status = QStringLiteral("Updated ") + TimeFormat::localTimeOfDay(*snapshot.fetchedAt, instant);
    m_status->setText(status);
    QPalette statusColours = m_status->palette();
    statusColours.setColor(QPalette::WindowText, failed ? PanelStyle::yellow() : PanelStyle::secondaryText());
    m_status->setPalette(statusColours);
    // With the one reason the failed feeds share, when they share one.
    const std::optional<QString> cause = failed ? m_store->lastErrorCause() : std::nullopt;
    m_status->setToolTip(failed ? ToolTipText::plain(m_store->lastError().value_or(QString())
                                                     + (cause ? QLatin1Char('\n') + *cause : QString()))
                                : QString());

    const QList<IndexTile::Content> contents
        = tiles(snapshot, mufAtHome(snapshot, station, instant), Maidenhead::locator(station, 6), palette, instant,
                Settings::standard().get(SettingKeys::showMUF));
    for (qsizetype i = 0; i < contents.size(); ++i)
        m_tiles[i]->setContent(contents[i]);
    m_caption->setText(mufCaption(snapshot, station, instant));
}

bool SpaceWeatherPanel::showHelp() const { return m_help && m_help->isVisible(); }

void SpaceWeatherPanel::toggleHelp()
{
    if (showHelp()) {
        m_help->close();
        return;
    }
    m_help = new SpaceWeatherHelp(this);
    m_help->popUp(m_helpButton);
}

void SpaceWeatherPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PanelStyle::drawFrame(painter, rect(), 12, 0.04);
}
