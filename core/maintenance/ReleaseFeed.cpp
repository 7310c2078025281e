#include "maintenance/ReleaseFeed.h"

#include "support/Endpoints.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

namespace ReleaseFeed {

namespace {

const QString localHost = QStringLiteral("127.0.0.1");

UpdateError unreadable(const QString& why) { return { QStringLiteral("The release feed couldn't be read: ") + why }; }

} // namespace

QUrl builtInFeed()
{
    return QUrl(QStringLiteral("https://%1/corvanta/download/linux/latest.json").arg(Endpoints::makerHost()));
}

QUrl effectiveFeed(const QString& overrideText)
{
    if (!overrideText.isEmpty()) {
        const QUrl url(overrideText, QUrl::StrictMode);
        if (url.isValid() && url.scheme() == QLatin1String("http") && url.host() == localHost)
            return url;
    }
    return builtInFeed();
}

std::expected<Release, UpdateError> decode(const QByteArray& body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError)
        return std::unexpected(unreadable(
            error.errorString() + QStringLiteral(" at offset ") + QString::number(error.offset) + QStringLiteral(".")));
    if (!document.isObject())
        return std::unexpected(unreadable(QStringLiteral("it is not a JSON object.")));
    const QJsonObject object = document.object();

    Release release;
    const std::pair<const char*, QString*> required[]
        = { { "version", &release.version }, { "url", &release.url }, { "sha256", &release.sha256 } };
    for (const auto& [key, field] : required) {
        const QJsonValue value = object.value(QLatin1String(key));
        if (value.isUndefined())
            return std::unexpected(unreadable(QStringLiteral("\"%1\" is missing.").arg(QLatin1String(key))));
        if (!value.isString())
            return std::unexpected(unreadable(QStringLiteral("\"%1\" is not text.").arg(QLatin1String(key))));
        *field = value.toString();
    }
    const QJsonValue notes = object.value(QLatin1String("notes"));
    if (notes.isString())
        release.notes = notes.toString();
    else if (!notes.isUndefined() && !notes.isNull())
        return std::unexpected(unreadable(QStringLiteral("\"notes\" is not text.")));
    return release;
}

bool isAllowedArchiveAddress(const QUrl& url, const QUrl& feed)
{
    if (!url.isValid())
        return false;
    if (url.scheme() == QLatin1String("https") && url.host() == Endpoints::makerHost())
        return true;
    return url.scheme() == QLatin1String("http") && url.host() == localHost && feed != builtInFeed();
}

QString fileNameVersion(const QString& version)
{
    QString name = version;
    for (QChar& c : name) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.'
            || c == u'-' || c == u'+' || c == u'_';
        if (!plain)
            c = u'_';
    }
    return name;
}

} // namespace ReleaseFeed
