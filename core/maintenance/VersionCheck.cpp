#include "maintenance/VersionCheck.h"

#include "support/StrictNumber.h"

#include <QCryptographicHash>
#include <QList>

namespace {

QList<qint64> versionPieces(const QString& version)
{
    QList<qint64> pieces;
    for (QStringView piece : QStringView(version).split(u'.', Qt::SkipEmptyParts))
        pieces.append(StrictNumber::parseInt(piece).value_or(0));
    return pieces;
}

} // namespace

QString currentAppVersion()
{
#ifdef CORVANTA_VERSION
    const QString version = QStringLiteral(CORVANTA_VERSION);
#else
    const QString version;
#endif
    return version.isEmpty() ? QStringLiteral("0") : version;
}

bool isNewerVersion(const QString& candidate, const QString& current)
{
    const QList<qint64> a = versionPieces(candidate);
    const QList<qint64> b = versionPieces(current);
    for (qsizetype i = 0; i < std::max(a.size(), b.size()); ++i) {
        const qint64 x = i < a.size() ? a[i] : 0;
        const qint64 y = i < b.size() ? b[i] : 0;
        if (x != y)
            return x > y;
    }
    return false;
}

QString sha256Hex(QByteArrayView bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}
