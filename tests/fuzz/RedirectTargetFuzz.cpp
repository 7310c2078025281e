// A redirect's `Location` of any bytes, from one of a few addresses, under the
// default rule or one that allows all: wherever a hop is allowed, curl reads
// in the address sent the scheme, host and port the rule judged.

#include "FuzzSupport.h"

#include "support/Download.h"

#include <curl/curl.h>

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QUrl origins[] = { QUrl("https://services.swpc.noaa.gov/products/noaa-planetary-k-index.json"),
                                    QUrl("http://127.0.0.1:8080/a/b?c=d"), QUrl("https://[::1]:8443/x") };
    Fuzz::Input input(data, size);
    const QUrl from = origins[input.integer(0, 2)];
    const bool anyAddress = input.byte() & 1;
    const QString location = Fuzz::text(input.rest());
    std::optional<QUrl> judged;
    const std::function<bool(const QUrl&)> rule = [&](const QUrl& url) { return (judged = url).has_value(); };
    const std::optional<QUrl> next = Download::hop(from, location, anyAddress ? rule : nullptr);
    if (!next)
        return 0;
    FUZZ_CHECK(!anyAddress || judged == next);
    FUZZ_CHECK(next->scheme() == u"http" || next->scheme() == u"https");

    // curl's reading, written out by curl, reads in Qt as the address judged.
    const std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> parsed(curl_url(), &curl_url_cleanup);
    FUZZ_CHECK(curl_url_set(parsed.get(), CURLUPART_URL, next->toEncoded().constData(), 0) == CURLUE_OK);
    char* written = nullptr;
    FUZZ_CHECK(curl_url_get(parsed.get(), CURLUPART_URL, &written, 0) == CURLUE_OK);
    const QUrl read(QString::fromUtf8(written), QUrl::StrictMode);
    curl_free(written);
    const int port = next->scheme() == u"https" ? 443 : 80;
    FUZZ_CHECK(read.scheme() == next->scheme());
    FUZZ_CHECK(read.host(QUrl::FullyEncoded).compare(next->host(QUrl::FullyEncoded), Qt::CaseInsensitive) == 0);
    FUZZ_CHECK(read.port(port) == next->port(port));
    return 0;
}
