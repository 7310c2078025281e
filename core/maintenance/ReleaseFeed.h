#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <expected>
#include <optional>

// A failure of the self-update: the message is what the user reads in the
// alert and what the log line carries.
struct UpdateError {
    QString message;
    QString logged = {}; // for the log where it says more: with the library's detail

    bool operator==(const UpdateError&) const = default;
};

// The maker's release feed and the rules on where the self-update may read
// and download from.
namespace ReleaseFeed {

// The feed document: {"version", "url", "sha256", optional "notes"}.
struct Release {
    QString version; // dotted numbers, compared by isNewerVersion
    QString url;     // the update archive (a zip file)
    QString sha256;  // of the archive, hexadecimal in either case
    std::optional<QString> notes;

    bool operator==(const Release&) const = default;
};

// https://<maker host>/corvanta/download/linux/latest.json
QUrl builtInFeed();

// The feed to read: the "updateFeedURL" override when it parses with the
// scheme http and the host 127.0.0.1 (any port and path), the built-in
// feed otherwise. An override that breaks the rule is ignored silently.
QUrl effectiveFeed(const QString& overrideText);

// Reads a feed body. Keys are matched exactly and others ignored; the three
// required members must be text, "notes" text or null or absent. Anything
// else fails with a message that says what was wrong.
std::expected<Release, UpdateError> decode(const QByteArray& body);

// Whether an update archive may be fetched from `url`: https on the maker's
// host, or http on 127.0.0.1 while `feed` (the effective feed) is the local
// override rather than the built-in feed.
bool isAllowedArchiveAddress(const QUrl& url, const QUrl& feed);

// The version as it goes into a file name: every character other than
// letters, digits, ".", "-", "+" and "_" becomes "_", so a feed cannot
// steer the name into another folder.
QString fileNameVersion(const QString& version);

} // namespace ReleaseFeed
