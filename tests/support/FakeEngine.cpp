#include "support/FakeEngine.h"

#include "prediction/ITUDataFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

FakeEngine::FakeEngine(bool withData)
{
    for (const QString& folder : { engineFolder(), dataFolder(), bundledDataFolder(), workParent() })
        QDir().mkpath(folder);
    const QString program = engineFolder() + "/ITURHFProp";
    QFile::copy(QCoreApplication::applicationDirPath() + "/fake_iturhfprop", program);
    QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (withData)
        for (int month = 1; month <= 12; ++month)
            writeDataFiles(dataFolder(), month);
}

bool FakeEngine::writeDataFiles(const QString& folder, int month)
{
    QDir().mkpath(folder);
    bool written = writeMonthFile(folder + u'/' + ITUDataFiles::fileName(month), ITUDataFiles::monthFileBytes);
    for (const QString& name : { ITUDataFiles::noiseFileName(month), ITUDataFiles::decileFileName() }) {
        QFile file(folder + u'/' + name);
        written = file.open(QIODevice::WriteOnly) && file.write("stand-in coefficients\n") > 0 && written;
    }
    return written;
}

bool FakeEngine::writeMonthFile(const QString& path, qint64 bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(bytes);
}

void FakeEngine::setControl(const QString& lines)
{
    QFile file(engineFolder() + "/fake-engine.conf");
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(lines.toUtf8());
}

void FakeEngine::uninstall() { QFile::remove(engineFolder() + "/ITURHFProp"); }

QStringList FakeEngine::log() const
{
    QFile file(engineFolder() + "/fake-engine.log");
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

int FakeEngine::started() const { return int(log().filter(QRegularExpression("^start ")).size()); }

QHash<QString, int> FakeEngine::requests() const
{
    QHash<QString, int> counts;
    for (const QString& line : log())
        if (line.startsWith("request "))
            ++counts[line.mid(8)];
    return counts;
}

int FakeEngine::ended() const { return int(log().filter(QRegularExpression("^end ")).size()); }

QStringList FakeEngine::leftoverWorkFolders() const
{
    return QDir(workParent()).entryList({ "Corvanta-ITU-*" }, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}
