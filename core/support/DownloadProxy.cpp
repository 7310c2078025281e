#include "support/DownloadProxy.h"

#include <QHostAddress>

#include <initializer_list>
#include <optional>

namespace {

// The first of `names` that is set, even when empty.
std::optional<QByteArray> variable(std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        if (qEnvironmentVariableIsSet(name))
            return qgetenv(name);
    }
    return std::nullopt;
}

// Whether the no_proxy list leaves `host` out: "*", a name and its
// subdomains (with or without a leading dot), an address or a range.
bool leftOut(const QString& host, const QByteArray& list)
{
    if (list.trimmed() == "*")
        return true;
    const QHostAddress address(host);
    const QString name = host.endsWith(u'.') ? host.chopped(1) : host;
    for (QByteArray entry : list.split(',')) {
        for (const QByteArray& part : entry.simplified().split(' ')) {
            QString token = QString::fromUtf8(part).toLower();
            if (token.startsWith(u'.'))
                token.remove(0, 1);
            if (token.endsWith(u'.'))
                token.chop(1);
            if (token.isEmpty())
                continue;
            if (token == u"*")
                return true;
            if (!address.isNull()) {
                if (token.contains(u'/') ? address.isInSubnet(QHostAddress::parseSubnet(token))
                                         : QHostAddress(token) == address)
                    return true;
            } else if (name.compare(token, Qt::CaseInsensitive) == 0
                       || name.endsWith(u'.' + token, Qt::CaseInsensitive)) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

DownloadProxy DownloadProxy::of(const QUrl& url)
{
    const std::optional<QByteArray> own = url.scheme() == u"http" ? variable({ "http_proxy" })
                                                                  : variable({ "https_proxy", "HTTPS_PROXY" });
    const QByteArray address = (own ? *own : variable({ "all_proxy", "ALL_PROXY" }).value_or(QByteArray())).trimmed();
    if (address.isEmpty() || leftOut(url.host(), variable({ "no_proxy", "NO_PROXY" }).value_or(QByteArray())))
        return {};
    const QUrl proxy(address.contains("://") ? QString::fromUtf8(address) : QStringLiteral("http://") + QString::fromUtf8(address));
    // curl's ports where the address names none.
    const int port = proxy.port(proxy.scheme() == u"https" ? 443 : 1080);
    const QString host = proxy.host().contains(u':') ? u'[' + proxy.host() + u']' : proxy.host();
    return { address, proxy.host(), QStringLiteral("%1:%2").arg(host).arg(port) };
}
