// Any bytes as a server's answers on a loopback socket or a proxy's to
// CONNECT, the last part of each sent again up to a length of the input's
// choice, paced as the input says (pauses, small sends, an answer for each
// connection), to one download with small limits, with a slow sink or none,
// destroyed under way if the input says so; an answer that ends by itself
// is given to the other kind of download too. It ends within the limit that
// ended it, its connections close soon after, it is gone at once, and the
// live heap (where the sanitizer counts it) never passes what the answer
// needs: the cap and a few MB, brotli's window, or for a sink what may wait
// for it. Where it reads what curl reads (the head's end and status), a
// plain curl transfer given the same answer reads the same.

#include "FuzzSupport.h"

#include "support/Download.h"
#include "support/HostilePeer.h"

#include <QCoreApplication>
#include <QTimer>

#include <curl/curl.h>

#include <atomic>
#include <thread>

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                         void (*)(const volatile void*)) __attribute__((weak));
extern "C" std::size_t __sanitizer_get_allocated_size(const volatile void*) __attribute__((weak));

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Stop = Download::Stop;

std::atomic<qint64> live = 0, peak = 0;
thread_local bool uncounted = false; // the plain curl transfer's allocations
// How late a 1 ms sleep of a thread of its own woke at worst: the machine's
// load, by which the time bounds grow.
std::atomic<qint64> lateUs = 0;

void watchLoad()
{
    std::thread([] {
        for (;;) {
            const auto from = Clock::now();
            std::this_thread::sleep_for(1ms);
            const qint64 late
                = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - from - 1ms).count();
            for (qint64 worst = lateUs; late > worst && !lateUs.compare_exchange_weak(worst, late);) { }
        }
    }).detach();
}

// A bound of time on a machine as loaded as it was meanwhile.
Clock::duration loaded(Clock::duration bound) { return bound + 4 * std::chrono::microseconds(lateUs.load()); }

bool installHooks()
{
    return __sanitizer_install_malloc_and_free_hooks
        && __sanitizer_install_malloc_and_free_hooks(
               [](const volatile void*, std::size_t size) {
                   if (uncounted)
                       return;
                   const qint64 now = live += qint64(size);
                   for (qint64 high = peak; now > high && !peak.compare_exchange_weak(high, now);) { }
               },
               [](const volatile void* block) {
                   if (!uncounted)
                       live -= qint64(__sanitizer_get_allocated_size(block));
               })
        != 0;
}

// curl's own reading of an answer: the status of the head after which the
// body began; 0 when no body began by `until` (set once the download ended:
// as long again as it took, so that curl, reading the same bytes, has the
// time it needs, and an answer without end costs no more than the download).
// It asks for the codings the download asks for, so that curl refuses a
// coding it does not know in the head as it does in the download's.
long curlsReading(const QString& url, const std::atomic<Clock::time_point>& until, bool decoding)
{
    uncounted = true;
    CURL* easy = curl_easy_init();
    if (decoding)
        curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, Download::askedCodings);
    else
        curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &until);
    curl_easy_setopt(
        easy, CURLOPT_XFERINFOFUNCTION, +[](void* until, curl_off_t, curl_off_t, curl_off_t, curl_off_t) -> int {
            return Clock::now() > static_cast<const std::atomic<Clock::time_point>*>(until)->load();
        });
    curl_easy_setopt(easy, CURLOPT_URL, url.toUtf8().constData());
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, 700L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 16384L);
    bool body = false;
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(
        easy, CURLOPT_WRITEFUNCTION, +[](char*, std::size_t, std::size_t, void* body) -> std::size_t {
            *static_cast<bool*>(body) = true;
            return 0;
        });
    curl_easy_perform(easy);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_cleanup(easy);
    return body ? status : 0;
}

// An answer's bytes as sent, enough to see every word they spell: the head,
// and the filler twice, for a word across the head's end or the repeat.
QByteArray asSent(const HostilePeer::Answer& answer) { return answer.head + answer.filler + answer.filler; }

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
        watchLoad();
        return installHooks();
    }();
    Fuzz::Input input(data, size);
    const std::uint8_t choice = input.byte();
    const bool proxied = choice & 1, destroy = choice & 32, paced = choice & 64, several = choice & 128;
    // A short idle limit, or one the overall limit comes before.
    const std::chrono::milliseconds idle(choice & 16 ? 1000 : 20);
    const int capBits = choice >> 2 & 3;
    const std::uint8_t pacing = paced ? input.byte() : 0;
    const int pauseMs = (pacing & 7) * 8;
    const qsizetype piece = qsizetype(1) << (paced ? std::min(pacing >> 3, 16) : 16);
    const std::chrono::milliseconds destroyAfter(destroy ? input.byte() : 0);
    QList<HostilePeer::Answer> answers;
    bool br = false;
    do {
        const int repeats = input.integer(0, 24);
        const QByteArray head = input.bytes(input.integer(0, 65535));
        QByteArray filler = several ? input.bytes(input.integer(0, 65535)) : input.rest();
        const qint64 fillerBytes = std::min(qint64(filler.size()) << repeats, qint64(8) << 20);
        while (!filler.isEmpty() && filler.size() < (1 << 16))
            filler += filler;
        answers.append({ head, filler, fillerBytes });
        br = br || asSent(answers.back()).toLower().contains("br");
    } while (several && !input.atEnd() && answers.size() <= Download::maxHops);
    // curl drops the rest of a read at a head line that begins with a NUL
    // byte, so where one comes two transfers of the same bytes read alike
    // only if their reads were cut alike.
    const bool nulLedLine = asSent(answers.front()).contains(QByteArrayView("\n\0", 2));

    // The answers to a download that keeps the body whole, or to one with a
    // sink; where the first ends by itself (soon), the other way too.
    const auto answer = [&](bool sink, bool compared) {
        // 4 KiB, 256 KiB, 16 MiB; for a sink 16 MiB or 1 GiB, past what may wait for it.
        const qint64 cap = sink ? qint64(1) << (capBits & 1 ? 24 : 30) : qint64(4096) << std::min(capBits, 2) * 6;
        lateUs = 0;
        HostilePeer server(answers, pauseMs, 1 + Download::maxHops, piece);
        qputenv("https_proxy", server.url().toUtf8());
        const QUrl url(proxied ? QStringLiteral("https://fuzz.corvanta.test/") : server.url());
        // curl's reading of the first answer, beside the download's.
        compared = compared && !proxied && !destroy && !nulLedLine;
        HostilePeer plain(answers.mid(0, 1), pauseMs, compared ? 1 : 0, piece);
        long curlsStatus = 0;
        std::atomic<Clock::time_point> readingUntil = Clock::time_point::max();
        std::thread reading;
        if (compared)
            reading = std::thread([&] { curlsStatus = curlsReading(plain.url(), readingUntil, !sink); });

        const Download::Limits limits { idle, 250ms, cap, Download::sameSite(url) };
        auto* download = new Download({ url }, limits, nullptr);
        if (sink) // slower than the network and than any decoder, as a disk may be
            download->setSink([](QByteArrayView piece) {
                std::this_thread::sleep_for(1ms + 1ms * (piece.size() >> 15));
                return QString();
            });
        const qint64 before = live;
        peak = before;
        std::optional<Download::Outcome> outcome;
        bool destroyed = false;
        QTimer destroying;
        destroying.setSingleShot(true);
        QObject::connect(&destroying, &QTimer::timeout, [&] {
            const auto from = Clock::now();
            delete download;
            FUZZ_CHECK(Clock::now() - from < loaded(50ms));
            destroyed = true;
        });
        if (destroy)
            destroying.start(destroyAfter);
        const auto began = Clock::now();
        download->get([&](const Download::Outcome& ended) {
            outcome = ended;
            destroying.stop();
        });
        while (!outcome && !destroyed)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const auto end = Clock::now();
        readingUntil = end + std::max<Clock::duration>(end - began, 50ms);
        if (outcome) {
            // Through the proxy, curl sets up TLS (reads the system's
            // certificates) within one call, a second under the sanitizers.
            FUZZ_CHECK(end - began < loaded(limits.overall + (proxied ? 1250ms : 250ms)));
            // Nothing of the body for longer than the idle limit, time and again,
            // or ever on one connection: the idle limit ends it.
            const bool bodiless = outcome->bytes == 0 && server.accepted() <= 1;
            FUZZ_CHECK(idle > 20ms || (pauseMs < 40 && !bodiless) || outcome->stop != Stop::overall);
            const auto from = Clock::now();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            FUZZ_CHECK(Clock::now() - from < loaded(50ms));
        }
        while (server.serving() > 0 && Clock::now() - end < loaded(2 * std::chrono::milliseconds(pauseMs) + 300ms))
            std::this_thread::sleep_for(1ms);
        FUZZ_CHECK(server.serving() == 0);
        // The body kept whole reserves the cap at most, what waits for a sink
        // and what the sink holds twice what may wait (grown by doubling);
        // curl's head, a read, a decoder's state and brotli's window come on top.
        const qint64 needs = (sink ? 4 * Download::sinkAhead : cap) + (4 << 20) + (br && !sink ? 16 << 20 : 0);
        FUZZ_CHECK(!counted || peak - before < needs);

        if (reading.joinable())
            reading.join();
        // Where curl read the end of a final head, so did the download, unless
        // a limit of time ended it first (on a busy machine, the request may
        // not even be sent within the idle limit).
        const bool timed = outcome
            && (outcome->stop == Stop::idle || outcome->stop == Stop::unanswered || outcome->stop == Stop::overall);
        if (outcome && !timed && curlsStatus >= 200 && (curlsStatus < 300 || curlsStatus > 399))
            FUZZ_CHECK(outcome->status == int(curlsStatus));
        return outcome && !timed;
    };
    const bool sink = choice & 2;
    if (answer(sink, true))
        answer(!sink, false);
    return 0;
}
