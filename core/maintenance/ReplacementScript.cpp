#include "maintenance/ReplacementScript.h"

#include "maintenance/AppManifest.h"
#include "maintenance/UpdateLeftovers.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>

namespace ReplacementScript {

QString text()
{
    return QStringLiteral(
        "#!/bin/sh\n"
        "# Corvanta updater: $1 = pid of the running program, $2 = new folder, $3 = folder to replace,\n"
        "# $4 = outcome file, $5 = new version, $6 = program that exchanges two folders in one step\n"
        "# and tells whether a leftover holds the user's engine\n"
        "case \"$1\" in ''|0|*[!0-9]*) exit 1 ;; esac\n"
        "# born PID: when PID started, while it runs (a zombie has ended); the start time tells a pid\n"
        "# that names another process by now from the old program.\n"
        "born() { s=$(cat \"/proc/$1/stat\" 2>/dev/null) && set -- ${s##*) } && [ \"$1\" != Z ] && echo \"${20}\"; }\n"
        "BORN=$(born \"$1\"); while [ -n \"$BORN\" ] && [ \"$(born \"$1\")\" = \"$BORN\" ]; do sleep 0.2; done\n"
        "NEW=\"$2\"; OLD=\"$3\"; BACKUP=\"$3.updating\"; COPY=\"$(dirname \"$2\")/previous\"; START=\"$3\"; "
        "OUTCOME=\"$4\"\n"
        "# say STATUS TEXT [DETAIL]: the text for the user, a tool's own words only as the log's detail\n"
        "say() { printf '%s\\n%s\\n%s\\n' \"$1\" \"$2\" \"$3\" >\"$OUTCOME\" 2>/dev/null; }\n"
        "# field FOLDER NAME: a text field of the manifest in FOLDER\n"
        "field() { sed -n \"s/.*\\\"$2\\\"[[:space:]]*:[[:space:]]*\\\"\\([^\\\"]*\\)\\\".*/\\1/p\" "
        "\"$1/corvanta.json\" 2>/dev/null | head -n 1; }\n"
        "# From here on a logout's signals wait until the folders are in place and the outcome is written.\n"
        "trap '' TERM HUP INT QUIT\n"
        "# An exchange that swapped the folders and died before it could say so\n"
        "# leaves the new version in place: what stands at OLD tells.\n"
        "if \"$6\" ")
        + QLatin1String(exchangeOption)
        + QStringLiteral(" \"$NEW\" \"$OLD\" </dev/null >/dev/null 2>&1 \\\n"
        "  || [ \"$(field \"$OLD\" version)\" = \"$5\" ]; then\n"
        "  say updated \"Corvanta was updated to $5.\"\n"
        "# Only this application's backup, a real folder of this user's with its manifest, may be deleted.\n"
        "elif { [ -e \"$BACKUP\" ] || [ -L \"$BACKUP\" ]; } && ! { [ -d \"$BACKUP\" ] && [ ! -L \"$BACKUP\" ] "
        "&& [ -O \"$BACKUP\" ] && [ \"$(field \"$BACKUP\" id)\" = '")
            + AppManifest::appId()
            + QStringLiteral("' ]; }; then\n"
        "  say failed \"Corvanta $5 was not installed: $BACKUP is in the way, and it is not a backup of \"\\\n"
        "\"Corvanta. Please move it elsewhere; Corvanta will then offer the update again.\"\n"
        "# Nor one that holds files of the user's engine: only the program's plain no (status 1) lets it go.\n"
        "elif { [ -e \"$BACKUP\" ] || [ -L \"$BACKUP\" ]; } && { \"$6\" ")
            + QLatin1String(holdsEngineOption)
            + QStringLiteral(" \"$BACKUP\" \"$OLD\" </dev/null >/dev/null 2>&1; [ $? -ne 1 ]; }; then\n"
        "  say failed \"Corvanta $5 was not installed: $BACKUP, left by an earlier update, holds files of \"\\\n"
        "\"the P.533 engine that $OLD")
            + QLatin1String(UpdateLeftovers::engineFolder)
            + QStringLiteral(" lacks. Please move them there; Corvanta will then offer the update again.\"\n"
        "elif rm -rf \"$BACKUP\" 2>/dev/null; [ -e \"$BACKUP\" ] || [ -L \"$BACKUP\" ]; then\n"
        "  say failed \"Corvanta $5 was not installed: $BACKUP, left by an earlier update, cannot be deleted. \"\\\n"
        "\"Please delete it; Corvanta will then offer the update again.\"\n"
        "# Where the folders cannot be exchanged in one step: the old one aside, the new one in, and the old\n"
        "# one back should that fail, back to back in a process of their own, which a kill of this script\n"
        "# alone does not stop half way.\n"
        "elif MOVED=0; err=$(mv -T \"$OLD\" \"$BACKUP\" 2>&1 || exit 3; mv -T \"$NEW\" \"$OLD\" 2>&1 && exit 0; \\\n"
        "  mv -T \"$BACKUP\" \"$OLD\" 2>/dev/null && exit 1; exit 2) || MOVED=$?; [ $MOVED -eq 3 ]; then\n"
        "  say failed \"Corvanta $5 was not installed: $OLD could not be moved aside.\" \"$err\"\n"
        "elif [ $MOVED -eq 0 ]; then\n"
        "  rm -rf \"$BACKUP\" 2>/dev/null\n"
        "  if [ -e \"$BACKUP\" ]; then\n"
        "    say updated \"Corvanta was updated to $5; the old version in $BACKUP could not be deleted.\"\n"
        "  else\n"
        "    say updated \"Corvanta was updated to $5.\"\n"
        "  fi\n"
        "elif [ $MOVED -eq 1 ]; then\n"
        "  say failed \"Corvanta $5 was not installed: it could not be moved into $OLD. \"\\\n"
        "\"The previous version was put back.\" \"$err\"\n"
        "elif cp -a -T \"$BACKUP\" \"$COPY\" 2>/dev/null && mv -T \"$COPY\" \"$OLD\" 2>/dev/null; then\n"
        "  rm -rf \"$BACKUP\" 2>/dev/null\n"
        "  say failed \"Corvanta $5 was not installed: it could not be moved into $OLD. \"\\\n"
        "\"The previous version could not be moved back either and was copied back.\" \"$err\"\n"
        "else\n"
        "  START=\"$BACKUP\"\n"
        "  say failed \"Corvanta $5 was not installed, and the previous version could not be put back into $OLD: \"\\\n"
        "\"it is in $BACKUP. Please move it back by hand.\"\n"
        "fi\n"
        "trap - TERM HUP INT QUIT\n"
        "rm -rf \"$(dirname \"$NEW\")\"\n"
        "(cd / && exec \"$START/bin/corvanta\" </dev/null >/dev/null 2>&1 &)\n"
        "rm -f \"$0\"");
}

QStringList arguments(const QString& scriptPath, qint64 processId, const QString& newFolder, const QString& oldFolder,
                      const QString& outcomeFile, const QString& version, const QString& program)
{
    return { scriptPath, QString::number(processId), newFolder, oldFolder, outcomeFile, version, program };
}

int exchangeFolders(const char* first, const char* second)
{
    if (::renameat2(AT_FDCWD, first, AT_FDCWD, second, RENAME_EXCHANGE) == 0)
        return 0;
    std::fprintf(stderr, "corvanta: %s and %s cannot be exchanged: %s\n", first, second, std::strerror(errno));
    return 1;
}

int leftoverHoldsEngine(const char* leftover, const char* app)
{
    return UpdateLeftovers::holdsUsersEngine(QFile::decodeName(leftover), QFile::decodeName(app)) ? 0 : 1;
}

std::optional<Outcome> takeOutcome(const QString& outcomeFile)
{
    QFile file(outcomeFile);
    if (!file.exists())
        return std::nullopt;
    constexpr qint64 maxBytes = 4096;
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.read(maxBytes) : QByteArray();
    file.close();
    file.remove();

    const QString content = QString::fromUtf8(bytes);
    // The status, the text, and what a tool said, if anything.
    const QStringList lines = content.split(u'\n');
    const QString text = lines.value(1).trimmed();
    const QString detail = lines.mid(2).join(u'\n').trimmed();
    if (lines.first() == QLatin1String("updated") && !text.isEmpty())
        return Outcome { true, text, detail };
    if (lines.first() == QLatin1String("failed") && !text.isEmpty())
        return Outcome { false, text, detail };
    const QString said = content.trimmed();
    return Outcome { false,
                     said.isEmpty() ? QStringLiteral("An update ended without saying how.")
                                    : QStringLiteral("An update ended with: ") + said };
}

} // namespace ReplacementScript
