#pragma once

#include "cluster/CtyDat.h"
#include "cluster/DXCCProgress.h"
#include "cluster/DXSpot.h"
#include "cluster/SpotDisplayOptions.h"
#include "support/StringKey.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>

#include <optional>

// One alert waiting for the next notification.
struct SpotAlert {
    QString text;
    bool watched = false; // a watched call, not a needed country

    friend bool operator==(const SpotAlert&, const SpotAlert&) = default;
};

// The alert memory: which alert keys matched a spot, and when last. A key
// alerts once, then stays silent while matching spots keep arriving; once
// it has gone a whole spot window without one (and a prune ran), it can
// alert again.
class SpotAlerts {
public:
    // Which alerts the operator wants raised. A switched-off alert still
    // records its key, so switching it on later does not alert for calls
    // already on the cluster.
    struct Switches {
        bool watched = true;
        bool needed = true;
    };

    // Tests one new spot: first its call against the watch list (whatever
    // its mode and band), then, through the mode and band filter, its DXCC
    // country (`dxcc`, none when the call has none) against the progress
    // (none without a logbook). Gives the alerts to raise, in that order.
    QList<SpotAlert> check(const DXSpot& spot, const SpotDisplayOptions& options, const std::optional<CtyEntity>& dxcc,
                           const DXCCProgress* progress, Switches switches, const QDateTime& now);

    // Forgets the keys last matched before the cutoff (at the cutoff stays).
    void prune(const QDateTime& cutoff);
    // Forgets the needed-country keys: after the progress changed, countries
    // still needed may alert again; watched calls stay quiet.
    void forgetNeeded();

    const QHash<StringKey, QDateTime>& seen() const { return m_seen; }

    // "W|K1ABC|20"; the band's metres, 0 without band.
    static QString watchedKey(const DXSpot& spot);
    // "N|DL" in the country scope, "N|DL|20" in the band-country scope.
    static QString neededKey(const CtyEntity& country, const DXSpot& spot, NeedScope scope);
    // "14025.0 CW": the kHz with one decimal, then the mode when known.
    static QString detail(const DXSpot& spot);

private:
    QHash<StringKey, QDateTime> m_seen;
};

// One notification for the alerts of one batch.
namespace AlertBatch {

// "Watched call on the cluster" or "Needed country on the cluster" for one
// alert, "3 DX alerts" for more.
QString title(const QList<SpotAlert>& alerts);
// The first five texts, one a line, then "…" on a line of its own when
// there were more.
QString body(const QList<SpotAlert>& alerts);
// The freedesktop sound-theme event of the batch: "complete" when a watched
// call is among it, else "message-new-instant".
QString soundEvent(const QList<SpotAlert>& alerts);

} // namespace AlertBatch
