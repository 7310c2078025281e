#include "maintenance/AppManifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#ifndef CORVANTA_APP_ID
#define CORVANTA_APP_ID "org.corvanta.Corvanta"
#endif

namespace {

// A relative path of plain names below the folder: no "." or ".." part, no
// empty part except the one after a folder's trailing "/".
bool isPlainEntry(const QString& entry)
{
    const QString path = entry.endsWith(u'/') ? entry.chopped(1) : entry;
    if (path.isEmpty())
        return false;
    const QStringList parts = path.split(u'/');
    return std::none_of(parts.cbegin(), parts.cend(), [](const QString& part) {
        return part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..");
    });
}

} // namespace

QString AppManifest::appId() { return QStringLiteral(CORVANTA_APP_ID); }

QStringList AppManifest::legacyInstalled()
{
    return { QStringLiteral("bin/CorvantaCore/"),
                            QStringLiteral("bin/ITU/"),
                                           QStringLiteral("bin/Resources/"),
                                                          QStringLiteral("bin/corvanta"), QLatin1String(fileName) };
}

std::optional<AppManifest> AppManifest::read(const QString& folder)
{
    QFile file(QDir(folder).filePath(QLatin1String(fileName)));
    // A manifest is a few lines of text; anything large is not one.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue id = object.value(QLatin1String("id"));
    const QJsonValue version = object.value(QLatin1String("version"));
    if (!id.isString() || !version.isString())
        return std::nullopt;
    AppManifest manifest { id.toString(), version.toString(), {} };

    const QJsonValue installed = object.value(QLatin1String("installed"));
    if (installed.isUndefined()) {
        manifest.installed = legacyInstalled();
        return manifest;
    }
    if (!installed.isArray())
        return std::nullopt;
    for (const QJsonValue& entry : installed.toArray()) {
        if (!entry.isString())
            return std::nullopt;
        if (isPlainEntry(entry.toString()))
            manifest.installed << entry.toString();
    }
    return manifest;
}

QString AppManifest::installFolder(const QString& programDir)
{
    if (programDir.isEmpty())
        return {};
    QDir dir(programDir);
    if (!dir.cdUp())
        return {};
    const std::optional<AppManifest> manifest = read(dir.absolutePath());
    return manifest && manifest->id == appId() ? dir.absolutePath() : QString();
}

QStringList AppManifest::foreignEntries(const QString& folder) const
{
    QSet<QString> wholeFolders; // the application's as a whole
    QSet<QString> files;
    QSet<QString> onTheWay { QString() }; // folders that lead to an entry; "" is the folder itself
    for (const QString& entry : installed) {
        const bool isFolder = entry.endsWith(u'/');
        const QString path = isFolder ? entry.chopped(1) : entry;
        (isFolder ? wholeFolders : files).insert(path);
        for (qsizetype slash = path.indexOf(u'/'); slash > 0; slash = path.indexOf(u'/', slash + 1))
            onTheWay.insert(path.left(slash));
    }

    QStringList foreign;
    const QDir root(folder);
    for (const QString& dir : std::as_const(onTheWay)) {
        const QFileInfo info(dir.isEmpty() ? folder : root.filePath(dir));
        if (!dir.isEmpty() && (info.isSymLink() || !info.isDir()))
            continue; // reported as foreign from the folder above
        const QFileInfoList children
            = QDir(info.filePath())
                  .entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QFileInfo& child : children) {
            const QString path = dir.isEmpty() ? child.fileName() : dir + u'/' + child.fileName();
            const bool realFolder = child.isDir() && !child.isSymLink();
            if (wholeFolders.contains(path) && (realFolder || child.isSymLink()))
                continue;
            if (realFolder ? onTheWay.contains(path) : files.contains(path))
                continue;
            foreign << (realFolder ? path + u'/' : path);
        }
    }
    foreign.sort();
    return foreign;
}
