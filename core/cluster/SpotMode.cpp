#include "cluster/SpotMode.h"

#include "cluster/Band.h"
#include "support/RawValue.h"

QString rawValue(SpotMode mode)
{
    switch (mode) {
    case SpotMode::cw:
        return QStringLiteral("CW");
    case SpotMode::ssb:
        return QStringLiteral("SSB");
    case SpotMode::digital:
        return QStringLiteral("DIGI");
    }
    return {};
}

std::optional<SpotMode> spotModeFromRaw(QStringView raw)
{
    return findRaw(std::array { SpotMode::cw, SpotMode::ssb, SpotMode::digital }, raw);
}

QString rawValue(ModeFilter filter)
{
    switch (filter) {
    case ModeFilter::all:
        return QStringLiteral("all");
    case ModeFilter::cw:
        return QStringLiteral("cw");
    case ModeFilter::ssb:
        return QStringLiteral("ssb");
    case ModeFilter::digital:
        return QStringLiteral("digital");
    case ModeFilter::cwSsb:
        return QStringLiteral("cwSsb");
    }
    return {};
}

std::optional<ModeFilter> modeFilterFromRaw(QStringView raw) { return findRaw(allModeFilters, raw); }

QString title(ModeFilter filter)
{
    switch (filter) {
    case ModeFilter::all:
        return QStringLiteral("All modes");
    case ModeFilter::cw:
        return QStringLiteral("CW only");
    case ModeFilter::ssb:
        return QStringLiteral("SSB only");
    case ModeFilter::digital:
        return QStringLiteral("Digital only");
    case ModeFilter::cwSsb:
        return QStringLiteral("CW + SSB (no digital)");
    }
    return {};
}

bool accepts(ModeFilter filter, std::optional<SpotMode> mode)
{
    if (filter == ModeFilter::all)
        return true;
    if (!mode)
        return false;
    switch (filter) {
    case ModeFilter::all:
        return true;
    case ModeFilter::cw:
        return *mode == SpotMode::cw;
    case ModeFilter::ssb:
        return *mode == SpotMode::ssb;
    case ModeFilter::digital:
        return *mode == SpotMode::digital;
    case ModeFilter::cwSsb:
        return *mode == SpotMode::cw || *mode == SpotMode::ssb;
    }
    return false;
}

namespace ModeClassifier {

namespace {

constexpr double ft8DialsKHz[]
    = { 1840, 3573, 5357, 7074, 10136, 14074, 18100, 21074, 24915, 28074, 50313, 70154, 144174 };
constexpr double ft4DialsKHz[] = { 3575, 7047.5, 10140, 14080, 18104, 21140, 24919, 28180, 50318, 144170 };

bool inDialWindow(double kHz)
{
    // The signals of a dial frequency sit up to 3 kHz above it; half a kHz
    // below allows for a spotter's rounding.
    for (double dial : ft8DialsKHz)
        if (dial - 0.5 <= kHz && kHz <= dial + 3.0)
            return true;
    for (double dial : ft4DialsKHz)
        if (dial - 0.5 <= kHz && kHz <= dial + 3.0)
            return true;
    return false;
}

bool isWordCharacter(char32_t c)
{
    if (c < 0x80)
        return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
    return QChar::isLetterOrNumber(c);
}

} // namespace

const QSet<StringKey>& digitalWords()
{
    static const QSet<StringKey> words {
        QStringLiteral("FT8"), QStringLiteral("FT4"), QStringLiteral("RTTY"),
        QStringLiteral("PSK"), QStringLiteral("PSK31"), QStringLiteral("PSK63"),
        QStringLiteral("BPSK"), QStringLiteral("BPSK31"), QStringLiteral("JT65"),
        QStringLiteral("JT9"), QStringLiteral("JS8"), QStringLiteral("JS8CALL"),
        QStringLiteral("DIGI"), QStringLiteral("DIGITAL"), QStringLiteral("MSK144"),
        QStringLiteral("Q65"), QStringLiteral("FST4"), QStringLiteral("FST4W"),
        QStringLiteral("OLIVIA"), QStringLiteral("MFSK"), QStringLiteral("SSTV"),
        QStringLiteral("WSPR"), QStringLiteral("VARAC"), QStringLiteral("THOR"),
        QStringLiteral("CONTESTIA"), QStringLiteral("HELL"), QStringLiteral("FSK441"),
        QStringLiteral("PACKET"),
    };
    return words;
}

const QSet<StringKey>& phoneWords()
{
    static const QSet<StringKey> words {
        QStringLiteral("SSB"), QStringLiteral("USB"), QStringLiteral("LSB"),
        QStringLiteral("PHONE"), QStringLiteral("FONE"), QStringLiteral("AM"),
        QStringLiteral("FM"),
    };
    return words;
}

namespace {

enum class WordKind { none, digital, cw, phone };

WordKind kindOf(const QString& upperWord)
{
    const StringKey key = StringKey::over(upperWord);
    if (digitalWords().contains(key))
        return WordKind::digital;
    if (upperWord == u"CW")
        return WordKind::cw;
    if (phoneWords().contains(key))
        return WordKind::phone;
    return WordKind::none;
}

// Code point at `at` of a UTF-16 text, with its width in code units.
char32_t codePointAt(QStringView text, qsizetype at, qsizetype& width)
{
    const QChar c = text[at];
    if (c.isHighSurrogate() && at + 1 < text.size() && text[at + 1].isLowSurrogate()) {
        width = 2;
        return QChar::surrogateToUcs4(c, text[at + 1]);
    }
    width = 1;
    return c.unicode();
}

bool isAscii(QStringView text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

// The strongest word of the comment: digital beats CW, CW beats phone.
WordKind strongestWord(QStringView comment)
{
    WordKind strongest = WordKind::none;
    auto note = [&strongest](WordKind kind) {
        if (kind == WordKind::digital || (kind == WordKind::cw && strongest != WordKind::digital)
            || (kind == WordKind::phone && strongest == WordKind::none))
            strongest = kind;
    };
    if (isAscii(comment)) {
        // Most comments: upper-case each short word into a buffer and look
        // it up without allocating. No mode word is longer than nine letters.
        char16_t buffer[16];
        const qsizetype n = comment.size();
        qsizetype i = 0;
        while (i < n && strongest != WordKind::digital) {
            if (!isWordCharacter(comment[i].unicode())) {
                ++i;
                continue;
            }
            const qsizetype start = i;
            while (i < n && isWordCharacter(comment[i].unicode()))
                ++i;
            const qsizetype length = i - start;
            if (length > qsizetype(std::size(buffer)))
                continue;
            for (qsizetype k = 0; k < length; ++k) {
                const char16_t c = comment[start + k].unicode();
                buffer[k] = (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
            }
            note(kindOf(QString::fromRawData(reinterpret_cast<const QChar*>(buffer), length)));
        }
        return strongest;
    }
    // Upper-case the whole comment first: case mapping beyond ASCII can turn
    // a letter into ASCII ones.
    const QString upper = comment.toString().toUpper();
    const qsizetype n = upper.size();
    qsizetype i = 0;
    while (i < n && strongest != WordKind::digital) {
        qsizetype width = 1;
        if (!isWordCharacter(codePointAt(upper, i, width))) {
            i += width;
            continue;
        }
        const qsizetype start = i;
        while (i < n && isWordCharacter(codePointAt(upper, i, width)))
            i += width;
        note(kindOf(upper.sliced(start, i - start)));
    }
    return strongest;
}

} // namespace

std::optional<SpotMode> mode(double frequencyKHz, QStringView comment)
{
    // Words are maximal runs of letters and digits of the upper-cased
    // comment; "PSK-31" is the two words PSK and 31.
    switch (strongestWord(comment)) {
    case WordKind::digital:
        return SpotMode::digital;
    case WordKind::cw:
        return SpotMode::cw;
    case WordKind::phone:
        return SpotMode::ssb;
    case WordKind::none:
        break;
    }
    if (inDialWindow(frequencyKHz))
        return SpotMode::digital;
    return bandPlanMode(frequencyKHz);
}

std::optional<SpotMode> bandPlanMode(double f)
{
    const std::optional<Band> band = bandForKHz(f);
    if (!band)
        return std::nullopt;
    auto plan = [f](double cwBelow, double digitalBelow) {
        if (f < cwBelow)
            return SpotMode::cw;
        if (f < digitalBelow)
            return SpotMode::digital;
        return SpotMode::ssb;
    };
    switch (*band) {
    case Band::m160:
        return plan(1838, 1843);
    case Band::m80:
        return plan(3570, 3600);
    case Band::m60:
        return plan(5354, 5366);
    case Band::m40:
        return plan(7040, 7060);
    case Band::m30:
        return f < 10130 ? SpotMode::cw : SpotMode::digital;
    case Band::m20:
        return plan(14070, 14101);
    case Band::m17:
        return plan(18095, 18111);
    case Band::m15:
        return plan(21070, 21151);
    case Band::m12:
        return plan(24915, 24931);
    case Band::m10:
        return plan(28070, 28300);
    case Band::m6:
        if (f < 50100)
            return SpotMode::cw;
        return (f >= 50300 && f < 50500) ? SpotMode::digital : SpotMode::ssb;
    case Band::m4:
        return f < 70100 ? SpotMode::cw : SpotMode::ssb;
    case Band::m2:
        return plan(144100, 144150);
    }
    return std::nullopt;
}

} // namespace ModeClassifier
