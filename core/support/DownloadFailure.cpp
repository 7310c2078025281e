#include "support/DownloadFailure.h"

namespace DownloadFailure {

std::optional<QString> of(const Download::Outcome& outcome, const Words& words)
{
    using Stop = Download::Stop;
    if (outcome.stop == Stop::cancelled)
        return outcome.reason;
    if (const std::optional<int> status = outcome.status) {
        const bool accepted = words.accepted ? words.accepted(*status) : *status >= 200 && *status <= 299;
        if (!accepted)
            return words.status ? words.status(*status) : QStringLiteral("HTTP %1").arg(*status);
    }
    const auto worded = [&](const QString& own) { return own.isEmpty() ? outcome.reason : own; };
    switch (outcome.stop) {
    case Stop::none:
        break;
    case Stop::idle:
        return worded(words.idle);
    case Stop::overall:
        return worded(words.overall);
    case Stop::tooLarge:
        return worded(words.tooLarge);
    case Stop::refusedHop:
        return worded(words.refusedHop);
    default:
        return outcome.reason;
    }
    if (!outcome.error.isEmpty())
        return outcome.error;
    return std::nullopt;
}

QString logged(const QString& failure, const Download::Outcome& outcome)
{
    if (outcome.detail.isEmpty() || failure != outcome.error)
        return failure;
    return failure + QStringLiteral(" Detail: ") + outcome.detail;
}

} // namespace DownloadFailure
