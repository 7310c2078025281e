#include "maintenance/ProblemReport.h"

#include "support/Endpoints.h"

#include <QJsonDocument>
#include <QJsonObject>

QUrl ProblemReport::url()
{
    // Built on each call: the host is fixed when the program is built, and
    // only the loopback override of a test can change between two calls.
    return QUrl(Endpoints::makerBase() + QStringLiteral("/corvanta-report.php"));
}

QByteArray ProblemReport::jsonData() const
{
    const QJsonObject body {
        { QStringLiteral("app"), QStringLiteral("linux") },
          { QStringLiteral("version"), version },
            { QStringLiteral("system"), system },
              { QStringLiteral("email"), email.trimmed() },
                { QStringLiteral("message"), message },
                  { QStringLiteral("log"), log },
                };
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

ProblemReport::Outcome ProblemReport::outcome(int status, const QByteArray& body)
{
    // A body that is no JSON object (an HTML error page, an array) is read
    // as an object without members.
    const QJsonObject answer = QJsonDocument::fromJson(body).object();

    const QJsonValue ok = answer.value(QStringLiteral("ok"));
    const QJsonValue id = answer.value(QStringLiteral("id"));
    if (status == 200 && ok.isBool() && ok.toBool() && id.isString())
        return Outcome::sent(id.toString());

    const QJsonValue error = answer.value(QStringLiteral("error"));
    if (error.isString() && !error.toString().isEmpty())
        return Outcome::refused(error.toString());

    return Outcome::refused(QStringLiteral("the web site answered HTTP ") + QString::number(status));
}
