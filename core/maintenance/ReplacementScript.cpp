#include "maintenance/ReplacementScript.h"

namespace ReplacementScript {

QString text()
{
    return QStringLiteral(
        "#!/bin/sh\n"
        "# Corvanta updater: $1 = pid of the running program, $2 = new folder, $3 = folder to replace\n"
        "case \"$1\" in ''|0|*[!0-9]*) exit 1 ;; esac\n"
        "while kill -0 \"$1\" 2>/dev/null; do sleep 0.2; done\n"
        "OLD=\"$3\"; BACKUP=\"$3.updating\"\n"
        "rm -rf \"$BACKUP\"\n"
        "if [ ! -e \"$BACKUP\" ] && mv \"$OLD\" \"$BACKUP\"; then\n"
        "  if mv \"$2\" \"$OLD\"; then\n"
        "    rm -rf \"$BACKUP\"\n"
        "  else\n"
        "    rm -rf \"$OLD\"\n"
        "    [ -e \"$OLD\" ] || mv \"$BACKUP\" \"$OLD\"\n"
        "  fi\n"
        "fi\n"
        "rm -rf \"$(dirname \"$2\")\"\n"
        "(cd / && exec \"$OLD/bin/corvanta\" </dev/null >/dev/null 2>&1 &)\n"
        "rm -f \"$0\"");
}

QStringList arguments(const QString& scriptPath, qint64 processId, const QString& newFolder, const QString& oldFolder)
{
    return { scriptPath, QString::number(processId), newFolder, oldFolder };
}

} // namespace ReplacementScript
