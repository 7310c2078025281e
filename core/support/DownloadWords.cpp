#include "support/DownloadWords.h"

#include "support/ByteSize.h"

#include <QHostAddress>
#include <QNetworkInterface>

#include <curl/curl.h>

#include <algorithm>
#include <cerrno>

namespace DownloadWords {

namespace {

// OpenSSL's verdicts on a certificate that matter to the words (X509_V_*).
constexpr long verifiedOk = 0, notYetValid = 9, expired = 10, otherName = 62;

QString secure(const QString& host, const QString& why)
{
    return QStringLiteral("A secure connection to %1 could not be made%2.").arg(host, why);
}

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}

} // namespace

QString cannotReach() { return QStringLiteral("The network cannot be reached."); }

QString tooLarge(const QString& from) { return QStringLiteral("The answer from %1 is too large.").arg(from); }

QString largerThan(const QString& from, qint64 cap)
{
    return QStringLiteral("The answer from %1 is larger than %2.").arg(from, ByteSize::text(cap));
}

QString notDecodable(const QString& host)
{
    return QStringLiteral("The answer from %1 could not be decoded.").arg(host);
}

QString proxy(const QString& hostAndPort) { return QStringLiteral("the proxy at %1").arg(hostAndPort); }

QString proxyAsksPassword(const QString& hostAndPort)
{
    return QStringLiteral("The proxy at %1 asks for a password.").arg(hostAndPort);
}

QString proxySetting(const QString& variable)
{
    return QStringLiteral("The proxy set in %1 cannot be used.").arg(variable);
}

bool offline(const QString& host)
{
    if (host == u"localhost" || QHostAddress(host).isLoopback())
        return false;
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    return std::ranges::none_of(interfaces, [](const QNetworkInterface& network) {
        const QNetworkInterface::InterfaceFlags flags = network.flags();
        return flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning)
            && !flags.testFlag(QNetworkInterface::IsLoopBack) && !network.addressEntries().isEmpty();
    });
}

Said transport(const Facts& facts)
{
    const QString& host = facts.host;
    const int result = facts.result;
    const QString detail = facts.words.isEmpty() ? QString::fromUtf8(curl_easy_strerror(CURLcode(result))) : facts.words;
    const bool broken = facts.osError != 0; // the connection failed, not what came over it
    // Before the request went out through a proxy, what failed was the proxy's.
    if (!facts.proxy.isEmpty() && !facts.delivered) {
        const QString by = capitalised(proxy(facts.proxy));
        if (result == CURLE_COULDNT_RESOLVE_PROXY)
            return { QStringLiteral("The name of %1 was not found.").arg(proxy(facts.proxy)), {} };
        if (facts.connectCode == 407)
            return { proxyAsksPassword(facts.proxy), {} };
        if (facts.connectCode >= 300)
            return { by + QStringLiteral(" refused to connect to %1 (HTTP %2).").arg(host).arg(facts.connectCode), {} };
        if (result == CURLE_COULDNT_CONNECT && facts.osError == ECONNREFUSED)
            return { by + QStringLiteral(" refused the connection."), {} };
        if (result == CURLE_COULDNT_CONNECT)
            return { by + QStringLiteral(" cannot be reached."), {} };
    }
    const QString from = facts.proxy.isEmpty() || facts.delivered ? host : proxy(facts.proxy);
    if (result == CURLE_GOT_NOTHING || (result == CURLE_RECV_ERROR && !facts.answered && facts.osError == ECONNRESET))
        return { QStringLiteral("%1 closed the connection before answering.").arg(host), {} };
    if (result == CURLE_COULDNT_CONNECT && facts.osError == ENETUNREACH)
        return { cannotReach(), {} };
    if (result == CURLE_COULDNT_CONNECT && facts.osError == ECONNREFUSED)
        return { QStringLiteral("%1 refused the connection.").arg(host), {} };
    if (result == CURLE_COULDNT_CONNECT)
        return { QStringLiteral("%1 cannot be reached.").arg(host), {} };
    // A head past curl's bounds (a line over 100 KB, a head over 300 KB, a
    // proxy's over 16 KB); curl names the latter two only in its words.
    if (!facts.headDone && (result == CURLE_OUT_OF_MEMORY || facts.words.contains(u"too large", Qt::CaseInsensitive)))
        return { tooLarge(from), {} };
    if (result == CURLE_PARTIAL_FILE || (result == CURLE_RECV_ERROR && broken))
        return { QStringLiteral("%1 ended the answer before it was whole.").arg(host), {} };
    // Chunks or a coding that do not read: curl's decoders and framing.
    if (result == CURLE_BAD_CONTENT_ENCODING || result == CURLE_WRITE_ERROR || result == CURLE_OUT_OF_MEMORY
        || (result == CURLE_RECV_ERROR && facts.headDone))
        return { notDecodable(host), {} };
    // curl's word for a proxy's head line without a colon is a bad argument.
    if (result == CURLE_WEIRD_SERVER_REPLY || result == CURLE_UNSUPPORTED_PROTOCOL
        || (result == CURLE_BAD_FUNCTION_ARGUMENT && !facts.headDone))
        return { QStringLiteral("The answer from %1 is not HTTP.").arg(from), {} };
    switch (result) {
    case CURLE_PEER_FAILED_VERIFICATION:
        // curl checks the name itself, after OpenSSL found the chain sound.
        if (facts.verifyResult == verifiedOk || facts.verifyResult == otherName)
            return { secure(host, QStringLiteral(": its certificate is for another name")), detail };
        if (facts.verifyResult == notYetValid || facts.verifyResult == expired)
            return { secure(host, QStringLiteral(": its certificate is out of date")), detail };
        return { secure(host, QStringLiteral(": its certificate is not trusted")), detail };
    case CURLE_SSL_CONNECT_ERROR: // a plain answer where a TLS one belonged, or no TLS both sides speak
        return { secure(host, QStringLiteral(": it does not answer in TLS that Corvanta accepts")), detail };
    case CURLE_SSL_CACERT_BADFILE:
        return { secure(host, QStringLiteral(": the certificates this computer trusts could not be read")), detail };
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        return { secure(host, {}), detail };
    case CURLE_COULDNT_RESOLVE_HOST:
        return { QStringLiteral("The address of %1 was not found.").arg(host), {} };
    default:
        return { QStringLiteral("The connection to %1 failed.").arg(host), detail };
    }
}

} // namespace DownloadWords
