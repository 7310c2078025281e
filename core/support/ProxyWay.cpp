#include "support/ProxyWay.h"

#include <curl/curl.h>

#include <memory>
#include <optional>

ProxyWay ProxyWay::of(const QByteArray& address)
{
    const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), &curl_url_cleanup);
    if (address.isEmpty() || !parsed
        || curl_url_set(parsed.get(), CURLUPART_URL, address.constData(), CURLU_NON_SUPPORT_SCHEME | CURLU_GUESS_SCHEME)
            != CURLUE_OK)
        return {};
    const auto part = [&](CURLUPart which) {
        char* text = nullptr;
        if (curl_url_get(parsed.get(), which, &text, 0) != CURLUE_OK)
            return std::optional<QByteArray>();
        const QByteArray read = QByteArray(text).toLower();
        curl_free(text);
        return std::optional(read);
    };
    const QByteArray scheme = part(CURLUPART_SCHEME).value_or(QByteArray());
    return { scheme == "https", scheme.startsWith("socks"), part(CURLUPART_USER).has_value() };
}
