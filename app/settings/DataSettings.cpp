#include "settings/DataSettings.h"

#include "settings/SettingControls.h"
#include "settings/SettingsColumns.h"
#include "settings/SettingsSection.h"
#include "spaceweather/GFZ.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/Endpoints.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QLabel>
#include <QUrl>

namespace {

// What the loop's period is set from: the stored number as it stands, so
// that picking a choice over a value the readers clamp still counts as a
// change.
std::optional<qint64> storedMinutes()
{
    return Settings::standard().optionalInt(QLatin1String(SettingKeys::refreshMinutes.name));
}

} // namespace

QString DataSettings::zelqTitle()
{
    return QStringLiteral("Zelq (") + QUrl(Endpoints::zelqBase()).host() + QLatin1Char(')');
}

DataSettings::DataSettings(SpaceWeatherStore* spaceWeather, QWidget* parent)
    : QWidget(parent)
    , m_spaceWeather(spaceWeather)
{
    const Settings& settings = Settings::standard();
    m_indexSource = settings.get(SettingKeys::indexSource);
    m_mufSource = settings.get(SettingKeys::mufSource);
    m_refreshMinutes = storedMinutes();

    m_columns = SettingsColumns::fill(this, { { sourceSection(), 3 } });

    // A picker's key is stored before the change is announced, so the
    // store's refresh reads the new value.
    SettingBinding::follow(this, SettingKeys::indexSource.name, [this] { indexSourceChanged(); });
    SettingBinding::follow(this, SettingKeys::mufSource.name, [this] { mufSourceChanged(); });
    SettingBinding::follow(this, SettingKeys::refreshMinutes.name, [this] { refreshMinutesChanged(); });
    if (m_spaceWeather)
        connect(m_spaceWeather, &SpaceWeatherStore::lastErrorChanged, this, [this] { refreshErrorLine(); });
    refreshErrorLine();
}

QWidget* DataSettings::sourceSection()
{
    auto* section = new SettingsSection(QStringLiteral("Data sources"));

    const QList<std::pair<QString, QString>> indices {
        { QStringLiteral("NOAA SWPC (Kp updated every minute)"), rawValue(IndexSource::noaa) },
          { QStringLiteral("GFZ Potsdam (official Kp, every 3 hours)"), rawValue(IndexSource::gfz) },
        };
    section->addRow(QStringLiteral("Kp, A, sunspots, solar flux"),
                                   new SettingComboBox(SettingKeys::indexSource, indices));

    const QList<std::pair<QString, QString>> muf {
        { zelqTitle(), QStringLiteral("zelq") },
          { QStringLiteral("Off"), QStringLiteral("off") },
        };
    section->addRow(QStringLiteral("MUF"), new SettingComboBox(SettingKeys::mufSource, muf));

    section->addRow(QStringLiteral("Refresh every"), new SettingComboBox(SettingKeys::refreshMinutes, SettingChoices::minutes({ 5, 10, 15, 30 })));

    // The feeds' names come from the store; shown as they stand.
    m_error = SettingsText::caption(QString(), SettingsText::warning());
    section->addRow(m_error);

    section->setFooter({
        QStringLiteral("NOAA SWPC is the US government space weather centre. Its data is public domain and free for "
                       "anyone. The aurora forecast (OVATION) always comes from NOAA."),
            QStringLiteral("GFZ Potsdam produces the official Kp index and also publishes Ap, the sunspot number and "
                       "F10.7. Free under CC BY 4.0 (credit GFZ)."),
                QStringLiteral("MUF comes from Zelq, which collects ionosonde readings from the GIRO network. The raw GIRO "
                       "database needs a registered account and is licensed for non-commercial research only, so the "
                       "app uses Zelq's free feed. Zelq is only asked once every 15 minutes, however often the rest "
                       "refreshes."),
                    QStringLiteral("Day/night, greyline, sunrise and sunset are calculated on this computer and need no data."),
                });
    return section;
}

void DataSettings::refreshErrorLine()
{
    const std::optional<QString> error = m_spaceWeather ? m_spaceWeather->lastError() : std::nullopt;
    m_error->setText(error.value_or(QString()));
    m_error->setVisible(error.has_value());
}

void DataSettings::indexSourceChanged()
{
    const QString now = Settings::standard().get(SettingKeys::indexSource);
    if (now == m_indexSource)
        return;
    m_indexSource = now;
    if (m_spaceWeather)
        m_spaceWeather->refresh();
}

void DataSettings::mufSourceChanged()
{
    const QString now = Settings::standard().get(SettingKeys::mufSource);
    if (now == m_mufSource)
        return;
    m_mufSource = now;
    if (m_spaceWeather)
        m_spaceWeather->refresh();
}

void DataSettings::refreshMinutesChanged()
{
    const std::optional<qint64> now = storedMinutes();
    if (now == m_refreshMinutes)
        return;
    m_refreshMinutes = now;
    if (m_spaceWeather)
        m_spaceWeather->startAutoRefresh();
}
