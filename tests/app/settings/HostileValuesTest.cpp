// Numbers in the settings file that no control could have written (a
// hand-edited file, a file from another program): every reader takes them as
// the nearest end of the control's range, or the default when they are no
// finite number, and the windows draw exactly that.
#include "cluster/DXClusterClient.h"
#include "infobar/InfoBar.h"
#include "infobar/SunCard.h"
#include "settings/SettingsView.h"
#include "shell/ContentView.h"
#include "shell/CorvantaApp.h"
#include "shell/MainWindow.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/MapRendering.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/SettingsTabs.h"
#include "support/TestEnvironment.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QFile>
#include <QRegularExpression>
#include <QTabWidget>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <variant>

namespace {

using NumericKey = std::variant<IntKey, DoubleKey>;

const QList<NumericKey> numericKeys {
    SettingKeys::defaultsVersion, SettingKeys::homeLatitude,       SettingKeys::homeLongitude,
    SettingKeys::clockFontSize,   SettingKeys::prefixFontSize,     SettingKeys::zoneFontSize,
    SettingKeys::zoneLineOpacity, SettingKeys::borderWidth,        SettingKeys::gridFontSize,
    SettingKeys::nightIntensity,  SettingKeys::greylineGlow,       SettingKeys::auroraOpacity,
    SettingKeys::mufOpacity,      SettingKeys::clusterSpotMinutes, SettingKeys::refreshMinutes,
    SettingKeys::coverageBand,    SettingKeys::stationPowerW,      SettingKeys::stationCustomGainDBi,
};

const char* nameOf(const NumericKey& key)
{
    return std::visit([](const auto& k) { return k.name; }, key);
}

// How the catalogue itself counts its number keys, so a new one cannot be
// left out above.
qsizetype declaredNumericKeys()
{
    QFile header(TestEnvironment::sourceDir() + "/core/support/SettingsCatalogue.h");
    if (!header.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromUtf8(header.readAll());
    return text.count(QRegularExpression(R"(inline constexpr (Int|Double)Key )"));
}

// What the settings file may hold for a number key, and whether it is a
// finite number (which a reader takes to the nearest end of the range).
const QList<std::pair<QVariant, bool>> hostiles {
    { std::nan(""), false },
    { std::numeric_limits<double>::infinity(), false },
    { -std::numeric_limits<double>::infinity(), false },
    { 1e308, true },
    { -1e308, true },
    // As a later run reads the file.
    { "nan", false },
    { "-inf", false },
    { "1e999", false },
    { "1e308", true },
    { "546.87", true },
    { "-546.87", true },
};

} // namespace

TEST(HostileValues, EveryNumberKeyReadsWithinItsRangeOrAsItsDefault)
{
    ASSERT_EQ(numericKeys.size(), declaredNumericKeys());
    Settings& settings = Settings::standard();
    for (const NumericKey& key : numericKeys) {
        const QString name = QLatin1String(nameOf(key));
        if (const auto* real = std::get_if<DoubleKey>(&key)) {
            // A reader can meet no number that the control could not show.
            EXPECT_TRUE(std::isfinite(real->min) && std::isfinite(real->max)) << real->name;
            EXPECT_TRUE(real->fallback >= real->min && real->fallback <= real->max) << real->name;
        }
        for (const auto& [stored, number] : hostiles) {
            settings.setValue(name, stored);
            const std::string what = (name + " = " + stored.toString()).toStdString();
            const double value = stored.toDouble();
            if (const auto* real = std::get_if<DoubleKey>(&key)) {
                EXPECT_EQ(settings.get(*real), number ? std::clamp(value, real->min, real->max) : real->fallback)
                    << what;
            } else if (const auto* whole = std::get_if<IntKey>(&key)) {
                EXPECT_EQ(settings.get(*whole),
                          !number                      ? whole->fallback
                              : std::abs(value) > 9e18 ? (value > 0 ? whole->max : whole->min)
                                                       : std::clamp(qint64(value), whole->min, whole->max))
                    << what;
            }
        }
        settings.remove(name);
    }
}

namespace {

// What the windows show that follows the number keys: the map, the sun
// card at a fixed instant and every settings tab.
struct Looks {
    QImage map;
    QStringList sun;
    QList<QImage> tabs;

    // The map's greyline and Sun follow the clock from one drawing to the
    // next: a few pixels at the terminator a shade apart are the same map.
    static bool sameMap(const QImage& a, const QImage& b)
    {
        if (a.size() != b.size())
            return false;
        qsizetype differing = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x) {
                const QRgb p = a.pixel(x, y);
                const QRgb q = b.pixel(x, y);
                if (std::abs(qRed(p) - qRed(q)) > 6 || std::abs(qGreen(p) - qGreen(q)) > 6
                    || std::abs(qBlue(p) - qBlue(q)) > 6)
                    ++differing;
            }
        return differing <= qsizetype(a.width()) * a.height() / 2000;
    }
    bool operator==(const Looks& other) const
    {
        return sameMap(map, other.map) && sun == other.sun && tabs == other.tabs;
    }
};

// Layouts settle a level per turn of the event loop; the map's layers are
// made on the pool and handed back through it.
void settle()
{
    for (int i = 0; i < 6; ++i) {
        QThreadPool::globalInstance()->waitForDone();
        QApplication::processEvents();
    }
}

Looks looksOf(MainWindow* main, QWidget* settingsWindow)
{
    settle();
    Looks looks;
    looks.map = renderMap(*main->contentView()->mapView());
    SunCard* sun = main->contentView()->infoBar()->sunCard();
    sun->show(QDateTime(QDate(2024, 6, 21), QTime(12, 0), Qt::UTC));
    looks.sun = { sun->riseText(), sun->setText(), sun->eventText(), sun->dayText(), sun->elevationText() };
    // Each tab is shown afresh: the Station tab fills its locator field
    // when it is shown.
    QTabWidget* tabs = settingsWindow->findChild<SettingsView*>()->tabs();
    tabs->setCurrentIndex(tabs->count() - 1);
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        settle();
        looks.tabs << settingsWindow->grab().toImage();
    }
    return looks;
}

} // namespace

TEST(HostileValues, TheWindowsDrawHostileNumbersAsTheEndsOfTheirRangesOrTheDefaults)
{
    SettingsTabs::clearSettings();
    QApplication::setCursorFlashTime(0); // no blinking text cursor between two grabs
    CorvantaApp app;
    MainWindow* main = app.openMainWindow();
    QWidget* settingsWindow = app.showSettings();
    settingsWindow->resize(1100, 800);
    Settings& settings = Settings::standard();
    // The first refresh and the country file fail at the closed local port:
    // both over before the first look, so neither changes a later one.
    ASSERT_TRUE(waitUntil([&] {
        return !app.stores().spaceWeather->isLoading() && app.stores().cluster->nextCountryFileTry();
    }));

    // Every number key at once: set to the hostile value, then to what a
    // reader should make of it; the two must look the same.
    const auto setAll = [&](const std::function<QVariant(const NumericKey&)>& value) {
        for (const NumericKey& key : numericKeys) {
            if (const QVariant v = value(key); v.isValid())
                settings.setValue(QLatin1String(nameOf(key)), v);
            else
                settings.remove(QLatin1String(nameOf(key)));
        }
    };
    for (const double sign : { 1.0, -1.0 }) {
        setAll([sign](const NumericKey&) { return QVariant(sign * 1e308); });
        const Looks hostile = looksOf(main, settingsWindow);
        setAll([sign](const NumericKey& key) {
            return std::visit([sign](const auto& k) { return QVariant::fromValue(sign > 0 ? k.max : k.min); }, key);
        });
        EXPECT_TRUE(looksOf(main, settingsWindow) == hostile) << "towards " << sign;
    }
    setAll([](const NumericKey&) { return QVariant(std::nan("")); });
    const Looks noNumber = looksOf(main, settingsWindow);
    setAll([](const NumericKey&) { return QVariant(); });
    EXPECT_TRUE(looksOf(main, settingsWindow) == noNumber);

    settingsWindow->close();
    main->close();
}
