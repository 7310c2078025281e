// Version texts as a release feed announces them, compared with each other:
// three versions, one per line of the input.

#include "FuzzSupport.h"

#include "maintenance/VersionCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QStringList parts = Fuzz::text(QByteArrayView(data, qsizetype(size))).split(u'\n');
    const QString a = parts.value(0);
    const QString b = parts.value(1);
    const QString c = parts.value(2);

    // "Newer" is a strict order.
    FUZZ_CHECK(!isNewerVersion(a, a));
    FUZZ_CHECK(!(isNewerVersion(a, b) && isNewerVersion(b, a)));
    if (isNewerVersion(a, b) && isNewerVersion(b, c))
        FUZZ_CHECK(isNewerVersion(a, c));
    // Missing pieces count as 0: "1.2" equals "1.2.0"; empty pieces are dropped.
    FUZZ_CHECK(!isNewerVersion(a + QStringLiteral(".0"), a) && !isNewerVersion(a, a + QStringLiteral(".0")));
    FUZZ_CHECK(isNewerVersion(a + QStringLiteral("..") + b, c) == isNewerVersion(a + u'.' + b, c));
    // A later last piece is newer.
    FUZZ_CHECK(isNewerVersion(b + QStringLiteral(".1"), b + QStringLiteral(".0")));

    const QString hash = sha256Hex(QByteArrayView(data, qsizetype(size)));
    FUZZ_CHECK(hash.size() == 64 && hash == hash.toLower());
    return 0;
}
