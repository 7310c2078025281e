#include "kit/AppLog.h"

#include "kit/CrashLog.h"
#include "kit/FileManager.h"
#include "maintenance/VersionCheck.h"
#include "spaceweather/SpaceWeatherClient.h"
#include "support/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>

#include <cmath>
#include <unistd.h>

namespace {

// The start of a small file from the kernel; empty when there is none.
QByteArray readStart(const char* path)
{
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(256);
}

// PRETTY_NAME of /etc/os-release ("Debian GNU/Linux 12 (bookworm)").
QString osName()
{
    for (const char* path : { "/etc/os-release", "/usr/lib/os-release" }) {
        QFile file(QString::fromLatin1(path));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        while (!file.atEnd()) {
            const QString line = QString::fromUtf8(file.readLine()).trimmed();
            if (!line.startsWith(QStringLiteral("PRETTY_NAME=")))
                continue;
            QString value = line.mid(12);
            if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
                value = value.mid(1, value.size() - 2);
            if (!value.isEmpty())
                return value;
        }
    }
    return QSysInfo::kernelVersion();
}

std::uint64_t physicalMemory()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

} // namespace

namespace AppLog {

QString folder()
{
    static const QString path
        = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/Corvanta");
    return path;
}

LogFile& file()
{
    // Lives until the process ends; its destructor finishes queued lines at exit.
    static LogFile log(folder() + QStringLiteral("/log.txt"), maxBytes);
    return log;
}

void start()
{
    static bool started = false;
    if (started)
        return;
    started = true;

    // On disk before anything else happens; the append also creates the
    // folder and the file the crash descriptor opens next.
    file().write(startLine());
    file().flush();

    const QString path = file().path();
    CrashLog::install(path);
    // After a rotation the descriptor would point at the older generation,
    // and after a second one at a deleted file: follow the current file.
    file().setRotationHook([path] { CrashLog::repoint(path); });

    noteMissingMapData(ResourceFolders::standard());

    // Every failed feed request leaves its own line; the hook is called from
    // whatever thread the request ended on, and writing a line is safe there.
    SpaceWeatherClient::setOnFailure(&dataFeedFailed);
    // The settings file's troubles: unreadable at start, or not saved.
    Settings::setLog([](const QString& line) { file().write(line); });
}

QString startLine()
{
    return QStringLiteral("Corvanta ") + currentAppVersion()
                          + QStringLiteral(" started \u00B7 ") + systemDescription();
}

QString systemDescription()
{
    return describeSystem(osName(),
                          machineModel(readStart("/sys/class/dmi/id/product_name"),
                                       readStart("/proc/device-tree/model")),
                          QSysInfo::buildCpuArchitecture(), physicalMemory());
}

QString machineModel(const QByteArray& dmiProductName, const QByteArray& deviceTreeModel)
{
    for (QByteArray text : { dmiProductName, deviceTreeModel }) {
        for (const char end : { '\0', '\n' })
            if (const qsizetype at = text.indexOf(end); at >= 0)
                text.truncate(at);
        const QString model = QString::fromUtf8(text).trimmed();
        if (!model.isEmpty())
            return model;
    }
    return QStringLiteral("unknown model");
}

QString describeSystem(const QString& os, const QString& model, const QString& architecture, std::uint64_t memoryBytes)
{
    const double gib = static_cast<double>(memoryBytes) / 1073741824.0;
    return QStringLiteral("Linux ") + os
                          + QStringLiteral(", ") + model
                                           + QStringLiteral(" ") + architecture
                                                            + QStringLiteral(", ") + QString::number(std::llround(gib))
                                                                             + QStringLiteral(" GB RAM");
}

void openFolder()
{
    QDir().mkpath(folder());
    const QString log = file().path();
    if (QFileInfo::exists(log))
        FileManager::reveal(log);
    else
        FileManager::openFolder(folder());
}

void noteMissingMapData(const ResourceFolders& folders)
{
    if (!folders.core.isEmpty() && !QFileInfo(folders.core).isDir())
        file().write(QStringLiteral("Map data: core resource folder not found: ") + folders.core);
}

void dataFeedFailed(const QString& feed, const QString& message)
{
    file().write(QStringLiteral("Data feed failed: ") + feed + QStringLiteral(": ") + message);
}

} // namespace AppLog
