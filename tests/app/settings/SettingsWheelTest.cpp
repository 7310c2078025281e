// The mouse wheel over the settings window scrolls it and changes nothing,
// until the user clicks or tabs into a control.
#include "rotator/RotatorManager.h"
#include "settings/SettingsColumns.h"
#include "settings/SettingsView.h"
#include "shell/CorvantaApp.h"
#include "support/FakeRotatorController.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"
#include "support/SettingsTabs.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QWheelEvent>
#include <QWindow>
#include <gtest/gtest.h>

using namespace SettingsTabs;

namespace {

// One notch of the wheel at a point of the window, handed to the window as
// the windowing system hands it: the window finds the widget under it.
void notch(QWidget* window, QPoint at, int direction)
{
    QWheelEvent wheel(at, window->mapToGlobal(at), QPoint(), QPoint(0, 120 * direction), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(window->windowHandle(), &wheel);
}

QByteArray settingsFile()
{
    Settings::standard().sync();
    QFile file(Settings::standard().fileName());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(SettingsWheel, ScrollingEveryTabChangesNoSettingAndRestartsNoRotator)
{
    clearSettings();
    FakeRotatorController controller(FakeRotatorController::Dialect::GS232B);
    RotatorConfig mast;
    mast.name = "Wheel Mast";
    mast.port = controller.portPath();
    RotatorConfig::save(Settings::standard(), { mast });

    CorvantaApp app;
    RotatorManager* rotors = app.stores().rotors;
    ASSERT_TRUE(waitUntil([&] { return rotors->status(mast.id) && rotors->status(mast.id)->connected; }));
    int restarts = 0;
    QObject::connect(rotors, &RotatorManager::rotatorsChanged, [&] { ++restarts; });
    QWidget* window = app.showSettings();
    window->resize(900, 560); // short, so that most tabs scroll
    auto* view = window->findChild<SettingsView*>();
    QApplication::processEvents();

    const QByteArray before = settingsFile();
    KeyLog written;
    // A field the user clicked: switching tabs hands its focus on to the
    // first control of the next page, which the user did not choose.
    control<QLineEdit>(view->page(SettingsView::Tab::station), "Callsign")->setFocus(Qt::MouseFocusReason);

    for (int tab = 0; tab < view->tabs()->count(); ++tab) {
        view->tabs()->setCurrentIndex(tab);
        QApplication::processEvents();
        QWidget* page = view->tabs()->currentWidget();
        QScrollBar* bar = page->findChild<SettingsColumns*>()->findChild<QScrollArea*>()->verticalScrollBar();
        const QRect area(page->mapTo(window, QPoint(0, 0)), page->size());
        bool scrolled = false;
        for (const int direction : { -1, 1 }) {
            for (int y = area.top() + 4; y < area.bottom(); y += 9) {
                for (int x = area.left() + 4; x < area.right(); x += 23) {
                    const int was = bar->value();
                    notch(window, QPoint(x, y), direction);
                    scrolled = scrolled || bar->value() != was;
                }
            }
        }
        if (bar->maximum() > 0) {
            EXPECT_TRUE(scrolled) << view->tabs()->tabText(tab).toStdString();
        }
    }
    QStringList changed = written.keys;
    changed.removeDuplicates();
    EXPECT_EQ(changed.join(", ").toStdString(), "");
    EXPECT_TRUE(settingsFile() == before);
    EXPECT_EQ(restarts, 0);
    EXPECT_TRUE(rotors->rotators() == QList<RotatorConfig> { mast });

    // A picker the user tabbed into takes the wheel.
    view->showTab(SettingsView::Tab::station);
    auto* power = control<QComboBox>(view->page(SettingsView::Tab::station), "Power");
    power->setFocus(Qt::TabFocusReason);
    notch(window, power->mapTo(window, power->rect().center()), -1);
    EXPECT_EQ(power->currentText(), "200 W");
    EXPECT_EQ(written.keys.join(", ").toStdString(), "stationPowerW");
    window->close();
}
