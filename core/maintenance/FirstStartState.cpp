#include "maintenance/FirstStartState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QUuid>

#include <cmath>

FirstStartState FirstStartState::fresh()
{
    return FirstStartState { QUuid::createUuid().toString(QUuid::WithoutBraces).toLower(), 0, false };
}

FirstStartState FirstStartState::load(const std::optional<QByteArray>& bytes)
{
    if (!bytes)
        return fresh();
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return fresh();
    const QJsonObject object = document.object();
    const QJsonValue id = object.value(QStringLiteral("id"));
    const QJsonValue tries = object.value(QStringLiteral("tries"));
    const QJsonValue sent = object.value(QStringLiteral("sent"));
    if (!id.isString() || !tries.isDouble() || !sent.isBool())
        return fresh();
    // A count below zero would buy more than three attempts; a fraction or
    // a huge number is no count at all.
    const double count = tries.toDouble();
    if (count != std::floor(count) || count < 0 || count > 1e9)
        return fresh();
    return FirstStartState { id.toString(), int(count), sent.toBool() };
}

FirstStartState FirstStartState::read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fresh();
    const QByteArray bytes = file.readAll();
    // A read that failed half-way is no content.
    if (file.error() != QFileDevice::NoError)
        return fresh();
    return load(bytes);
}

QByteArray FirstStartState::encoded() const
{
    const QJsonObject object {
        { QStringLiteral("id"), id },
          { QStringLiteral("tries"), tries },
            { QStringLiteral("sent"), sent },
          };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

bool FirstStartState::write(const QString& path) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(encoded());
    return file.commit();
}

QByteArray FirstStartState::body(const QString& version) const
{
    // QJsonObject keeps its keys sorted: app, id, t, v.
    const QJsonObject object {
        { QStringLiteral("app"), QStringLiteral("linux") },
          { QStringLiteral("id"), id },
            { QStringLiteral("t"), QStringLiteral("install") },
              { QStringLiteral("v"), version },
            };
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}
