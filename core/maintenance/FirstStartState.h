#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The one-time install report's state: a random installation id, the number
// of launches on which a report was attempted, and whether the maker's site
// has accepted one. Kept as a small JSON file in the support folder so that
// an installation is reported at most once and tried on at most three
// launches. Plain value code; the application makes the request.
struct FirstStartState {
    static constexpr int maxTries = 3;
    // The state file's name in the support folder.
    static constexpr const char* fileName = "first-start.json";

    QString id; // a lower-case UUID with hyphens, made once
    int tries = 0;
    bool sent = false;

    bool operator==(const FirstStartState&) const = default;

    // A new installation: a fresh id, no tries, not sent.
    static FirstStartState fresh();

    // The state in a file's content: a JSON object with a text "id", a whole
    // number "tries" (not negative) and a boolean "sent". Missing bytes or
    // anything else give a fresh state; never fails.
    static FirstStartState load(const std::optional<QByteArray>& bytes);
    // The state in the file at `path`; fresh when it cannot be read.
    static FirstStartState read(const QString& path);

    // True while a report is still to be attempted: fewer than three tries
    // and not yet accepted.
    bool shouldSend() const { return tries < maxTries && !sent; }

    // The state file's content: one compact JSON object.
    QByteArray encoded() const;
    // Writes the state file atomically, creating its folder first; false
    // when it could not be written (the old file then stays as it was).
    bool write(const QString& path) const;

    // The request body: {"app":"linux","id":…,"t":"install","v":version},
    // compact, keys in that order.
    QByteArray body(const QString& version) const;
};
