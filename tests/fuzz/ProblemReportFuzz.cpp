// The maker's answer to a problem report, and the request body carrying
// what the user typed. The first bytes give the HTTP status.

#include "FuzzSupport.h"

#include "maintenance/ProblemReport.h"

#include <QJsonDocument>
#include <QJsonObject>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Fuzz::Input input(data, size);
    const int status = input.integer(0, 999);
    const QByteArray body = input.rest();

    const ProblemReport::Outcome outcome = ProblemReport::outcome(status, body);
    FUZZ_CHECK(!outcome.isSent() || status == 200);
    FUZZ_CHECK(outcome.isSent() || !outcome.text.isEmpty());
    const QJsonObject answer = QJsonDocument::fromJson(body).object();
    if (!outcome.isSent() && !answer.value(QStringLiteral("error")).isString())
        FUZZ_CHECK(outcome.text == QStringLiteral("the web site answered HTTP ") + QString::number(status));

    // Whatever was typed, the body is one JSON object that carries it.
    const QStringList typed = Fuzz::text(body).split(QChar(0));
    const ProblemReport report { typed.value(0), typed.value(1), typed.value(2), typed.value(3), typed.value(4) };
    const QByteArray json = report.jsonData();
    FUZZ_CHECK(!json.contains('\n'));
    const QJsonObject sent = QJsonDocument::fromJson(json).object();
    FUZZ_CHECK(sent.size() == 6 && sent.value(QStringLiteral("app")) == QStringLiteral("linux"));
    FUZZ_CHECK(sent.value(QStringLiteral("version")).toString() == report.version);
    FUZZ_CHECK(sent.value(QStringLiteral("system")).toString() == report.system);
    FUZZ_CHECK(sent.value(QStringLiteral("email")).toString() == report.email.trimmed());
    FUZZ_CHECK(sent.value(QStringLiteral("message")).toString() == report.message);
    FUZZ_CHECK(sent.value(QStringLiteral("log")).toString() == report.log);
    return 0;
}
