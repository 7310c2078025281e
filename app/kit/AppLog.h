#pragma once

#include "geo/MapData.h"
#include "support/LogFile.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

// The application's logging front: the support folder, the one log file
// every subsystem writes to, the start line of each run and the one-line
// description of the machine.
namespace AppLog {

inline constexpr qint64 maxBytes = 500000;

// QStandardPaths::GenericDataLocation + "/Corvanta"; worked out on first use.
QString folder();

// "log.txt" in the support folder, capped at 500000 bytes; created on first use.
LogFile& file();

// Once per process, before the first-run defaults and the stores: writes and
// flushes the start line, opens the crash log and installs its handlers,
// and points the space weather client's failure hook at dataFeedFailed()
// and the settings store's lines at the log.
// Later calls do nothing.
void start();

// "Corvanta 0.9.0 started · " + the system description.
QString startLine();

// "Linux " + OS name + ", " + machine model + " " + architecture + ", " +
// memory + " GB RAM", read afresh at each call.
QString systemDescription();

// The machine's model from the contents of two files: the firmware's product
// name (/sys/class/dmi/id/product_name) or, where that has none, the device
// tree's model (/proc/device-tree/model, as on a Raspberry Pi). The first
// line of the first with text, cut at a NUL byte (device-tree strings end in
// one) and trimmed; "unknown model" when neither has any.
QString machineModel(const QByteArray& dmiProductName, const QByteArray& deviceTreeModel);

// The description from its parts; memory in bytes, shown in whole GiB
// rounded half away from zero.
QString describeSystem(const QString& osName, const QString& model, const QString& architecture,
                       std::uint64_t memoryBytes);

// Shows the log file selected in the file manager, or the support folder
// when there is no log yet.
void openFolder();

// Without the core resource folder the map draws no countries, labels or
// zones; start() leaves one line that says so:
// "Map data: core resource folder not found: " and the folder.
void noteMissingMapData(const ResourceFolders& folders);

// The line a failed data feed leaves: "Data feed failed: feed: message".
void dataFeedFailed(const QString& feed, const QString& message);

} // namespace AppLog
