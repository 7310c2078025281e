// The first-start sheet driven as the operator would: typing into its
// fields, pressing its buttons, and what ends up in the settings file.
#include "shell/WelcomeView.h"
#include "cluster/DXClusterClient.h"
#include "geo/Maidenhead.h"
#include "map/MapViewportModel.h"
#include "map/WorldMapView.h"
#include "shell/ContentView.h"
#include "spaceweather/SpaceWeatherStore.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

void clearSettings()
{
    Settings& settings = Settings::standard();
    for (const QString& key : settings.allKeys())
        settings.remove(key);
}

void press(QWidget* widget, int key, const QString& text = {})
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &up);
}

// Key by key; a character no key types (a tab) is pasted in.
void type(QLineEdit* field, const QString& text)
{
    for (const QChar c : text) {
        if (!c.isPrint()) {
            field->insert(QString(c));
            continue;
        }
        const char16_t u = c.toUpper().unicode();
        const int key = u >= 'A' && u <= 'Z' ? Qt::Key_A + (u - 'A')
            : u >= '0' && u <= '9'           ? Qt::Key_0 + (u - '0')
            : u == ' '                       ? Qt::Key_Space
                                             : Qt::Key_unknown;
        press(field, key, QString(c));
    }
}

void erase(QLineEdit* field)
{
    while (!field->text().isEmpty())
        press(field, Qt::Key_Backspace);
}

// What the settings file holds, read by a reader of its own.
QVariant stored(const char* key)
{
    Settings::standard().sync();
    QSettings file(Settings::standard().fileName(), QSettings::IniFormat);
    return file.value(key);
}

struct Sheet {
    int done = 0;
    WelcomeView view { [this] { ++done; } };
    Sheet()
    {
        clearSettings();
        view.show(); // the default button answers Return only when shown
    }
};

} // namespace

TEST(WelcomeView, SaveWaitsForACallsignAndAReadableLocator)
{
    Sheet s;
    EXPECT_FALSE(s.view.saveButton()->isEnabled());
    EXPECT_TRUE(s.view.locatorMessage()->isHidden());

    type(s.view.callField(), "   ");
    EXPECT_FALSE(s.view.saveButton()->isEnabled()) << "blanks are no callsign";
    type(s.view.callField(), "qz9xyz");
    EXPECT_TRUE(s.view.saveButton()->isEnabled()) << "no locator is fine";

    type(s.view.locatorField(), "KM6");
    EXPECT_FALSE(s.view.locatorMessage()->isHidden());
    EXPECT_EQ(s.view.locatorMessage()->text(), "That is not a valid Maidenhead locator.");
    EXPECT_FALSE(s.view.saveButton()->isEnabled());
    // Return presses nothing while "Save" is disabled.
    press(s.view.locatorField(), Qt::Key_Return);
    EXPECT_EQ(s.done, 0);

    erase(s.view.locatorField());
    type(s.view.locatorField(), "\u00A0km64 ");
    EXPECT_TRUE(s.view.locatorMessage()->isHidden());
    EXPECT_TRUE(s.view.saveButton()->isEnabled());
    EXPECT_TRUE(Settings::standard().allKeys().isEmpty()) << "typing stores nothing";
}

TEST(WelcomeView, SaveStoresTheTrimmedCallAndTheSquaresCentre)
{
    Sheet s;
    type(s.view.callField(), " \tqz9xyz/p ");
    type(s.view.locatorField(), "KM64");
    // Return in a field presses the default button, "Save".
    press(s.view.locatorField(), Qt::Key_Return);
    EXPECT_EQ(s.done, 1);

    const GeoCoordinate centre = *Maidenhead::coordinate(u"KM64");
    EXPECT_EQ(stored("callsign").toString(), "QZ9XYZ/P");
    EXPECT_EQ(stored("homeLatitude").toDouble(), centre.latitude);
    EXPECT_EQ(stored("homeLongitude").toDouble(), centre.longitude);
    EXPECT_FALSE(Settings::standard().contains(SettingKeys::welcomeShown)) << "the presenter's to write";
    EXPECT_EQ(Settings::standard().allKeys().size(), 3) << "the locator itself is not kept";

    // Without a locator only the callsign is written.
    Sheet t;
    type(t.view.callField(), "QZ1AB");
    t.view.saveButton()->click();
    EXPECT_EQ(t.done, 1);
    EXPECT_EQ(Settings::standard().allKeys(), QStringList { "callsign" });
}

TEST(WelcomeView, TheMainWindowOffersItOnceAndTheMapFollows)
{
    clearSettings();
    SpaceWeatherStore spaceWeather;
    MapViewportModel viewport;
    DXClusterClient cluster;
    auto content = std::make_unique<ContentView>(AppStores { &spaceWeather, &viewport, &cluster, nullptr, nullptr });
    content->show();
    ASSERT_TRUE(waitUntil([&] { return content->welcomeSheet() != nullptr; }));
    WelcomeView* sheet = content->welcomeSheet();
    EXPECT_TRUE(content->showWelcome());
    EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(sheet->isVisible());
    EXPECT_EQ(sheet->width(), WelcomeView::sheetWidth);
    // A dialog of the main window that asks the window manager for no
    // minimise or maximise button.
    EXPECT_EQ(sheet->parentWidget(), content->window());
    EXPECT_EQ(sheet->windowType(), Qt::Dialog);
    EXPECT_TRUE(sheet->windowFlags() & Qt::CustomizeWindowHint);
    EXPECT_FALSE(sheet->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    // The locator's message comes and goes; the sheet keeps its size.
    const QSize size = sheet->size();
    type(sheet->locatorField(), "KM6");
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_FALSE(sheet->locatorMessage()->isHidden());
    EXPECT_EQ(sheet->size(), size);
    erase(sheet->locatorField());
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(sheet->size(), size);

    type(sheet->callField(), "qz9xyz");
    type(sheet->locatorField(), "JO62qm");
    sheet->saveButton()->click();
    EXPECT_FALSE(content->showWelcome());
    ASSERT_TRUE(waitUntil([&] { return content->welcomeSheet() == nullptr; }));
    EXPECT_EQ(stored("welcomeShown").toString(), "true");
    const GeoCoordinate home = content->mapView()->options().home;
    EXPECT_EQ(home, *Maidenhead::coordinate(u"JO62qm"));

    // Never again, even with the callsign gone.
    Settings::standard().remove(SettingKeys::callsign);
    content->hide();
    content->show();
    QApplication::processEvents();
    EXPECT_FALSE(content->showWelcome());
    EXPECT_EQ(content->welcomeSheet(), nullptr);

    // "Later", and Escape in a field alike, write only that the sheet was
    // shown.
    for (const bool escape : { false, true }) {
        clearSettings();
        content->hide();
        content->show();
        ASSERT_TRUE(waitUntil([&] { return content->welcomeSheet() != nullptr; }));
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        if (escape)
            QApplication::sendEvent(content->welcomeSheet()->callField(), &press);
        else
            content->welcomeSheet()->laterButton()->click();
        ASSERT_TRUE(waitUntil([&] { return content->welcomeSheet() == nullptr; })) << escape;
        EXPECT_EQ(Settings::standard().allKeys(), QStringList { "welcomeShown" }) << escape;
    }

    // A callsign of blanks counts as entered.
    clearSettings();
    Settings::standard().set(SettingKeys::callsign, "  ");
    content->hide();
    content->show();
    QApplication::processEvents();
    EXPECT_FALSE(content->showWelcome());
    EXPECT_EQ(content->welcomeSheet(), nullptr);
}
