#include "maintenance/AppManifest.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#ifndef CORVANTA_APP_ID
#define CORVANTA_APP_ID "org.corvanta.Corvanta"
#endif

QString AppManifest::appId() { return QStringLiteral(CORVANTA_APP_ID); }

std::optional<AppManifest> AppManifest::read(const QString& folder)
{
    QFile file(QDir(folder).filePath(QLatin1String(fileName)));
    // A manifest is a line of text; anything large is not one.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 64 * 1024)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject())
        return std::nullopt;
    const QJsonValue id = document.object().value(QLatin1String("id"));
    const QJsonValue version = document.object().value(QLatin1String("version"));
    if (!id.isString() || !version.isString())
        return std::nullopt;
    return AppManifest { id.toString(), version.toString() };
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
