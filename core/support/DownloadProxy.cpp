#include "support/DownloadProxy.h"

#include <curl/curl.h>

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

using Url = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;

// A part of a parsed address; empty when it has none or it does not read.
QByteArray part(CURLU* url, CURLUPart which, unsigned flags, CURLUcode* code = nullptr)
{
    char* text = nullptr;
    const CURLUcode got = curl_url_get(url, which, &text, flags);
    if (code)
        *code = got;
    const QByteArray value(text);
    curl_free(text);
    return value;
}

bool blank(char c) { return c == ' ' || c == '\t'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool sameName(QByteArrayView a, QByteArrayView b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return lower(x) == lower(y); });
}

// Whether the IPv4 address `host` is `token`, an address with or without
// "/BITS". No bits, /0 and /32 alike ask for the address itself, as curl
// reads them; past /32 nothing.
bool within(const QByteArray& host, QByteArrayView token)
{
    if (token.size() >= 128) // curl's room for it
        return false;
    QByteArray network = token.toByteArray();
    unsigned bits = 0;
    if (const qsizetype slash = network.indexOf('/'); slash >= 0) {
        bits = unsigned(std::atoi(network.constData() + slash + 1));
        network.truncate(slash);
    }
    in_addr address {}, check {};
    if (bits > 32 || inet_pton(AF_INET, host.constData(), &address) != 1
        || inet_pton(AF_INET, network.constData(), &check) != 1)
        return false;
    if (bits == 0 || bits == 32)
        return address.s_addr == check.s_addr;
    return ((ntohl(address.s_addr) ^ ntohl(check.s_addr)) & (0xffffffffu << (32 - bits))) == 0;
}

// Whether the name `host` is `token` or lies under it, a dot before and
// after the token aside.
bool under(QByteArrayView host, QByteArrayView token)
{
    if (token.endsWith('.'))
        token.chop(1);
    if (token.startsWith('.'))
        token = token.sliced(1);
    if (token.size() == host.size())
        return sameName(token, host);
    return token.size() < host.size() && host[host.size() - token.size() - 1] == '.'
        && sameName(token, host.last(token.size()));
}

// Whether the no_proxy list leaves `host` out, read as curl reads it: only
// "*" as the whole value leaves out every host; otherwise each entry,
// between commas or blanks, is an IPv4 address or range for an IPv4 host and
// a name for any other. An IPv6 host reaches curl's check without its
// brackets, so it too is compared as a name, letter by letter.
bool leftOut(const QByteArray& host, const QByteArray& list)
{
    if (host.isEmpty() || list.isEmpty())
        return false;
    if (list == "*")
        return true;
    in_addr address {};
    const bool numeric = inet_pton(AF_INET, host.constData(), &address) == 1;
    const QByteArrayView name = !numeric && host.endsWith('.') ? QByteArrayView(host).chopped(1) : host;
    qsizetype at = 0;
    const auto skip = [&](auto&& over) {
        while (at < list.size() && over(list[at]))
            ++at;
    };
    while (at < list.size()) {
        skip(blank);
        const qsizetype from = at;
        skip([](char c) { return !blank(c) && c != ','; });
        const QByteArrayView token = QByteArrayView(list).sliced(from, at - from);
        if (!token.isEmpty() && (numeric ? within(host, token) : under(name, token)))
            return true;
        skip(blank);
        skip([](char c) { return c == ','; });
    }
    return false;
}

// The host curl reads in the address it is handed, without brackets.
QByteArray hostOf(const QUrl& url)
{
    const Url parsed(curl_url(), &curl_url_cleanup);
    if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.toEncoded().constData(), 0) != CURLUE_OK)
        return {};
    const QByteArray host = part(parsed.get(), CURLUPART_HOST, 0);
    return host.startsWith('[') ? host.mid(1, host.size() - 2) : host;
}

} // namespace

DownloadProxy DownloadProxy::of(const QUrl& url)
{
    // A variable as curl reads it: an empty value is no value, and the
    // first of the names that has one wins.
    const auto first = [](const QList<const char*>& names) -> const char* {
        const auto set = std::ranges::find_if(names, [](const char* name) { return !qgetenv(name).isEmpty(); });
        return set == names.end() ? nullptr : *set;
    };
    const char* noProxy = first({ "no_proxy", "NO_PROXY" });
    if (noProxy && leftOut(hostOf(url), qgetenv(noProxy)))
        return {};
    // Never HTTP_PROXY: in a CGI program it is the client's Proxy header.
    const char* set = url.scheme() == u"http" ? first({ "http_proxy", "all_proxy", "ALL_PROXY" })
                                              : first({ "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY" });
    if (!set)
        return {};
    DownloadProxy proxy;
    proxy.address = qgetenv(set);
    proxy.variable = QString::fromLatin1(set);
    // The address read by curl's own parser, as curl reads it: what the
    // parser does not take, or a scheme curl has no proxy for, curl fails.
    static const QList<QByteArray> schemes { "http", "https", "socks", "socks4", "socks4a", "socks5", "socks5h" };
    const Url parsed(curl_url(), &curl_url_cleanup);
    const bool read = parsed
        && curl_url_set(parsed.get(), CURLUPART_URL, proxy.address.constData(),
                        CURLU_NON_SUPPORT_SCHEME | CURLU_GUESS_SCHEME)
            == CURLUE_OK;
    const QByteArray scheme = read ? part(parsed.get(), CURLUPART_SCHEME, 0).toLower() : QByteArray();
    if (!schemes.contains(scheme)) {
        proxy.usable = false;
        return proxy;
    }
    // A user or password that does not decode (a control character) makes
    // curl leave the proxy aside and go straight to the server.
    for (const auto& [which, none] :
         { std::pair { CURLUPART_USER, CURLUE_NO_USER }, { CURLUPART_PASSWORD, CURLUE_NO_PASSWORD } }) {
        CURLUcode code = CURLUE_OK;
        part(parsed.get(), which, CURLU_URLDECODE, &code);
        if (code != CURLUE_OK && code != none)
            return {};
        if (which == CURLUPART_USER)
            proxy.user = code == CURLUE_OK;
    }
    proxy.tls = scheme == "https";
    proxy.socks = scheme.startsWith("socks");
    // An "@" past the host is a password's, written unencoded: curl reads
    // its first part as the host and port ("user:12"), and would show the
    // user name as the proxy's. Not a proxy anyone meant, but a setting.
    for (const CURLUPart after : { CURLUPART_PATH, CURLUPART_QUERY, CURLUPART_FRAGMENT }) {
        if (part(parsed.get(), after, 0).contains('@')) {
            proxy.usable = false;
            return proxy;
        }
    }
    const QByteArray port = part(parsed.get(), CURLUPART_PORT, 0);
    const QByteArray host = part(parsed.get(), CURLUPART_HOST, CURLU_URLDECODE);
    // curl's ports where the address names none.
    proxy.name = QString::fromUtf8(host) + u':'
        + (port.isEmpty() ? QString::number(scheme == "https" ? 443 : 1080)
                          : QString::number(std::atoi(port.constData())));
    proxy.host = QString::fromUtf8(host.startsWith('[') ? host.mid(1, host.size() - 2) : host);
    return proxy;
}
