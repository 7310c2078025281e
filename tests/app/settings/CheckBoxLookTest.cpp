// A check box in the settings window shows its box on the dark palette,
// checked or not.
#include "settings/SettingsView.h"
#include "shell/CorvantaApp.h"
#include "support/SettingsTabs.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QStyleOptionButton>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

// How much lighter than the panel behind it the edge of the box is drawn,
// on average (0 to 255).
double frameContrast(QCheckBox* box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    const QImage image = box->grab().toImage();
    const double ratio = image.devicePixelRatio();
    const auto lightness = [&](int x, int y) { return image.pixelColor(int(x * ratio), int(y * ratio)).lightness(); };
    const int panel = lightness(box->width() - 1, 0);
    double sum = 0;
    int count = 0;
    for (int x = indicator.left(); x <= indicator.right(); ++x)
        for (const int y : { indicator.top(), indicator.bottom() }) {
            sum += lightness(x, y) - panel;
            ++count;
        }
    for (int y = indicator.top() + 1; y < indicator.bottom(); ++y)
        for (const int x : { indicator.left(), indicator.right() }) {
            sum += lightness(x, y) - panel;
            ++count;
        }
    return sum / count;
}

} // namespace

TEST(CheckBoxLook, TheBoxHasAVisibleFrameCheckedOrNot)
{
    SettingsTabs::clearSettings();
    CorvantaApp app;
    QWidget* window = app.showSettings();
    auto* view = window->findChild<SettingsView*>();
    view->showTab(SettingsView::Tab::labels);
    QApplication::processEvents();
    QWidget* clocks = SettingsTabs::section(*view->page(SettingsView::Tab::labels), "Clocks");
    QCheckBox* bold = SettingsTabs::checkBox(clocks, "Bold");
    QCheckBox* seconds = SettingsTabs::checkBox(clocks, "Show seconds");
    ASSERT_TRUE(bold && seconds);
    ASSERT_FALSE(bold->isChecked());
    ASSERT_TRUE(seconds->isChecked());
    EXPECT_GT(frameContrast(bold), 50);
    EXPECT_GT(frameContrast(seconds), 50);
    window->close();
}
