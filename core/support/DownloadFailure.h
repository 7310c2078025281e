#pragma once

#include "support/Download.h"

#include <QString>

#include <functional>
#include <optional>

// The one reading of how a download ended, for every caller: why it brought
// no answer the caller can use, or none when its answer came whole with a
// status the caller takes. A status the caller does not take is the failure,
// whatever else went wrong with it (unless the user cancelled); then the
// limit or rule that ended the download; then the transport's failure.
// Each caller words the ends it names in its own terms (its "too large"
// only where its cap on the body ended the download); every other end reads
// as the download put it.
namespace DownloadFailure {

struct Words {
    std::function<bool(int status)> accepted = {};  // none: any 2xx
    std::function<QString(int status)> status = {}; // none: "HTTP 404"
    QString idle = {};                              // the server stopped sending
    QString overall = {};                           // not in whole within the limit
    QString tooLarge = {};
    QString refusedHop = {};
};

std::optional<QString> of(const Download::Outcome& outcome, const Words& words = {});
// A failure's words for the log: with the library's detail where there is one.
QString logged(const QString& failure, const Download::Outcome& outcome);

} // namespace DownloadFailure
