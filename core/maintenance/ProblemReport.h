#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

// A problem report the user sends to the maker's web site: what they typed,
// the application's version, one line about the machine and, unless they
// opted out, the tail of the application log. Plain value code: building the
// request body and reading the site's answer; the window makes the request.
struct ProblemReport {
    QString version; // the application's short version text
    QString system;  // one line about the machine
    QString email;   // the reply address as typed; may be empty, not checked
    QString message; // the user's description as typed
    QString log;     // the log's tail, or empty when the user left it out

    bool operator==(const ProblemReport&) const = default;

    // What the site made of a report.
    struct Outcome {
        enum class Kind { sent, refused };
        Kind kind = Kind::refused;
        // The report number the site gave (any text, also empty) when sent;
        // the text to show the user when refused.
        QString text;

        static Outcome sent(const QString& id) { return { Kind::sent, id }; }
        static Outcome refused(const QString& reason) { return { Kind::refused, reason }; }
        bool isSent() const { return kind == Kind::sent; }
        bool operator==(const Outcome&) const = default;
    };

    // The endpoint: "/corvanta-report.php" on the maker's web site.
    static QUrl url();

    // The request body: one compact JSON object (UTF-8) with the string
    // members "app", "version", "system", "email", "message" and "log", all
    // always present. The e-mail loses surrounding white space; every other
    // text goes as it is.
    QByteArray jsonData() const;

    // Reads the site's answer. Only status 200 with "ok": true and a string
    // "id" counts as sent; otherwise a non-empty string "error" is the reason
    // as it stands, or "the web site answered HTTP " + status when there is
    // none. A body that is not a JSON object reads as an empty object.
    static Outcome outcome(int status, const QByteArray& body);
};
