#include "rotator/RotatorManager.h"
#include "support/Settings.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// A GS-232B controller at the far end of a pseudo-terminal that stands
// wherever it was last sent, and notes when each command arrived.
class PtyController {
public:
    PtyController()
    {
        char name[256] = {};
        ::openpty(&m_master, &m_slave, name, nullptr, nullptr);
        termios raw {};
        ::tcgetattr(m_slave, &raw);
        ::cfmakeraw(&raw);
        ::tcsetattr(m_slave, TCSANOW, &raw);
        m_path = QString::fromLocal8Bit(name);
        m_thread = std::thread([this] { run(); });
    }
    ~PtyController()
    {
        m_quit = true;
        m_thread.join();
        ::close(m_master);
        ::close(m_slave);
    }

    const QString& path() const { return m_path; }

    // Waits for the next command of that kind after `since`; when it came.
    Clock::time_point waitFor(char kind, Clock::time_point since)
    {
        std::unique_lock lock(m_mutex);
        const auto& times = kind == 'M' ? m_moves : m_queries;
        m_arrived.wait(lock, [&] { return !times.empty() && times.back() > since; });
        return *std::find_if(times.begin(), times.end(), [&](Clock::time_point t) { return t > since; });
    }

private:
    void run()
    {
        QByteArray received;
        while (!m_quit) {
            pollfd p { m_master, POLLIN, 0 };
            if (::poll(&p, 1, 20) <= 0)
                continue;
            char chunk[256];
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            const auto now = Clock::now();
            if (n <= 0)
                continue;
            received.append(chunk, n);
            for (qsizetype end; (end = received.indexOf('\r')) >= 0;) {
                const QByteArray command = received.left(end);
                received.remove(0, end + 1);
                std::lock_guard lock(m_mutex);
                if (command == "C") {
                    const QByteArray answer = "AZ=" + m_azimuth + '\r';
                    (void)::write(m_master, answer.constData(), size_t(answer.size()));
                    m_queries.push_back(now);
                } else if (command.startsWith('M')) {
                    m_azimuth = command.mid(1);
                    m_moves.push_back(now);
                }
                m_arrived.notify_all();
            }
        }
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    std::thread m_thread;
    std::atomic<bool> m_quit { false };
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    QByteArray m_azimuth = "000";
    std::vector<Clock::time_point> m_queries;
    std::vector<Clock::time_point> m_moves;
};

// From turn() on the main thread to the move command at the controller,
// while the worker rests in its 1.0 s pause between polls (the application's
// own timings). Each turn is asked at a random point of the pause.
void BM_TurnReachesTheController(benchmark::State& state)
{
    QTemporaryDir home;
    // The manager logs each turn: keep that out of the user's own log.
    qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
    PtyController controller;
    Settings settings(home.filePath("settings.ini"));
    RotatorConfig config;
    config.port = controller.path();
    config.softStart = false;
    RotatorConfig::save(settings, { config });
    RotatorManager rotors(settings, RotatorTimings {});

    std::mt19937 random(29);
    std::uniform_int_distribution<int> restMs(50, 900);
    Clock::time_point last = controller.waitFor('C', Clock::time_point {});
    double worst = 0;
    int bearing = 0;
    for (auto _ : state) {
        // The turn before has arrived (the controller stands at its target),
        // been read back, and the worker rests.
        last = controller.waitFor('C', last);
        std::this_thread::sleep_for(std::chrono::milliseconds(restMs(random)));
        bearing = (bearing + 37) % 360;
        const auto asked = Clock::now();
        rotors.turn(config.id, bearing);
        const auto moved = controller.waitFor('M', asked);
        const double seconds = std::chrono::duration<double>(moved - asked).count();
        worst = std::max(worst, seconds);
        state.SetIterationTime(seconds);
        last = moved;
        QCoreApplication::processEvents(); // the worker's reports
    }
    state.counters["worst_ms"] = worst * 1000;
}

} // namespace

BENCHMARK(BM_TurnReachesTheController)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);
