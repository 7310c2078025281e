// The cluster settings' texts the session works from: the login commands as
// typed and the custom node address. The first byte chooses which.

#include "FuzzSupport.h"

#include "cluster/ClusterConfig.h"
#include "cluster/ClusterLogin.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Fuzz::Input input(data, size);
    const bool address = input.byte() & 1;
    const QString text = Fuzz::text(input.rest());

    if (address) {
        const ClusterAddress parsed = ClusterConfig::parseAddress(text);
        FUZZ_CHECK(!parsed.host.contains(u':') && !parsed.host.contains(u' '));
        FUZZ_CHECK(!parsed.host.isEmpty() || parsed.port == 23);
        return 0;
    }

    const QStringList lines = ClusterLogin::linesAfterCallsign(text);
    FUZZ_CHECK(!lines.isEmpty() && lines.back() == ClusterLogin::recentSpotsCommand);
    for (const QString& line : lines) {
        FUZZ_CHECK(!line.isEmpty() && !line.contains(u';'));
        FUZZ_CHECK(!line.startsWith(u' ') && !line.startsWith(u'\t') && !line.endsWith(u' ') && !line.endsWith(u'\t'));
        for (qsizetype i = line.indexOf(u'\n'); i >= 0; i = line.indexOf(u'\n', i + 1))
            FUZZ_CHECK(i > 0 && line[i - 1] == u'\r'); // only CR LF stays inside a command
        // Each goes out as one line: UTF-8 ended by CR LF.
        const QByteArray encoded = ClusterLogin::encodeLine(line);
        FUZZ_CHECK(encoded.endsWith("\r\n"));
        FUZZ_CHECK(QString::fromUtf8(encoded.chopped(2)) == line);
    }
    // Nothing typed is lost but the separators and the blanks and tabs.
    const auto isDropped = [](QStringView t, qsizetype i) {
        const QChar c = t[i];
        return c == u';' || c == u' ' || c == u'\t' || (c == u'\n' && (i == 0 || t[i - 1] != u'\r'));
    };
    qsizetype typed = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        typed += isDropped(text, i) ? 0 : 1;
    qsizetype sent = 0;
    for (qsizetype l = 0; l + 1 < lines.size(); ++l)
        for (qsizetype i = 0; i < lines[l].size(); ++i)
            sent += isDropped(lines[l], i) ? 0 : 1;
    FUZZ_CHECK(sent == typed);
    return 0;
}
