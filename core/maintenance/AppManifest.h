#pragma once

#include <QString>

#include <optional>

// The manifest "corvanta.json" at the root of an installed application
// folder: {"id": "org.corvanta.Corvanta", "version": "0.9.0"}, written when
// the folder is made by `cmake --install`. It tells the self-update that the
// program runs from a folder it may replace, and lets it check that an
// unpacked update is this application at the announced version.
struct AppManifest {
    QString id;
    QString version;

    bool operator==(const AppManifest&) const = default;

    static constexpr const char* fileName = "corvanta.json";

    // The application's own id, fixed when it is built.
    static QString appId();

    // The manifest in `folder`; none when the file is missing, unreadable,
    // not a JSON object, or its "id" or "version" is not text.
    static std::optional<AppManifest> read(const QString& folder);

    // The application folder that holds a program living in `programDir`
    // (the folder of bin/corvanta): its parent, when that holds a manifest
    // with this application's id. Empty otherwise (a build tree, say).
    static QString installFolder(const QString& programDir);
};
