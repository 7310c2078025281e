#include "support/UpdateFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

namespace UpdateFixture {

QByteArray markerProgram(const QString& marker, const QByteArray& text)
{
    return "#!/bin/sh\necho " + text + " > '" + marker.toUtf8() + "'\n";
}

void makeAppFolder(const QString& folder, const QString& id, const QString& version, const QByteArray& program)
{
    writeFile(folder + "/corvanta.json",
              QStringLiteral("{\"id\": \"%1\", \"version\": \"%2\"}\n").arg(id, version).toUtf8());
    if (program.isEmpty())
        return;
    writeFile(folder + "/bin/corvanta", program);
    QFile::setPermissions(folder + "/bin/corvanta",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
}

QByteArray zipFolder(const QString& folder)
{
    QTemporaryDir out;
    const QFileInfo info(folder);
    QProcess zip;
    zip.setWorkingDirectory(info.absolutePath());
    zip.start("zip", { "-q", "-r", "-y", out.filePath("a.zip"), info.fileName() });
    if (!zip.waitForFinished() || zip.exitStatus() != QProcess::NormalExit || zip.exitCode() != 0)
        return {};
    return readFile(out.filePath("a.zip"));
}

QByteArray appArchive(const QString& id, const QString& version, const QByteArray& program)
{
    QTemporaryDir dir;
    makeAppFolder(dir.filePath("Corvanta"), id, version, program);
    return zipFolder(dir.filePath("Corvanta"));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

} // namespace UpdateFixture
