#include "infobar/InfoBar.h"

#include "infobar/ClockCard.h"
#include "infobar/SpaceWeatherPanel.h"
#include "infobar/SunCard.h"
#include "infobar/WatchStrip.h"
#include "kit/MapStyle.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {

GeoCoordinate home(const Settings& settings)
{
    return GeoCoordinate { settings.get(SettingKeys::homeLatitude), settings.get(SettingKeys::homeLongitude) };
}

} // namespace

InfoBar::InfoBar(const AppStores& stores, QWidget* parent)
    : InfoBar(stores, Options {}, parent)
{
}

InfoBar::InfoBar(const AppStores& stores, Options options, QWidget* parent)
    : QWidget(parent)
    , m_options(std::move(options))
{
    const Settings& settings = Settings::standard();
    const ClockLook look = ClockLook::fromSettings(settings);

    auto* bar = new QHBoxLayout(this);
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setSpacing(12);
    m_panel = new SpaceWeatherPanel(stores.spaceWeather, SpaceWeatherPanel::Options { m_options.now }, this);
    bar->addWidget(m_panel, 1);

    auto* column = new QVBoxLayout;
    column->setSpacing(8);
    m_strip = new WatchStrip(stores.cluster, WatchStrip::Options { m_options.now, m_options.blink }, this);
    column->addWidget(m_strip);
    m_cardRow = new QWidget(this);
    auto* cards = new QHBoxLayout(m_cardRow);
    cards->setContentsMargins(0, 0, 0, 0);
    cards->setSpacing(12);
    m_local = new ClockCard(ClockCard::Zone::local, look, m_cardRow);
    m_utc = new ClockCard(ClockCard::Zone::utc, look, m_cardRow);
    m_sun = new SunCard(look, m_cardRow);
    m_sun->setHome(home(settings));
    // The cards share the row equally, as far as their contents allow, and
    // take its whole height.
    for (QWidget* card : { static_cast<QWidget*>(m_local), static_cast<QWidget*>(m_utc), static_cast<QWidget*>(m_sun) })
        cards->addWidget(card, 1);
    column->addWidget(m_cardRow, 1);
    bar->addLayout(column, 1);

    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &InfoBar::tick);
    connect(&Settings::standard(), &Settings::changed, this, &InfoBar::onSettingChanged);
    tick();
}

QDateTime InfoBar::now() const { return m_options.now ? m_options.now() : QDateTime::currentDateTimeUtc(); }

void InfoBar::tick()
{
    if (m_timer.isActive() && m_timer.interval() != m_options.tick.count())
        m_timer.start(int(m_options.tick.count()));
    const QDateTime instant = now();
    m_local->show(instant);
    m_utc->show(instant);
    m_sun->show(instant);
}

void InfoBar::startTicking()
{
    // The first tick comes just after the wall clock's next whole second, the
    // rest a second apart, so the seconds change when the computer's do.
    const qint64 interval = std::max<qint64>(1, m_options.tick.count());
    const qint64 wall = QDateTime::currentMSecsSinceEpoch();
    m_timer.start(int(interval - wall % interval + 5));
}

void InfoBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    tick();
    if (!m_timer.isActive())
        startTicking();
}

void InfoBar::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    m_timer.stop();
}

void InfoBar::onSettingChanged(const QString& key)
{
    const Settings& settings = Settings::standard();
    if (ClockLook::followsKey(key)) {
        const ClockLook look = ClockLook::fromSettings(settings);
        m_local->setLook(look);
        m_utc->setLook(look);
        m_sun->setLook(look);
    } else if (isKey(key, SettingKeys::homeLatitude) || isKey(key, SettingKeys::homeLongitude)) {
        m_sun->setHome(home(settings));
    }
}
