#include "cluster/ClusterLogin.h"

#include "support/TextTrim.h"

namespace ClusterLogin {

bool lineAsksForCall(QStringView line)
{
    return line.contains(u"login", Qt::CaseInsensitive) || line.contains(u"your call", Qt::CaseInsensitive)
        || line.contains(u"callsign", Qt::CaseInsensitive);
}

bool promptAsksForCall(QStringView unfinished)
{
    return unfinished.contains(u"login", Qt::CaseInsensitive) || unfinished.contains(u"call", Qt::CaseInsensitive);
}

QStringList linesAfterCallsign(QStringView extraCommands)
{
    QStringList lines;
    const auto take = [&lines](QStringView piece) {
        piece = trimSpacesAndTabs(piece);
        if (!piece.isEmpty())
            lines.append(piece.toString());
    };
    qsizetype start = 0;
    for (qsizetype i = 0; i < extraCommands.size(); ++i) {
        const QChar c = extraCommands[i];
        const bool split = c == u';' || (c == u'\n' && (i == 0 || extraCommands[i - 1] != u'\r'));
        if (!split)
            continue;
        take(extraCommands.sliced(start, i - start));
        start = i + 1;
    }
    take(extraCommands.sliced(start));
    lines.append(recentSpotsCommand.toString());
    return lines;
}

QByteArray encodeLine(QStringView text) { return text.toUtf8() + "\r\n"; }

} // namespace ClusterLogin
