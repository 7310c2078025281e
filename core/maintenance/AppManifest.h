#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The manifest "corvanta.json" at the root of an installed application
// folder, written last by `cmake --install`:
//
//   {"id": "org.corvanta.Corvanta", "version": "0.9.0",
//    "installed": ["bin/CorvantaCore/", "bin/ITU/", "bin/Resources/", "bin/corvanta", "corvanta.json"]}
//
// It tells the self-update that the program runs from a folder it may
// replace, and what in that folder is the application's; and it lets the
// updater check that an unpacked update is this application at the
// announced version.
struct AppManifest {
    QString id;
    QString version;
    // What the install put into the folder, relative to it: a file by its
    // path, a folder that is the application's as a whole by its path and
    // "/". Entries that would reach outside the folder are dropped.
    QStringList installed;

    bool operator==(const AppManifest&) const = default;

    static constexpr const char* fileName = "corvanta.json";

    // The application's own id, fixed when it is built.
    static QString appId();

    // What the installs before the list was written put there; a manifest
    // without "installed" stands for these.
    static QStringList legacyInstalled();

    // The manifest in `folder`; none when the file is missing, unreadable,
    // not a JSON object, its "id" or "version" is not text, or "installed"
    // is there but not a list of texts.
    static std::optional<AppManifest> read(const QString& folder);

    // The application folder that holds a program living in `programDir`
    // (the folder of bin/corvanta): its parent, when that holds a manifest
    // with this application's id. Empty otherwise (a build tree, say).
    static QString installFolder(const QString& programDir);

    // What `folder` holds beyond the installed entries: anything in the
    // folder itself, or in a folder on the way to an installed entry, that
    // the list does not name. Folders named as a whole are not looked into
    // (the user's P.533 engine lives in one); such a folder may also be a
    // link. Paths relative to `folder`, a folder's ending in "/", sorted.
    // Empty when the folder is the application's alone.
    QStringList foreignEntries(const QString& folder) const;
};
