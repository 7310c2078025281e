// Any bytes as a server's answer on a loopback socket or a proxy's to CONNECT,
// the last part sent again up to a length of the input's choice, to one
// download with small limits, with a sink or none: it ends within its limits,
// and the live heap (where the sanitizer counts it) never passes its cap and
// the head allowance by more than curl's bounded head and a decoder's window.

#include "FuzzSupport.h"

#include "support/Download.h"
#include "support/HostilePeer.h"

#include <QCoreApplication>

#include <atomic>

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                         void (*)(const volatile void*)) __attribute__((weak));
extern "C" std::size_t __sanitizer_get_allocated_size(const volatile void*) __attribute__((weak));

namespace {
std::atomic<qint64> live = 0, peak = 0;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_ServerAnswer", *argv[] = { name, nullptr };
    static QCoreApplication application(argc, argv);
    static const bool counted = [] {
        Download::initialise();
        for (const char* proxy : { "http_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY", "no_proxy" })
            qunsetenv(proxy);
        return __sanitizer_install_malloc_and_free_hooks
            && __sanitizer_install_malloc_and_free_hooks(
                   [](const volatile void*, std::size_t size) {
                       const qint64 now = live += qint64(size);
                       for (qint64 high = peak; now > high && !peak.compare_exchange_weak(high, now);) { }
                   },
                   [](const volatile void* block) { live -= qint64(__sanitizer_get_allocated_size(block)); })
            != 0;
    }();
    Fuzz::Input input(data, size);
    const std::uint8_t choice = input.byte();
    const bool proxied = choice & 1, sink = choice & 2;
    // A short idle limit, or one the overall limit comes before.
    const std::chrono::milliseconds idle(choice & 16 ? 1000 : 20);
    // 4 KiB, 256 KiB, 16 MiB, and for a sink 1 GiB.
    const qint64 cap = qint64(4096) << std::min(choice >> 2 & 3, sink ? 3 : 2) * 6;
    const int repeats = input.integer(0, 24);
    const QByteArray head = input.bytes(input.integer(0, 65535));
    QByteArray filler = input.rest();
    const qint64 fillerBytes = std::min(qint64(filler.size()) << repeats, qint64(8) << 20);
    while (!filler.isEmpty() && filler.size() < (1 << 16))
        filler += filler;

    HostilePeer server(head, filler, 0, 1 + Download::maxHops, fillerBytes);
    qputenv("https_proxy", server.url().toUtf8());
    const QUrl url(proxied ? QStringLiteral("https://fuzz.corvanta.test/") : server.url());
    const Download::Limits limits { idle, std::chrono::milliseconds(500), cap, Download::sameSite(url) };
    auto* download = new Download({ url }, limits, nullptr);
    if (sink)
        download->setSink([](QByteArrayView) { return QString(); });
    const qint64 before = live;
    peak = before;
    bool ended = false;
    const auto began = std::chrono::steady_clock::now();
    download->get([&](const Download::Outcome&) { ended = true; });
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    FUZZ_CHECK(std::chrono::steady_clock::now() - began < 2 * limits.overall);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    FUZZ_CHECK(!counted || peak - before < cap + Download::headAllowance + (24 << 20));
    return 0;
}
