// The offer is the user's only view of a release; its notes come from the
// web and must stay plain text.
#include "kit/DarkAppearance.h"
#include "maintenance/UpdateDialogs.h"

#include <QApplication>
#include <QScreen>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Clicks the button with `text` in the modal box once it is shown.
void clickWhenShown(const QString& text)
{
    QTimer::singleShot(0, [text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        for (QAbstractButton* button : box->buttons())
            if (button->text() == text)
                button->click();
    });
}

} // namespace

TEST(UpdateDialogs, TheOfferIsDarkShowsNotesAsPlainTextAndSaysWhichButtonWasChosen)
{
    const ReleaseFeed::Release release { "0.9.1", "u", "s", QString("<b>Faster</b> map & <a href='x'>link</a>") };
    QMessageBox* box = UpdateDialogs::offer(release, "0.9.0");
    EXPECT_EQ(box->windowTitle(), "Corvanta");
    EXPECT_EQ(box->text(), "Corvanta 0.9.1 is available");
    EXPECT_EQ(box->informativeText(), "You have version 0.9.0.\n\n<b>Faster</b> map & <a href='x'>link</a>");
    for (QLabel* label : box->findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    EXPECT_EQ(box->palette().color(QPalette::Window), DarkAppearance::palette().color(QPalette::Window));
    EXPECT_EQ(box->defaultButton()->text(), "Update now");
    EXPECT_EQ(box->escapeButton()->text(), "Later");
    clickWhenShown("Later");
    EXPECT_FALSE(UpdateDialogs::run(box));

    box = UpdateDialogs::offer({ "0.9.1", "u", "s", QString("") }, "0.9.0");
    EXPECT_EQ(box->informativeText(), "You have version 0.9.0.");
    clickWhenShown("Update now");
    EXPECT_TRUE(UpdateDialogs::run(box));

    // Notes longer than the screen, in lines or in one line that wraps: the
    // box stays on the screen, its buttons reachable, the whole notes behind
    // its details.
    const int free = QGuiApplication::primaryScreen()->availableGeometry().height();
    for (const QString& notes : { QString("A fix.\n").repeated(400), QString("word ").repeated(20000) }) {
        box = UpdateDialogs::offer({ "0.9.1", "u", "s", notes }, "0.9.0");
        box->show();
        EXPECT_LE(box->frameGeometry().height(), free);
        EXPECT_TRUE(box->informativeText().endsWith("\n…"));
        EXPECT_EQ(box->detailedText(), "You have version 0.9.0.\n\n" + notes);
        for (QLabel* label : box->findChildren<QLabel*>())
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
        clickWhenShown("Update now");
        EXPECT_TRUE(UpdateDialogs::run(box));
    }
}
