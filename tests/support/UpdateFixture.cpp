#include "support/UpdateFixture.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
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

namespace {

quint32 crc32(const QByteArray& data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char byte : data) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put16(QByteArray& out, quint32 value)
{
    out += char(value & 0xFF);
    out += char((value >> 8) & 0xFF);
}

void put32(QByteArray& out, quint32 value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

} // namespace

QByteArray storedZip(const QList<ZipEntry>& entries)
{
    QByteArray out;
    QByteArray directory;
    for (const ZipEntry& entry : entries) {
        const QByteArray name = entry.name.toUtf8();
        const quint32 crc = crc32(entry.data);
        const bool lies = entry.listedSize >= 0;
        // Raw deflate: qCompress's stream without its length, zlib header and checksum.
        const QByteArray stored = lies ? qCompress(entry.data).mid(6).chopped(4) : entry.data;
        const quint32 packed = quint32(stored.size());
        const quint32 size = quint32(lies ? entry.listedSize : entry.data.size());
        const quint32 method = lies ? 8 : 0;
        const quint32 offset = quint32(out.size());
        // What both records hold: version 1.0 (2.0 to inflate), no flags, a
        // fixed time, the sizes, no extra field.
        const auto common = [&](QByteArray& record) {
            put16(record, lies ? 20 : 10);
            put16(record, 0);
            put16(record, method);
            put32(record, 0x58210000);
            put32(record, crc);
            put32(record, packed);
            put32(record, size);
            put16(record, quint32(name.size()));
            put16(record, 0);
        };
        // Local header.
        put32(out, 0x04034b50);
        common(out);
        out += name + stored;

        // Central record, made on Unix, with the mode in the external attributes.
        const quint32 mode = entry.kind == ZipEntry::Kind::link ? 0120777
            : entry.kind == ZipEntry::Kind::folder              ? 040755
            : entry.kind == ZipEntry::Kind::program             ? 0100755
                                                                : 0100644;
        put32(directory, 0x02014b50);
        put16(directory, (3 << 8) | 30);
        common(directory);
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, 0);
        put32(directory, mode << 16);
        put32(directory, offset);
        directory += name;
    }
    const quint32 start = quint32(out.size());
    out += directory;
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint32(entries.size()));
    put16(out, quint32(entries.size()));
    put32(out, quint32(directory.size()));
    put32(out, start);
    put16(out, 0);
    return out;
}

QStringList snapshot(const QString& folder)
{
    QStringList lines;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        QString line = entry.filePath().mid(folder.size()) + ' ' + QString::number(int(entry.permissions()), 16);
        if (entry.isSymLink())
            line += " -> " + entry.symLinkTarget();
        else if (entry.isFile())
            line += ' ' + QCryptographicHash::hash(readFile(entry.filePath()), QCryptographicHash::Sha1).toHex();
        lines << line;
    }
    lines.sort();
    return lines;
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
