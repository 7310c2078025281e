// Every tab of the settings window at every width: nothing cut off, nothing
// to scroll sideways.
#include "rotator/RotatorConfig.h"
#include "settings/SettingsColumns.h"
#include "settings/SettingsView.h"
#include "shell/CorvantaApp.h"
#include "support/Settings.h"
#include "support/SettingsTabs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionComboBox>
#include <QTabWidget>
#include <gtest/gtest.h>

namespace {

QString nameOf(const QWidget* widget)
{
    QString text;
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        text = label->text();
    else if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        text = button->text();
    else if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        text = combo->currentText();
    else if (const auto* field = qobject_cast<const QLineEdit*>(widget))
        text = field->text();
    return QString::fromLatin1(widget->metaObject()->className()) + " \"" + text.left(40) + '"';
}

// The width a picker needs to show its current row whole.
int comboNeeds(const QComboBox* combo)
{
    QStyleOptionComboBox option;
    option.initFrom(combo);
    const QSize text(combo->fontMetrics().horizontalAdvance(combo->currentText()), combo->fontMetrics().height());
    return combo->style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, combo).width();
}

// What is cut off on a page: a widget outside its parent or smaller than
// the least it needs, a text that does not fit its control, a sideways
// scroll bar.
QStringList clipped(QWidget* page)
{
    QStringList found;
    auto* area = page->findChild<SettingsColumns*>()->findChild<QScrollArea*>();
    if (area->horizontalScrollBar()->isVisible() || area->widget()->width() > area->viewport()->width())
        found << "a horizontal scroll bar";
    for (QWidget* w : area->widget()->findChildren<QWidget*>()) {
        if (!w->isVisible())
            continue;
        // The inside of a scrolling text (the node's lines) scrolls.
        bool inner = false;
        for (QWidget* up = w->parentWidget(); up != area->widget(); up = up->parentWidget())
            inner = inner || qobject_cast<QAbstractScrollArea*>(up);
        if (inner)
            continue;
        const QString what = nameOf(w);
        if (!w->parentWidget()->rect().contains(w->geometry()))
            found << what + " sticks out of its parent";
        // A size the code fixed (the offset's small arrow buttons) is meant.
        const QSize least = w->minimumSizeHint();
        if (least.isValid() && w->minimumSize() != w->maximumSize()
            && (w->width() < least.width() || w->height() < least.height()))
            found << what + " is smaller than it can be";
        if (w->hasHeightForWidth() && w->height() < w->heightForWidth(w->width()))
            found << what + " is cut off below";
        if (const auto* label = qobject_cast<QLabel*>(w);
            label && !label->wordWrap() && label->width() < label->sizeHint().width())
            found << what + " is cut off";
        if (const auto* button = qobject_cast<QAbstractButton*>(w); button && !button->text().isEmpty()
            && !w->hasHeightForWidth() && button->width() < button->sizeHint().width())
            found << what + " is cut off";
        if (const auto* combo = qobject_cast<QComboBox*>(w); combo && combo->width() < comboNeeds(combo))
            found << what + " is cut off";
        if (const auto* field = qobject_cast<QLineEdit*>(w)) {
            const int room = field->width() - 2 * field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) - 4;
            if (room < field->fontMetrics().horizontalAdvance(field->text()))
                found << what + " is cut off";
        }
    }
    return found;
}

} // namespace

TEST(SettingsLayout, EveryTabFitsAtEveryWidth)
{
    SettingsTabs::clearSettings();
    // The Rotators tab with every section: a serial rotator without a port.
    RotatorConfig mast;
    mast.name = "Layout Mast";
    RotatorConfig::save(Settings::standard(), { mast });
    CorvantaApp app;
    QWidget* window = app.showSettings();
    auto* view = window->findChild<SettingsView*>();
    if (qEnvironmentVariable("QT_SCALE_FACTOR") == "2") {
        EXPECT_EQ(window->devicePixelRatio(), 2);
    }
    for (const int width : { 600, 900, 1100, 1300, 1600 }) {
        window->resize(width, 800);
        for (int tab = 0; tab < view->tabs()->count(); ++tab) {
            view->tabs()->setCurrentIndex(tab);
            for (int turn = 0; turn < 6; ++turn) // layouts settle a level per turn
                QApplication::processEvents();
            const QStringList found = clipped(view->tabs()->currentWidget());
            EXPECT_TRUE(found.isEmpty()) << width << " px, " << view->tabs()->tabText(tab).toStdString() << " at "
                                         << window->devicePixelRatio() << "×: " << found.join("; ").toStdString();
        }
    }
    window->close();
}

TEST(SettingsLayout, EveryTabFitsAtEveryWidthAtTwiceThePixels)
{
    if (qEnvironmentVariable("QT_SCALE_FACTOR") == "2")
        GTEST_SKIP() << "this process is the one at 2×";
    // The scale is fixed when the application starts: a process of its own.
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_SCALE_FACTOR", "2");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(), { "--gtest_filter=SettingsLayout.EveryTabFitsAtEveryWidth" });
    ASSERT_TRUE(child.waitForFinished(120000));
    const QString output = QString::fromUtf8(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}
