// Any bytes as a server's answers on a loopback socket or a proxy's to
// CONNECT, the last part of each sent again up to a length of the input's
// choice, paced as the input says (pauses, small sends, an answer for each
// connection, silence on a connection left open), to one download with
// small limits, with a slow sink or none, destroyed under way if the input
// says so; an answer that ends by itself is given to the other kind of
// download too. It ends within the limit that ended it (by the idle one
// where the server left it nothing to read for longer), the client closes
// each connection soon after, whatever was sent, it is gone at once, and
// the live heap (where the sanitizer counts it) never passes what the
// answer needs: what the body kept reserved and a few MB, brotli's window,
// or for a sink what may wait for it. The body handed over is the body
// counted. Where it reads what curl reads, a plain curl transfer given the
// same answer reads the same: the head's end and status, and an answer
// whole only where curl's was, with the same body.

#include "FuzzSupport.h"

#include "support/Download.h"
#include "support/HostilePeer.h"
#include "support/TestEnvironment.h"

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

// A body's length and a hash of its bytes in order, taken as it comes.
struct Digest {
    qint64 bytes = 0;
    quint64 hash = 14695981039346656037ull;
    void add(QByteArrayView piece)
    {
        bytes += piece.size();
        for (const char byte : piece)
            hash = (hash ^ quint8(byte)) * 1099511628211ull;
    }
    bool operator==(const Digest&) const = default;
};

// curl's own reading of an answer: how its transfer ended, the body up to
// `cap`, and the status of the head after which the body began (0 when no
// body began). Read until `until` (set once the download ended: as long
// again as it took, so that curl, reading the same bytes, has the time it
// needs, and an answer without end costs no more than the download). It
// asks for the codings the download asks for, so that curl refuses a
// coding it does not know in the head as it does in the download's.
struct Reading {
    CURLcode result = CURLE_OK;
    long status = 0;
    Digest body;
    bool began = false, overCap = false;
    qint64 cap = 0;
    // Whether it ended by itself: not cut short by `until`, its time or the cap.
    bool whole() const { return !overCap && result != CURLE_ABORTED_BY_CALLBACK && result != CURLE_OPERATION_TIMEDOUT; }
};

Reading curlsReading(const QString& url, const std::atomic<Clock::time_point>& until, bool decoding, qint64 cap)
{
    uncounted = true;
    Reading reading;
    reading.cap = cap;
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
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &reading);
    curl_easy_setopt(
        easy, CURLOPT_WRITEFUNCTION, +[](char* data, std::size_t, std::size_t size, void* to) -> std::size_t {
            auto* reading = static_cast<Reading*>(to);
            reading->began = true;
            if (reading->body.bytes + qint64(size) > reading->cap) {
                reading->overCap = true;
                return 0;
            }
            reading->body.add(QByteArrayView(data, qsizetype(size)));
            return size;
        });
    reading.result = curl_easy_perform(easy);
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reading.status);
    curl_easy_cleanup(easy);
    if (!reading.began)
        reading.status = 0;
    return reading;
}

// An answer's bytes as sent, enough to see every word they spell: the head,
// and the filler twice, for a word across the head's end or the repeat.
QByteArray asSent(const HostilePeer::Answer& answer) { return answer.head + answer.filler + answer.filler; }

// Whether a line of the heads before the body (interim ones too) begins
// with a NUL byte, at which curl drops the rest of a read: two transfers of
// the same bytes then read alike only if their reads were cut alike. Where
// a status may be 1xx the heads are taken to go on.
bool nulLedHeadLine(QByteArrayView sent)
{
    bool statusLine = true, interim = false;
    for (qsizetype at = 0; at < sent.size();) {
        const qsizetype lf = sent.indexOf('\n', at);
        const QByteArrayView line = sent.sliced(at, (lf < 0 ? sent.size() : lf + 1) - at);
        if (at > 0 && line.front() == '\0')
            return true;
        if (statusLine) {
            // "HTTP/1.1 1xx": the status after the version and the blanks.
            QByteArrayView rest = line.trimmed();
            while (!rest.isEmpty() && rest.front() != ' ' && rest.front() != '\t')
                rest = rest.sliced(1);
            rest = rest.trimmed();
            interim = rest.isEmpty() || rest.front() == '1' || rest.front() == '+';
            statusLine = false;
        } else if (line.front() == '\r' || line.front() == '\n') {
            if (!interim)
                return false;
            statusLine = true;
        }
        if (lf < 0)
            break;
        at = lf + 1;
    }
    return false;
}

// What the body kept whole holds at most: room for what the head
// announced, or grown by doubling (the buffer before and after a copy), and
// past a megabyte the cap at once.
qint64 keptRoom(qint64 cap, qint64 announced, qint64 bytes)
{
    const qint64 grown = bytes > (1 << 20) ? cap : 3 * std::min(bytes, cap);
    return std::max(grown, announced > 0 && announced <= cap ? announced : 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_ServerAnswer", *argv[] = { name, nullptr };
    static QCoreApplication application(argc, argv);
    static const bool counted = [] {
        Download::initialise();
        TestEnvironment::clearProxies();
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
    // Once all is sent, silence on a connection left open, not the end of it.
    const bool holdOpen = pacing >> 3 >= 24;
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
        answers.append({ .head = head, .filler = filler, .fillerBytes = fillerBytes, .holdOpen = holdOpen });
        br = br || asSent(answers.back()).toLower().contains("br");
    } while (several && !input.atEnd() && answers.size() <= Download::maxHops);
    const bool nulLedLine = nulLedHeadLine(asSent(answers.front()));

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
        Reading curls;
        std::atomic<Clock::time_point> readingUntil = Clock::time_point::max();
        std::thread reading;
        if (compared)
            reading = std::thread([&] { curls = curlsReading(plain.url(), readingUntil, !sink, cap); });

        const Download::Limits limits { idle, 250ms, cap, Download::sameSite(url) };
        auto* download = new Download({ url }, limits, nullptr);
        Digest sunk;
        if (sink) // slower than the network and than any decoder, as a disk may be
            download->setSink([&sunk](QByteArrayView piece) {
                sunk.add(piece);
                std::this_thread::sleep_for(1ms + 1ms * (piece.size() >> 15));
                return QString();
            });
        const qint64 before = live;
        peak = before;
        std::optional<Download::Outcome> outcome;
        qint64 announced = -1;
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
            announced = download->announcedBytes();
            destroying.stop();
        });
        while (!outcome && !destroyed)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const auto end = Clock::now();
        server.stopClock(end);
        readingUntil = end + std::max<Clock::duration>(end - began, 50ms);
        if (outcome) {
            // Through the proxy, curl sets up TLS (reads the system's
            // certificates) within one call, a second under the sanitizers.
            FUZZ_CHECK(end - began < loaded(limits.overall + (proxied ? 1250ms : 250ms)));
            const auto from = Clock::now();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            FUZZ_CHECK(Clock::now() - from < loaded(50ms));
        }
        // Every connection is closed by the client soon, whatever was sent.
        while (server.serving() > 0 && Clock::now() - end < loaded(2 * std::chrono::milliseconds(pauseMs) + 300ms))
            std::this_thread::sleep_for(1ms);
        FUZZ_CHECK(server.serving() == 0);
        // Nothing of the body ever on one connection, or the client left with
        // nothing to read for longer than the idle limit: the idle limit ends
        // it, not the overall one. A sink lets the client fall behind what it
        // received (and stops the limit meanwhile), unless the server sends
        // a piece at most every 40 ms.
        const bool bodiless = outcome && outcome->bytes == 0 && server.accepted() <= 1;
        const bool silence = (!sink || pauseMs >= 40) && server.longestGap() >= loaded(2 * idle);
        FUZZ_CHECK(!outcome || idle > 20ms || !(silence || bodiless) || outcome->stop != Stop::overall);
        // The body kept whole reserves what it holds at most; what waits for
        // a sink and what the sink holds twice what may wait (grown by
        // doubling); curl's head, a read, a decoder's state and brotli's
        // window come on top.
        const qint64 bytes = outcome ? outcome->bytes : cap;
        const qint64 room = sink ? std::min(4 * Download::sinkAhead, 4 * bytes) : keptRoom(cap, announced, bytes);
        const qint64 needs = room + (4 << 20) + (br && !sink ? 16 << 20 : 0);
        FUZZ_CHECK(!counted || peak - before < needs);

        if (reading.joinable())
            reading.join();
        if (!outcome)
            return false;
        // The body handed over is the body counted: whole where it is an answer.
        const bool success = outcome->stop == Stop::none && outcome->error.isEmpty();
        Digest kept;
        kept.add(outcome->body);
        const Digest& got = sink ? sunk : kept;
        FUZZ_CHECK(got.bytes <= outcome->bytes);
        FUZZ_CHECK(!success || got.bytes == outcome->bytes);
        // An answer from one connection read by curl to its end: a success
        // only where curl's reading was one, and then the same body.
        if (compared && success && server.accepted() == 1 && curls.whole()) {
            FUZZ_CHECK(curls.result == CURLE_OK);
            FUZZ_CHECK(got == curls.body);
        }
        FUZZ_CHECK(!(compared && success && server.accepted() == 1 && curls.overCap));
        // Where curl read the end of a final head, so did the download, unless
        // a limit of time ended it first (on a busy machine, the request may
        // not even be sent within the idle limit).
        const bool timed
            = outcome->stop == Stop::idle || outcome->stop == Stop::unanswered || outcome->stop == Stop::overall;
        if (!timed && curls.status >= 200 && (curls.status < 300 || curls.status > 399))
            FUZZ_CHECK(outcome->status == int(curls.status));
        return !timed;
    };
    const bool sink = choice & 2;
    if (answer(sink, true))
        answer(!sink, false);
    return 0;
}
