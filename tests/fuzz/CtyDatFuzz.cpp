// A country file (cty.dat) and callsign lookups in it. The calls looked up
// are the words of the file itself, alone and in portable forms, so the
// lookups meet the prefixes and exact calls the file defines.

#include "FuzzSupport.h"

#include "cluster/CtyDat.h"

#include <QRegularExpression>

#include <cmath>

namespace {

// The text without the records of the countries marked "*" (their eighth
// field, the primary prefix, begins with it).
QString withoutStarredCountries(QStringView text)
{
    QString kept;
    for (QStringView record : text.tokenize(u';', Qt::SkipEmptyParts)) {
        qsizetype start = 0;
        bool starred = false;
        for (int field = 0; field < 8; ++field) {
            const qsizetype colon = record.indexOf(u':', start);
            if (colon < 0)
                break;
            if (field == 7)
                starred = record.sliced(start, colon - start).trimmed().startsWith(u'*');
            start = colon + 1;
        }
        if (!starred)
            kept += record.toString() + u';';
    }
    return kept;
}

QString asciiLower(const QString& text)
{
    QString lower = text;
    for (QChar& c : lower)
        if (c >= u'A' && c <= u'Z')
            c = QChar(c.unicode() + 32);
    return lower;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString text = Fuzz::text(QByteArrayView(data, qsizetype(size)));
    const CtyDatabase db(text);
    const CtyDatabase dxccOnly(withoutStarredCountries(text));

    FUZZ_CHECK(db.longestPrefix() >= 1);
    FUZZ_CHECK(db.entityCount() >= (db.prefixes().isEmpty() ? 0 : 1));
    for (auto it = db.prefixes().cbegin(); it != db.prefixes().cend(); ++it) {
        FUZZ_CHECK(it.key().size() <= db.longestPrefix());
        FUZZ_CHECK(std::isfinite(it->latitude) && std::isfinite(it->longitude));
    }

    // Calls are short: words longer than any call are cut.
    QStringList calls;
    static const QRegularExpression word(QStringLiteral("[=*]?([A-Za-z0-9/]+)"));
    auto matches = word.globalMatch(text);
    while (matches.hasNext() && calls.size() < 32)
        calls.append(matches.next().captured(1).left(20));
    calls << QStringLiteral("K1ABC") << QStringLiteral("IT9ABC") << QStringLiteral("KG4AB");

    for (const QString& call : std::as_const(calls)) {
        for (const QString& form :
             { call,
               call
                   + QStringLiteral("/P"),
                                    QStringLiteral("EA/") + call,
                                                   call + QStringLiteral("/MM"), QStringLiteral("K1ABC/") + call }) {
            const std::optional<CtyEntity> entity = db.entity(form);
            // Case and surrounding blanks and tabs do not matter.
            FUZZ_CHECK(db.entity(asciiLower(form)) == entity);
            FUZZ_CHECK(db.entity(QStringLiteral(" \t") + form + QStringLiteral(" ")) == entity);
            // The DXCC country is the country found with the "*" countries
            // left out of the file.
            const std::optional<CtyEntity> dxcc = db.dxccEntity(form);
            FUZZ_CHECK(dxcc == dxccOnly.entity(form));
            // A maritime mobile (a call, then "/MM") has no country.
            if (form.endsWith(QStringLiteral("/MM")) && form.count(u'/') == 1 && !form.startsWith(u'/')
                              && !db.exactCalls().contains(form.toUpper()))
                FUZZ_CHECK(!entity);
        }
    }
    return 0;
}
