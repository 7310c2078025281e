#include "support/FileWords.h"

#include <cerrno>

namespace FileWords {

QString cause(int error)
{
    switch (error) {
    case 0:
        return QStringLiteral("the system gave no cause");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("the disk is full");
    case EROFS:
        return QStringLiteral("the disk is read-only");
    case EACCES:
    case EPERM:
        return QStringLiteral("access was refused");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("it does not exist");
    case EIO:
        return QStringLiteral("the disk failed to answer");
    case EFBIG:
        return QStringLiteral("the file is larger than the disk allows");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("too many files are open");
    case ENOMEM:
        return QStringLiteral("memory ran out");
    case ENAMETOOLONG:
        return QStringLiteral("its name is too long");
    default:
        return QStringLiteral("the system refused it (error %1)").arg(error);
    }
}

Said said(const QString& lead, int error)
{
    const QString text = lead + QStringLiteral(": ") + cause(error) + u'.';
    return { text, error == 0 ? text : text + QStringLiteral(" Detail: ") + qt_error_string(error) };
}

} // namespace FileWords
