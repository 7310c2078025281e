#include "maintenance/ProblemReport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

static void PrintTo(const ProblemReport::Outcome& o, std::ostream* out)
{
    *out << (o.isSent() ? "sent(" : "refused(") << o.text.toStdString() << ")";
}

TEST(ProblemReport, OnlyAnAcceptanceWithATextNumberCountsAsSent)
{
    using Outcome = ProblemReport::Outcome;
    const struct {
        int status;
        const char* body;
        Outcome expected;
    } cases[] = {
        { 200, R"({"ok":true,"id":"1234"})", Outcome::sent("1234") },
        { 200, R"({"ok":true,"id":""})", Outcome::sent("") },
        // The error member is read only when the report doesn't count as sent.
        { 200, R"({"ok":true,"id":"7","error":"ignored"})", Outcome::sent("7") },
        { 200, R"({"ok":true,"id":1234})", Outcome::refused("the web site answered HTTP 200") },
        { 200, R"({"ok":1,"id":"1"})", Outcome::refused("the web site answered HTTP 200") },
        { 201, R"({"ok":true,"id":"5"})", Outcome::refused("the web site answered HTTP 201") },
        { 200, R"({"ok":false,"error":"Message too short"})", Outcome::refused("Message too short") },
        // The site's text as it stands: blanks count, markup is just text.
        { 422, R"({"error":"  "})", Outcome::refused("  ") },
        { 403, R"({"error":"<b>banned</b>"})", Outcome::refused("<b>banned</b>") },
        { 400, R"({"error":""})", Outcome::refused("the web site answered HTTP 400") },
        { 200, R"([{"ok":true,"id":"1"}])", Outcome::refused("the web site answered HTTP 200") },
        { 0, "", Outcome::refused("the web site answered HTTP 0") },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProblemReport::outcome(c.status, c.body), c.expected) << c.status << " " << c.body;
}

TEST(ProblemReport, BodyCarriesAllSixMembersAndTrimsOnlyTheAddress)
{
    const ProblemReport report { "0.9.0", "Linux Debian 12, PC x86_64, 16 GB RAM", " \n op@example.org\t\n",
                                 "  Map froze.\nAfter zoom.  \n", "2024-03-01T12:00:00Z line \"quoted\"\n" };
    const QByteArray body = report.jsonData();
    EXPECT_FALSE(body.contains('\n')) << "compact, one line";
    const QJsonObject json = QJsonDocument::fromJson(body).object();
    EXPECT_EQ(json.size(), 6);
    EXPECT_EQ(json["app"].toString(), "linux");
    EXPECT_EQ(json["version"].toString(), report.version);
    EXPECT_EQ(json["system"].toString(), report.system);
    EXPECT_EQ(json["email"].toString(), "op@example.org");
    EXPECT_EQ(json["message"].toString(), report.message);
    EXPECT_EQ(json["log"].toString(), report.log);

    const QJsonObject empty = QJsonDocument::fromJson(ProblemReport {}.jsonData()).object();
    EXPECT_EQ(empty.size(), 6);
    for (const char* key : { "version", "system", "email", "message", "log" })
        EXPECT_TRUE(empty[key].isString() && empty[key].toString().isEmpty()) << key;
}
