// What the self-update reads from outside: the release feed's body, the
// addresses in it and in the feed override, and the manifest of an unpacked
// application folder. The first byte chooses which.

#include "FuzzSupport.h"

#include "maintenance/AppManifest.h"
#include "maintenance/ReleaseFeed.h"
#include "support/Endpoints.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

namespace {

bool isFileNameCharacter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') || c == u'.' || c == u'-'
        || c == u'+' || c == u'_';
}

void checkAddress(const QUrl& url)
{
    const QUrl local(QStringLiteral("http://127.0.0.1:8080/feed.json"));
    const bool builtIn = ReleaseFeed::isAllowedArchiveAddress(url, ReleaseFeed::builtInFeed());
    FUZZ_CHECK(!builtIn || (url.scheme() == u"https" && url.host() == Endpoints::makerHost()));
    if (ReleaseFeed::isAllowedArchiveAddress(url, local))
        FUZZ_CHECK(builtIn || (url.scheme() == u"http" && url.host() == u"127.0.0.1"));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Fuzz::Input input(data, size);
    const int mode = input.byte() % 4;
    const QByteArray body = input.rest();

    if (mode == 1) {
        // The feed override: the built-in feed, or http on 127.0.0.1 only.
        const QUrl feed = ReleaseFeed::effectiveFeed(Fuzz::text(body));
        FUZZ_CHECK(feed == ReleaseFeed::builtInFeed() || (feed.scheme() == u"http" && feed.host() == u"127.0.0.1"));
        checkAddress(QUrl(Fuzz::text(body)));
        return 0;
    }
    if (mode == 2) {
        // An unpacked folder's manifest.
        static QTemporaryDir folder;
        FUZZ_CHECK(folder.isValid());
        QFile file(folder.filePath(QLatin1String(AppManifest::fileName)));
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(body) == body.size());
        file.close();
        const auto manifest = AppManifest::read(folder.path());
        const QJsonObject object = QJsonDocument::fromJson(body).object();
        if (manifest) {
            FUZZ_CHECK(body.size() <= 64 * 1024);
            FUZZ_CHECK(manifest->id == object.value(QStringLiteral("id")).toString());
            FUZZ_CHECK(manifest->version == object.value(QStringLiteral("version")).toString());
            // No listed entry reaches outside the folder.
            for (const QString& entry : manifest->installed) {
                FUZZ_CHECK(!entry.isEmpty() && !entry.startsWith(u'/'));
                FUZZ_CHECK(!entry.split(u'/').contains(QStringLiteral("..")));
            }
            // The manifest itself is never foreign to it.
            FUZZ_CHECK(!manifest->foreignEntries(folder.path()).contains(QLatin1String(AppManifest::fileName))
                       || !manifest->installed.contains(QLatin1String(AppManifest::fileName)));
        }
        const bool ours = manifest && manifest->id == AppManifest::appId();
        FUZZ_CHECK(AppManifest::installFolder(folder.filePath(QStringLiteral("bin")))
                                              == (ours ? QDir(folder.path()).absolutePath() : QString()));
        return 0;
    }

    const auto release = ReleaseFeed::decode(body);
    if (!release) {
        FUZZ_CHECK(!release.error().message.isEmpty());
        return 0;
    }
    // Written back as a feed, it reads the same.
    QJsonObject object { { "version", release->version }, { "url", release->url }, { "sha256", release->sha256 } };
    if (release->notes)
        object.insert("notes", *release->notes);
    FUZZ_CHECK(ReleaseFeed::decode(QJsonDocument(object).toJson()) == release);

    // The version never leads a file name out of its folder.
    const QString name = ReleaseFeed::fileNameVersion(release->version);
    FUZZ_CHECK(name.size() == release->version.size());
    for (const QChar c : name)
        FUZZ_CHECK(isFileNameCharacter(c));
    FUZZ_CHECK(ReleaseFeed::fileNameVersion(name) == name);
    checkAddress(QUrl(release->url));
    return 0;
}
