#include "settings/StationSettings.h"

#include "geo/Maidenhead.h"
#include "geo/Zones.h"
#include "prediction/ITUEngine.h"
#include "prediction/PredictionSettings.h"
#include "settings/BandAntennaTable.h"
#include "settings/NumberField.h"
#include "settings/SettingControls.h"
#include "settings/SettingsColumns.h"
#include "settings/SettingsSection.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

namespace {

// Where the engine goes, in the engine service's own words.
QString engineMissingNote() { return ITUEngine::notInstalledText() + QStringLiteral(" Using the quick model."); }

constexpr double powerChoices[] = { 5, 10, 25, 50, 100, 200, 400, 500, 800, 1000, 1500 };

QString zoneText(ZoneKind kind, const GeoCoordinate& at)
{
    const auto zone = Zones::zone(kind, at);
    return zone ? QString::number(zone->number) : QStringLiteral("–");
}

} // namespace

QString StationSettings::homeSummary(const GeoCoordinate& home)
{
    return QStringLiteral("Locator ") + Maidenhead::locator(home, 6)
                          + QStringLiteral(" · CQ zone ") + zoneText(ZoneKind::cq, home)
                                           + QStringLiteral(" · ITU zone ") + zoneText(ZoneKind::itu, home);
}

double StationSettings::roundedDegrees(double degrees) { return std::round(degrees * 10000) / 10000; }

StationSettings::StationSettings(QWidget* parent)
    : QWidget(parent)
{
    m_columns = SettingsColumns::fill(this,
                                      {
                                          { stationSection(), 6 },
                                          { predictionSection(), 12 },
                                          { antennaSection(), 14 },
                                          { clockSection(), 1.5 },
                                      });

    refreshSummary();
    SettingBinding::follow(this, SettingKeys::homeLatitude.name, [this] { refreshSummary(); });
    SettingBinding::follow(this, SettingKeys::homeLongitude.name, [this] { refreshSummary(); });
}

QWidget* StationSettings::stationSection()
{
    auto* section = new SettingsSection(QStringLiteral("Station"));
    section->addRow(QStringLiteral("Callsign"), new SettingLineEdit(SettingKeys::callsign));

    m_locator = new QLineEdit;
    m_locator->setPlaceholderText(QStringLiteral("e.g. KO24pq"));
    // Room for the longest locator, eight characters, whole.
    m_locator->setMinimumWidth(m_locator->fontMetrics().horizontalAdvance(QStringLiteral("MM00MM00")) + 16);
    m_useLocator = new QPushButton(QStringLiteral("Use locator"));
    connect(m_locator, &QLineEdit::returnPressed, this, [this] { applyLocator(); });
    connect(m_useLocator, &QPushButton::clicked, this, [this] { applyLocator(); });
    auto* locatorRow = new QHBoxLayout;
    locatorRow->addWidget(m_locator, 1);
    locatorRow->addWidget(m_useLocator);
    section->addRow(QStringLiteral("Grid locator"), locatorRow);

    m_locatorError
        = SettingsText::caption(QStringLiteral("That is not a valid Maidenhead locator."), SettingsText::error());
    m_locatorError->hide();
    section->addRow(m_locatorError);

    section->addRow(QStringLiteral("Latitude (° N, negative for S)"),
                                   new SettingNumberField(SettingKeys::homeLatitude, 4));
    section->addRow(QStringLiteral("Longitude (° E, negative for W)"),
                                   new SettingNumberField(SettingKeys::homeLongitude, 4));

    m_summary = SettingsText::caption(QString());
    section->addRow(m_summary);
    return section;
}

QWidget* StationSettings::predictionSection()
{
    auto* section = new SettingsSection(QStringLiteral("Your station (for predictions)"));

    QList<std::pair<QString, double>> power;
    for (const double watts : powerChoices)
        power.append({ QStringLiteral("%1 W").arg(qint64(watts)), watts });
    section->addRow(QStringLiteral("Power"), new SettingComboBox(SettingKeys::stationPowerW, power));

    section->addRow(QStringLiteral("Mode"), new SettingComboBox(SettingKeys::predictionMode, SettingChoices::ofCases(PredictionModes::allCases)));
    section->addRow(QStringLiteral("Noise at your QTH"),
                                   new SettingComboBox(SettingKeys::noiseEnvironment,
                                                       SettingChoices::ofCases(NoiseEnvironments::allCases)));

    section->addRow(
        new SettingCheckBox(SettingKeys::showPredictionWheel,
                            QStringLiteral("Show the 24-hour prediction wheel when pointing at a country")));

    const QList<std::pair<QString, QString>> engines {
        { QStringLiteral("ITU-R P.533 (accurate, monthly prediction)"), rawValue(PredictionEngineChoice::itu) },
          { QStringLiteral("Quick model (uses today's ionosonde map)"), rawValue(PredictionEngineChoice::quick) },
        };
    section->addRow(QStringLiteral("Prediction model"), new SettingComboBox(SettingKeys::predictionEngine, engines));

    m_engineNote = SettingsText::caption(engineMissingNote(), SettingsText::warning());
    section->addRow(m_engineNote);
    refreshEngineNote();

    section->setFooter({
        QStringLiteral("Used by the prediction wheel and the coverage layer. The station at the other end is assumed "
                       "to have a dipole (3 dBi)."),
            QStringLiteral("ITU-R P.533 is the international standard method for HF prediction, run with the ITU's own "
                       "software. It predicts the median for this month at the current sunspot number, so it doesn't "
                       "follow today's storms. The first use each month downloads about 11 MB of ionosphere data "
                       "from the ITU repository. The quick model is Corvanta's own simpler model; it uses today's "
                       "ionosonde map and Kp."),
        });
    return section;
}

QWidget* StationSettings::antennaSection()
{
    auto* section = new SettingsSection(QStringLiteral("Antennas by band"));
    section->addRow(new BandAntennaTable);
    section->setFooter({
        QStringLiteral("Predictions and coverage work out each band's gain at the right take-off angle from its "
                       "antenna and height, over average ground. A beam is assumed to point at the other station. "
                       "A ground-mounted vertical has no height, and \"Other\" is your gain at all angles."),
    });
    return section;
}

QWidget* StationSettings::clockSection()
{
    auto* section = new SettingsSection(QStringLiteral("Clock"));
    section->addRow(new SettingCheckBox(SettingKeys::use24Hour, QStringLiteral("24-hour clock")));
    return section;
}

void StationSettings::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Each time the tab is shown, the locator field starts from the stored
    // position again; later edits of the coordinates leave it alone.
    const Settings& settings = Settings::standard();
    m_locator->setText(Maidenhead::locator(GeoCoordinate { settings.get(SettingKeys::homeLatitude),
                                                           settings.get(SettingKeys::homeLongitude) },
                                           6));
    refreshEngineNote();
}

void StationSettings::applyLocator()
{
    const auto centre = Maidenhead::coordinate(m_locator->text());
    if (!centre) {
        m_locatorError->show();
        return;
    }
    Settings& settings = Settings::standard();
    settings.set(SettingKeys::homeLatitude, roundedDegrees(centre->latitude));
    settings.set(SettingKeys::homeLongitude, roundedDegrees(centre->longitude));
    m_locatorError->hide();
}

void StationSettings::refreshSummary()
{
    const Settings& settings = Settings::standard();
    m_summary->setText(homeSummary(
        GeoCoordinate { settings.get(SettingKeys::homeLatitude), settings.get(SettingKeys::homeLongitude) }));
}

void StationSettings::refreshEngineNote() { m_engineNote->setVisible(!ITUEngine::isAvailable()); }
