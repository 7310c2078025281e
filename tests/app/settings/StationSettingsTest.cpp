#include "settings/StationSettings.h"
#include "geo/Maidenhead.h"
#include "map/MapViewportModel.h"
#include "map/WorldMapView.h"
#include "settings/ClusterSettings.h"
#include "settings/RotatorSettings.h"
#include "settings/SettingControls.h"
#include "settings/SettingsColumns.h"
#include "settings/SettingsView.h"
#include "shell/CorvantaApp.h"
#include "support/MapRendering.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/SettingsTabs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace SettingsTabs;

TEST(StationSettings, ShowsTheDefaultsAndWritesNothingUntilEdited)
{
    clearSettings();
    StationSettings tab;
    tab.resize(640, 900);
    tab.show();
    EXPECT_TRUE(control<QLineEdit>(&tab, "Callsign")->text().isEmpty());
    EXPECT_EQ(control<QLineEdit>(&tab, "Latitude (° N, negative for S)")->text(), "54.687");
    EXPECT_EQ(control<QLineEdit>(&tab, "Longitude (° E, negative for W)")->text(), "25.28");
    EXPECT_EQ(control<QComboBox>(&tab, "Power")->currentText(), "100 W");
    EXPECT_EQ(control<QComboBox>(&tab, "Power")->count(), 11);
    EXPECT_EQ(control<QComboBox>(&tab, "Power")->itemText(10), "1500 W");
    EXPECT_EQ(control<QComboBox>(&tab, "Mode")->currentText(), "SSB");
    EXPECT_EQ(control<QComboBox>(&tab, "Noise at your QTH")->currentText(), "Residential (suburbs)");
    EXPECT_EQ(control<QComboBox>(&tab, "Prediction model")->currentText(),
              "ITU-R P.533 (accurate, monthly prediction)");
    EXPECT_TRUE(checkBox(&tab, "Show the 24-hour prediction wheel when pointing at a country")->isChecked());
    EXPECT_TRUE(checkBox(&tab, "24-hour clock")->isChecked());
    EXPECT_EQ(tab.locatorField()->text(), "KO24pq");
    EXPECT_EQ(tab.summary()->text(), "Locator KO24pq · CQ zone 15 · ITU zone 29");
    EXPECT_FALSE(tab.locatorError()->isVisible());
    EXPECT_TRUE(Settings::standard().allKeys().isEmpty());

    // No engine beside the test program: the note shows, and "itu" can
    // still be chosen.
    EXPECT_TRUE(tab.engineNote()->isVisible());
    EXPECT_TRUE(tab.engineNote()->text().contains("ITURHFProp"));
    auto* engine = control<QComboBox>(&tab, "Prediction model");
    engine->setCurrentIndex(1);
    EXPECT_EQ(storedText("predictionEngine"), "quick");
    engine->setCurrentIndex(0);
    EXPECT_EQ(storedText("predictionEngine"), "itu");
    control<QComboBox>(&tab, "Noise at your QTH")->setCurrentIndex(0);
    EXPECT_EQ(storedText("noiseEnvironment"), "quietRural");
    control<QComboBox>(&tab, "Mode")->setCurrentIndex(2);
    EXPECT_EQ(storedText("predictionMode"), "ft8");
}

TEST(StationSettings, LocatorAndCoordinates)
{
    clearSettings();
    StationSettings tab;
    tab.show();
    QLineEdit* locator = tab.locatorField();

    // Any case, blanks around: the rounded centre of the square.
    locator->setText("  ko24PQ ");
    tab.useLocatorButton()->click();
    EXPECT_EQ(storedText("homeLatitude"), "54.6875");
    EXPECT_EQ(storedText("homeLongitude"), "25.2917");
    EXPECT_EQ(locator->text(), "  ko24PQ ");
    EXPECT_EQ(tab.summary()->text(), "Locator KO24pq · CQ zone 15 · ITU zone 29");

    // Four characters: the centre of that square; the caption keeps six.
    locator->setText("JN58");
    Q_EMIT locator->returnPressed();
    EXPECT_EQ(storedText("homeLatitude"), "48.5");
    EXPECT_EQ(storedText("homeLongitude"), "11");
    EXPECT_TRUE(tab.summary()->text().startsWith("Locator JN58mm · CQ zone 14"));

    for (const char* bad : { "SS00", "KO2", "K024", "", "KO24pq1" }) {
        locator->setText(bad);
        tab.useLocatorButton()->click();
        EXPECT_TRUE(tab.locatorError()->isVisible()) << bad;
        EXPECT_EQ(tab.locatorError()->text(), "That is not a valid Maidenhead locator.");
    }
    EXPECT_EQ(storedText("homeLatitude"), "48.5");
    EXPECT_EQ(storedText("homeLongitude"), "11");
    locator->setText("typing alone keeps the message");
    EXPECT_TRUE(tab.locatorError()->isVisible());
    locator->setText("FN31");
    tab.useLocatorButton()->click();
    EXPECT_FALSE(tab.locatorError()->isVisible());

    // A typed latitude changes the caption at once, not the locator field.
    auto* latitude = control<QLineEdit>(&tab, "Latitude (° N, negative for S)");
    typeAndCommit(latitude, "200");
    EXPECT_EQ(storedText("homeLatitude"), "200");
    const QString clamped = Maidenhead::locator({ 200, -73 }, 6);
    EXPECT_EQ(tab.summary()->text(), "Locator " + clamped + " · CQ zone – · ITU zone –");
    EXPECT_EQ(locator->text(), "FN31");
    // Numbers that are not finite never reach the stored position.
    typeAndCommit(latitude, "nan");
    typeAndCommit(control<QLineEdit>(&tab, "Longitude (° E, negative for W)"), "-inf");
    EXPECT_EQ(storedText("homeLatitude"), "200");
    EXPECT_EQ(storedText("homeLongitude"), "-73");

    // Shown again, the field starts from the stored position.
    tab.hide();
    Settings::standard().set(SettingKeys::homeLatitude, 54.687);
    Settings::standard().set(SettingKeys::homeLongitude, 25.28);
    tab.show();
    EXPECT_EQ(locator->text(), "KO24pq");
}

TEST(StationSettings, TheMapFollowsCallsignAndHomeAtOnce)
{
    clearSettings();
    MapViewportModel model;
    WorldMapView map(AppStores { nullptr, &model, nullptr, nullptr, nullptr });
    map.resize(800, 400);
    map.show();
    StationSettings tab;
    tab.show();
    const QImage before = renderMap(map);

    control<QLineEdit>(&tab, "Callsign")->setText("ly2abc");
    EXPECT_EQ(map.options().callsign, "ly2abc");
    tab.locatorField()->setText("FN31pr");
    tab.useLocatorButton()->click();
    EXPECT_EQ(map.options().home, (GeoCoordinate { 41.7292, -72.7083 }));
    EXPECT_NE(renderMap(map), before);
}

TEST(SettingsView, SixTabsOpeningOnStationAndNothingKeptBetweenOpenings)
{
    clearSettings();
    CorvantaApp app;
    QWidget* window = app.showSettings();
    auto* view = window->findChild<SettingsView*>();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(window->windowTitle(), "Corvanta Settings");
    EXPECT_EQ(view->minimumSize(), QSize(580, 460));
    EXPECT_EQ(view->sizeHint(), QSize(640, 720));
    QStringList labels;
    for (int i = 0; i < view->tabs()->count(); ++i) {
        labels << view->tabs()->tabText(i);
        EXPECT_FALSE(view->tabs()->tabIcon(i).isNull()) << i;
    }
    EXPECT_EQ(labels, (QStringList { "Station", "Map", "Labels", "Data", "Cluster", "Rotators" }));
    EXPECT_EQ(view->currentTab(), SettingsView::Tab::station);
    ASSERT_NE(qobject_cast<StationSettings*>(view->page(SettingsView::Tab::station)), nullptr);
    EXPECT_NE(qobject_cast<ClusterSettings*>(view->page(SettingsView::Tab::cluster)), nullptr);
    EXPECT_NE(qobject_cast<RotatorSettings*>(view->page(SettingsView::Tab::rotators)), nullptr);

    // The Station tab reflows with the window's width.
    const struct {
        int width;
        QList<QList<int>> runs;
    } widths[] = {
        { 640, { { 0, 1, 2, 3 } } },
        { 900, { { 0, 1 }, { 2, 3 } } },
        { 1280, { { 0 }, { 1 }, { 2, 3 } } },
    };
    auto* station = static_cast<StationSettings*>(view->page(SettingsView::Tab::station));
    for (const auto& w : widths) {
        window->resize(w.width, 800);
        QApplication::processEvents();
        EXPECT_EQ(station->columns()->runs(), w.runs) << w.width;
    }

    // View state goes with the window; it opens on Station again.
    station->locatorField()->setText("nonsense");
    station->applyLocator();
    EXPECT_TRUE(station->locatorError()->isVisible());
    view->showTab(SettingsView::Tab::rotators);
    EXPECT_EQ(view->currentTab(), SettingsView::Tab::rotators);
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QWidget* reopened = app.showSettings();
    auto* fresh = reopened->findChild<SettingsView*>();
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->currentTab(), SettingsView::Tab::station);
    auto* freshStation = static_cast<StationSettings*>(fresh->page(SettingsView::Tab::station));
    EXPECT_FALSE(freshStation->locatorError()->isVisible());
    EXPECT_EQ(freshStation->locatorField()->text(), "KO24pq");
    reopened->close();
}
