// The offer and the alerts are the user's only view of the self-update;
// release notes come from the web and must stay plain text.
#include "support/UpdateDialogs.h"
#include "shell/DarkAppearance.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QStringList labelTexts(QMessageBox* box)
{
    QStringList texts;
    for (QLabel* label : box->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            texts << label->text();
    return texts;
}

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

TEST(UpdateDialogs, TheOfferNamesBothVersionsAndShowsNotesAsPlainText)
{
    const ReleaseFeed::Release release { "0.9.1", "https://x/a.zip", "00",
                                         QString("<b>Faster</b> map & <a href='x'>link</a>") };
    QMessageBox* box = UpdateDialogs::offer(release, "0.9.0");
    EXPECT_EQ(box->windowTitle(), "Corvanta");
    EXPECT_EQ(box->text(), "Corvanta 0.9.1 is available");
    EXPECT_EQ(box->informativeText(), "You have version 0.9.0.\n\n<b>Faster</b> map & <a href='x'>link</a>");
    EXPECT_EQ(labelTexts(box).size(), 2);
    for (QLabel* label : box->findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
    EXPECT_EQ(box->palette().color(QPalette::Window), DarkAppearance::palette().color(QPalette::Window));
    ASSERT_EQ(box->buttons().size(), 2);
    EXPECT_EQ(box->defaultButton()->text(), "Update now");
    EXPECT_EQ(box->escapeButton()->text(), "Later");
    delete box;

    box = UpdateDialogs::offer({ "0.9.1", "u", "s", QString("") }, "0.9.0");
    EXPECT_EQ(box->informativeText(), "You have version 0.9.0.");
    delete box;
}

TEST(UpdateDialogs, RunningABoxSaysWhetherItsDefaultButtonWasChosen)
{
    const ReleaseFeed::Release release { "0.9.1", "u", "s", std::nullopt };
    clickWhenShown("Later");
    EXPECT_FALSE(UpdateDialogs::run(UpdateDialogs::offer(release, "0.9.0")));
    clickWhenShown("Update now");
    EXPECT_TRUE(UpdateDialogs::run(UpdateDialogs::offer(release, "0.9.0")));

    QMessageBox* alert = UpdateDialogs::alert("Corvanta is up to date", "You have version 0.9.0, the latest.");
    EXPECT_EQ(alert->text(), "Corvanta is up to date");
    EXPECT_EQ(alert->informativeText(), "You have version 0.9.0, the latest.");
    ASSERT_EQ(alert->buttons().size(), 1);
    clickWhenShown(alert->buttons()[0]->text());
    EXPECT_TRUE(UpdateDialogs::run(alert));
}
