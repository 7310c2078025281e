#include "support/DownloadWords.h"

#include "support/ByteSize.h"

#include <curl/curl.h>

#include <cerrno>
#include <optional>

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

// Why a secure connection to `to` could not be made, where TLS was what failed.
std::optional<Said> insecure(int result, const QString& to, long verifyResult, const QString& detail)
{
    switch (result) {
    case CURLE_PEER_FAILED_VERIFICATION:
        // curl checks the name itself, after OpenSSL found the chain sound.
        if (verifyResult == verifiedOk || verifyResult == otherName)
            return Said { secure(to, QStringLiteral(": its certificate is for another name")), detail };
        if (verifyResult == notYetValid || verifyResult == expired)
            return Said { secure(to, QStringLiteral(": its certificate is out of date")), detail };
        return Said { secure(to, QStringLiteral(": its certificate is not trusted")), detail };
    case CURLE_SSL_CONNECT_ERROR: // a plain answer where a TLS one belonged, or no TLS both sides speak
        return Said { secure(to, QStringLiteral(": it does not answer in TLS that Corvanta accepts")), detail };
    case CURLE_SSL_CACERT_BADFILE:
        return Said { secure(to, QStringLiteral(": the certificates this computer trusts could not be read")), detail };
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
        return Said { secure(to, {}), detail };
    default:
        return std::nullopt;
    }
}

// What a SOCKS proxy's failure (curl's CURLPX_* code) was.
Said socks(const Facts& facts, const QString& detail)
{
    const QString at = proxy(facts.proxy);
    switch (facts.proxyError) {
    case CURLPX_CLOSED:
    case CURLPX_RECV_ADDRESS:
    case CURLPX_RECV_AUTH:
    case CURLPX_RECV_CONNECT:
    case CURLPX_RECV_REQACK:
    case CURLPX_SEND_AUTH:
    case CURLPX_SEND_CONNECT:
    case CURLPX_SEND_REQUEST:
        return { capitalised(at) + QStringLiteral(" closed the connection before answering."), {} };
    case CURLPX_USER_REJECTED:
    case CURLPX_NO_AUTH: // none of the ways to sign in that it was offered
        return { proxyRefusal(facts.proxy, facts.proxyUser), {} };
    case CURLPX_REPLY_CONNECTION_REFUSED:
    case CURLPX_REPLY_GENERAL_SERVER_FAILURE:
    case CURLPX_REPLY_HOST_UNREACHABLE:
    case CURLPX_REPLY_NETWORK_UNREACHABLE:
    case CURLPX_REPLY_NOT_ALLOWED:
    case CURLPX_REPLY_TTL_EXPIRED:
    case CURLPX_REPLY_COMMAND_NOT_SUPPORTED:
    case CURLPX_REPLY_ADDRESS_TYPE_NOT_SUPPORTED:
    case CURLPX_REPLY_UNASSIGNED:
    case CURLPX_REQUEST_FAILED:
        return { capitalised(at) + QStringLiteral(" refused to connect to %1.").arg(facts.host), {} };
    case CURLPX_RESOLVE_HOST: // curl looks the server up itself, unless the proxy is to
        return { QStringLiteral("The address of %1 was not found.").arg(facts.host), {} };
    case CURLPX_BAD_VERSION:
    case CURLPX_BAD_ADDRESS_TYPE:
        return { QStringLiteral("The answer from %1 is not SOCKS.").arg(at), {} };
    default:
        return { QStringLiteral("The connection through %1 failed.").arg(at), detail };
    }
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

QString proxyRefusal(const QString& hostAndPort, bool userGiven)
{
    return (userGiven ? QStringLiteral("The proxy at %1 refused the user name and password.")
                      : QStringLiteral("The proxy at %1 asks for a password."))
        .arg(hostAndPort);
}

QString proxySetting(const QString& variable)
{
    return QStringLiteral("The proxy set in %1 cannot be used.").arg(variable);
}

Said transport(const Facts& facts)
{
    const QString& host = facts.host;
    const int result = facts.result;
    const QString detail = facts.words.isEmpty() ? QString::fromUtf8(curl_easy_strerror(CURLcode(result))) : facts.words;
    const bool broken = facts.osError != 0; // the connection failed, not what came over it
    // Before the request went out through a proxy, or its tunnel was up,
    // what failed was the proxy's.
    const bool proxys = !facts.proxy.isEmpty() && !facts.delivered && !facts.tunnel;
    if (proxys) {
        const QString by = capitalised(proxy(facts.proxy));
        if (result == CURLE_COULDNT_RESOLVE_PROXY)
            return { QStringLiteral("The name of %1 was not found.").arg(proxy(facts.proxy)), {} };
        if (facts.connectCode == 407)
            return { proxyRefusal(facts.proxy, facts.proxyUser), {} };
        if (facts.connectCode >= 300)
            return { by + QStringLiteral(" refused to connect to %1 (HTTP %2).").arg(host).arg(facts.connectCode), {} };
        if (result == CURLE_COULDNT_CONNECT && facts.osError == ECONNREFUSED)
            return { by + QStringLiteral(" refused the connection."), {} };
        if (result == CURLE_COULDNT_CONNECT)
            return { by + QStringLiteral(" cannot be reached."), {} };
        if (result == CURLE_PROXY)
            return socks(facts, detail);
        if (facts.proxyTls) {
            if (const std::optional<Said> said = insecure(result, proxy(facts.proxy), facts.proxyVerifyResult, detail))
                return *said;
        }
        // Reset or closed after the request to CONNECT, or within the
        // answer; curl names a head past its bound only in its words.
        const bool closed = result == CURLE_RECV_ERROR || result == CURLE_SEND_ERROR || result == CURLE_GOT_NOTHING;
        if (closed && !facts.words.contains(u"too large", Qt::CaseInsensitive)) {
            const QString how = facts.connectCode == 0 ? QStringLiteral(" closed the connection before answering.")
                                                       : QStringLiteral(" ended its answer before it was whole.");
            return { by + how, {} };
        }
    }
    const QString from = proxys ? proxy(facts.proxy) : host;
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
    if (const std::optional<Said> said = insecure(result, host, facts.verifyResult, detail))
        return *said;
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
        return { QStringLiteral("The address of %1 was not found.").arg(host), {} };
    default:
        return { QStringLiteral("The connection to %1 failed.").arg(host), detail };
    }
}

} // namespace DownloadWords
