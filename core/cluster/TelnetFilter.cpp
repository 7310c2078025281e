#include "cluster/TelnetFilter.h"

namespace {

constexpr unsigned char IAC = 255;
constexpr unsigned char SB = 250;
constexpr unsigned char SE = 240;
constexpr unsigned char WILL = 251;
constexpr unsigned char DONT = 254;

} // namespace

QByteArray TelnetFilter::filter(QByteArrayView chunk)
{
    QByteArray work;
    if (m_pending.isEmpty()) {
        work = chunk.toByteArray();
    } else {
        work = std::move(m_pending);
        work.append(chunk);
    }
    m_pending.clear();
    const qsizetype searched = m_searched;
    m_searched = 0;

    const auto* bytes = reinterpret_cast<const unsigned char*>(work.constData());
    const qsizetype n = work.size();
    QByteArray out;
    out.reserve(n);
    qsizetype i = 0;
    bool incomplete = false;
    while (i < n && !incomplete) {
        const unsigned char b = bytes[i];
        if (b == 0) {
            ++i;
        } else if (b != IAC) {
            out.append(static_cast<char>(b));
            ++i;
        } else if (i + 1 == n) {
            incomplete = true;
        } else {
            const unsigned char verb = bytes[i + 1];
            if (verb == IAC) {
                out.append(static_cast<char>(IAC));
                i += 2;
            } else if (verb >= WILL && verb <= DONT) {
                if (i + 2 >= n)
                    incomplete = true;
                else
                    i += 3;
            } else if (verb == SB) {
                if (i + 3 >= n) {
                    incomplete = true;
                } else {
                    // The end mark IAC SE, searched from right after IAC SB.
                    // Held back from the last chunk, the search resumes.
                    qsizetype j = i == 0 ? searched : i;
                    while (j + 3 < n && !(bytes[j + 2] == IAC && bytes[j + 3] == SE))
                        ++j;
                    if (j + 3 < n) {
                        i = j + 4;
                    } else {
                        incomplete = true;
                        m_searched = j - i;
                    }
                }
            } else {
                i += 2;
            }
        }
    }
    if (incomplete && n - i <= maxPending)
        m_pending = i == 0 ? std::move(work) : work.sliced(i);
    else
        m_searched = 0;
    return out;
}
