// The problem-report form driven as the user drives it, sending to a local
// peer that stands in for the maker's web site.
#include "maintenance/ReportProblemView.h"

#include "kit/AppLog.h"
#include "kit/DarkAppearance.h"
#include "maintenance/Updater.h"
#include "shell/CorvantaApp.h"
#include "support/HttpPeer.h"
#include "support/WaitUntil.h"

#include <QAction>
#include <QCheckBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const QByteArray path = "/corvanta-report.php";

struct Form {
    explicit Form(ReportProblemView& view)
        : message(view.findChild<QPlainTextEdit*>("message"))
        , email(view.findChild<QLineEdit*>("email"))
        , includeLog(view.findChild<QCheckBox*>("includeLog"))
        , preview(view.findChild<QPlainTextEdit*>("logPreview"))
        , send(view.findChild<QPushButton*>("send"))
        , progress(view.findChild<QProgressBar*>("progress"))
        , result(view.findChild<QLabel*>("result"))
    {
    }
    QPlainTextEdit* message;
    QLineEdit* email;
    QCheckBox* includeLog;
    QPlainTextEdit* preview;
    QPushButton* send;
    QProgressBar* progress;
    QLabel* result;
};

bool isRed(const QLabel* label)
{
    const QColor c = label->palette().color(QPalette::WindowText);
    return c.red() > 200 && c.green() < 120;
}

bool isGreen(const QLabel* label)
{
    const QColor c = label->palette().color(QPalette::WindowText);
    return c.green() > 180 && c.red() < 120;
}

HttpPeer::Response answer(int status, const QByteArray& body, const QByteArray& type = "application/json")
{
    HttpPeer::Response response;
    response.status = status;
    response.body = body;
    response.contentType = type;
    return response;
}

QString logTail() { return AppLog::file().tail(20, 100000); }

class ReportProblemViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(peer.listen());
        setenv("CORVANTA_MAKER_BASE", peer.base().toUtf8().constData(), 1);
    }
    void TearDown() override { unsetenv("CORVANTA_MAKER_BASE"); }

    HttpPeer peer;
};

} // namespace

TEST_F(ReportProblemViewTest, AcceptedReportShowsTheGreenNumberAndCarriesTheLogTail)
{
    AppLog::file().write("Cluster: connected before the report");
    ReportProblemView view;
    view.show();
    Form form(view);
    ASSERT_TRUE(form.message && form.email && form.includeLog && form.preview && form.send && form.progress
                && form.result);
    EXPECT_TRUE(form.preview->toPlainText().contains("Cluster: connected before the report"));
    EXPECT_TRUE(form.includeLog->isChecked());

    // Blanks and line breaks are no message; the address plays no part.
    form.email->setText("  op@example.org \n");
    form.message->setPlainText(" \n\t ");
    EXPECT_FALSE(form.send->isEnabled());
    form.message->setPlainText("  The map froze\nafter zooming in.\n");
    EXPECT_TRUE(form.send->isEnabled());

    // The report reads the log anew, not the preview.
    AppLog::file().write("Map: zoom 8");
    peer.serve(path, 200, R"({"ok":true,"id":"A-77"})");
    form.send->click();
    EXPECT_TRUE(view.isSending());
    EXPECT_FALSE(form.send->isEnabled());
    EXPECT_TRUE(form.progress->isVisible());
    EXPECT_FALSE(form.result->isVisible());
    view.send(); // a second report can't start while the first is on its way

    ASSERT_TRUE(waitUntil([&] { return !view.isSending(); }));
    ASSERT_EQ(peer.requests().size(), 1);
    const HttpPeer::Request request = peer.requests().front();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.path, path);
    EXPECT_EQ(request.headers.value("content-type"), "application/json");
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    EXPECT_EQ(body["message"].toString(), "  The map froze\nafter zooming in.\n");
    EXPECT_EQ(body["email"].toString(), "op@example.org");
    EXPECT_EQ(body["version"].toString(), Updater::currentVersion());
    EXPECT_EQ(body["system"].toString(), AppLog::systemDescription());
    const QString log = body["log"].toString();
    EXPECT_TRUE(log.contains("Cluster: connected before the report")) << log.toStdString();
    EXPECT_TRUE(log.contains("Map: zoom 8")) << log.toStdString();
    EXPECT_TRUE(log.endsWith('\n'));

    EXPECT_EQ(form.result->text(), "Thank you! The report was sent (number A-77).");
    EXPECT_TRUE(form.result->isVisible());
    EXPECT_TRUE(isGreen(form.result));
    EXPECT_FALSE(form.progress->isVisible());
    EXPECT_TRUE(form.message->toPlainText().isEmpty());
    EXPECT_EQ(form.email->text(), "  op@example.org \n");
    EXPECT_FALSE(form.send->isEnabled());
    EXPECT_TRUE(logTail().contains("Problem report sent (A-77)\n"));
}

TEST_F(ReportProblemViewTest, RefusalsAndLostAnswersShowARedLineAndKeepTheMessage)
{
    HttpPeer::Response stall;
    stall.stall = true;
    HttpPeer::Response hangUp;
    hangUp.hangUp = true;
    const char* offline = "Could not reach the web site. Please check your internet connection and try again.";
    const struct {
        HttpPeer::Response answer;
        QString shown;
        QString logged; // the start of the log line
    } cases[] = {
        { answer(200, R"({"ok":false,"error":"<b>Message</b> too short"})"),
          "The report was not accepted: <b>Message</b> too short.",
          "Problem report refused: <b>Message</b> too short" },
        { answer(500, "<html><body><h1>Internal Server Error</h1></body></html>", "text/html"),
          "The report was not accepted: the web site answered HTTP 500.",
          "Problem report refused: the web site answered HTTP 500" },
        { answer(503, ""), "The report was not accepted: the web site answered HTTP 503.",
          "Problem report refused: the web site answered HTTP 503" },
        { answer(200, "Thanks! Report #12 stored.", "text/plain"),
          "The report was not accepted: the web site answered HTTP 200.",
          "Problem report refused: the web site answered HTTP 200" },
        { stall, offline, "Problem report failed: No answer from 127.0.0.1 within 300 ms." },
        { hangUp, offline, "Problem report failed: " },
    };

    ReportProblemView view;
    view.show();
    Form form(view);
    // Without the log the box goes and the report carries none.
    form.includeLog->setChecked(false);
    EXPECT_FALSE(form.preview->isVisible());

    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown.toStdString());
        peer.clearRequests();
        peer.serve(path, c.answer);
        // Short only where the wait is the point, so that a slow machine does not cut a good answer off.
        view.setTimeout(c.answer.stall ? 300 : 20000);
        form.message->setPlainText("Spots vanish");
        form.send->click();
        ASSERT_TRUE(waitUntil([&] { return !view.isSending(); }));
        // Sent exactly once, even when the connection drops before any answer.
        ASSERT_EQ(peer.count(path), 1);
        EXPECT_EQ(QJsonDocument::fromJson(peer.requests().front().body).object()["log"].toString(), "");

        EXPECT_EQ(form.result->text(), c.shown);
        EXPECT_EQ(form.result->textFormat(), Qt::PlainText);
        EXPECT_TRUE(isRed(form.result));
        EXPECT_EQ(form.message->toPlainText(), "Spots vanish");
        EXPECT_TRUE(form.send->isEnabled());
        EXPECT_TRUE(logTail().contains(c.logged)) << logTail().toStdString();
    }

    // A redirect off the site is not followed.
    HttpPeer elsewhere;
    ASSERT_TRUE(elsewhere.listen());
    HttpPeer::Response moved;
    moved.status = 307;
    moved.headers = { { "Location", QString("http://localhost:%1/x").arg(elsewhere.port()).toUtf8() } };
    peer.serve(path, moved);
    form.send->click();
    ASSERT_TRUE(waitUntil([&] { return !view.isSending(); }));
    EXPECT_EQ(form.result->text(), offline);
    EXPECT_TRUE(logTail().contains(QString("Problem report failed: The server sent the request on to "
                                           "http://localhost:%1, which is not allowed.")
                                       .arg(elsewhere.port())))
        << logTail().toStdString();
    EXPECT_TRUE(elsewhere.requests().isEmpty());

    // A site that answers with a book: a few lines in the window, all of it in the log.
    QString book;
    for (int i = 0; book.size() < 200000; ++i)
        book += QString("Error %1 in module ").arg(i) + QString(i % 50 == 0 ? 300 : 3, 'x') + ' ';
    peer.serve(path, answer(400, QJsonDocument(QJsonObject { { "ok", false }, { "error", book } }).toJson()));
    const int height = view.sizeHint().height();
    form.send->click();
    ASSERT_TRUE(waitUntil([&] { return !view.isSending(); }));
    const QString shown = form.result->text();
    EXPECT_TRUE(shown.startsWith("The report was not accepted: Error 0 in module\nxxx")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QChar(0x2026))) << shown.toStdString();
    EXPECT_LE(shown.count('\n'), 3);
    EXPECT_LT(view.sizeHint().height(), height + 6 * form.result->fontMetrics().lineSpacing());
    EXPECT_TRUE(AppLog::file().tail(2, 400000).contains("Problem report refused: " + book));
}

TEST(ReportProblemWindow, HelpMenuOpensTheDarkForm)
{
    CorvantaApp app;
    app.reportAction()->trigger();
    QWidget* window = app.showReport();
    EXPECT_EQ(window->windowTitle(), "Report a Problem");
    auto* view = window->findChild<ReportProblemView*>();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(window->palette().color(QPalette::Window), DarkAppearance::palette().color(QPalette::Window));
    EXPECT_EQ(view->palette().color(QPalette::Window), DarkAppearance::palette().color(QPalette::Window));
    // The window follows the form: narrower without the log box.
    const int withLog = window->height();
    view->findChild<QCheckBox*>("includeLog")->setChecked(false);
    EXPECT_TRUE(waitUntil([&] { return window->height() < withLog; }));
    window->close();
}
