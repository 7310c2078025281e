#include "cluster/ClusterLogin.h"

#include "support/TextTrim.h"

#include <QStringMatcher>

namespace ClusterLogin {

// Every line before the login is searched: prepared matchers skip through a
// line instead of folding the case of each character at each position.
bool lineAsksForCall(QStringView line)
{
    static const QStringMatcher login(QStringLiteral("login"), Qt::CaseInsensitive);
    static const QStringMatcher yourCall(QStringLiteral("your call"), Qt::CaseInsensitive);
    static const QStringMatcher callsign(QStringLiteral("callsign"), Qt::CaseInsensitive);
    return login.indexIn(line) >= 0 || yourCall.indexIn(line) >= 0 || callsign.indexIn(line) >= 0;
}

bool promptAsksForCall(QStringView unfinished)
{
    static const QStringMatcher login(QStringLiteral("login"), Qt::CaseInsensitive);
    static const QStringMatcher call(QStringLiteral("call"), Qt::CaseInsensitive);
    return login.indexIn(unfinished) >= 0 || call.indexIn(unfinished) >= 0;
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
