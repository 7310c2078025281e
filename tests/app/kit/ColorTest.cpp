#include "kit/Color.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct Rgba {
    int r, g, b, a;
};

Rgba bytes(const QColor& c) { return { c.red(), c.green(), c.blue(), c.alpha() }; }

} // namespace

TEST(ColorText, ReadsSixOrEightDigitsAndTheOddFormsByTheReadingRule)
{
    const struct {
        QString text;
        Rgba expected;
    } cases[] = {
        { "#FFEDB3", { 0xFF, 0xED, 0xB3, 255 } },
        { "ffedb3", { 0xFF, 0xED, 0xB3, 255 } },
        { QString::fromUtf8(" \t\u00A0#FFEDB3\u2003 "), { 0xFF, 0xED, 0xB3, 255 } },
        { "#FF000080", { 255, 0, 0, 128 } },
        { "0x11223344", { 0x22, 0x33, 0x44, 255 } }, // ten characters: RGB from the low 24 bits
        { "", { 0, 0, 0, 255 } },
        { "##FF0000", { 0, 0, 0, 255 } },
        { "#FFF", { 0, 15, 255, 255 } },           // no short form
        { "#1234567", { 0x23, 0x45, 0x67, 255 } }, // seven digits: lowest 24 bits
        { "#12ZZ5678", { 0, 0, 0, 0x12 } },        // eight characters, digits stop at Z
        { "#-FF00FF", { 0, 0, 0, 255 } },          // no sign
        { "#+FF00FF", { 0, 0, 0, 255 } },
        { "#FFFFFFFFFFFFFFFFFF", { 255, 255, 255, 255 } },                  // beyond 64 bits: the largest value
        { "#\nFF0000", { 255, 0, 0, 255 } },                                // line breaks skipped before the digits
        { "\n#FF0000", { 0, 0, 0, 0 } },                                    // not trimmed: eight characters, no digit
        { QString::fromUtf8("#FF00FFe\u0301"), { 0xF0, 0x0F, 0xFE, 255 } }, // e + accent is one character
    };
    for (const auto& c : cases) {
        const Rgba got = bytes(Color::fromHex(c.text));
        EXPECT_EQ(got.r, c.expected.r) << c.text.toStdString();
        EXPECT_EQ(got.g, c.expected.g) << c.text.toStdString();
        EXPECT_EQ(got.b, c.expected.b) << c.text.toStdString();
        EXPECT_EQ(got.a, c.expected.a) << c.text.toStdString();
    }
}

TEST(ColorText, WritesNineUpperCaseCharactersAndRoundTrips)
{
    EXPECT_EQ(Color::hexString(Color::fromHex(" ffedb3 ")), "#FFEDB3FF");
    EXPECT_EQ(Color::hexString(Color::fromHex("#FF000080")), "#FF000080");
    EXPECT_EQ(Color::hexString(QColor()), "#FFFFFFFF"); // invalid: white
    EXPECT_EQ(Color::hexString(QColor::fromHsvF(0.0, 1.0, 1.0, 0.5)), "#FF000080");
    // Halves round away from zero: 0.5/255 above a byte boundary goes up.
    EXPECT_EQ(Color::hexString(QColor::fromRgbF(0.644f, 0.61f, 0.808f)), "#A49CCEFF");
    for (int v = 0; v < 256; v += 17) {
        const QString text = QStringLiteral("#%1%1%1%1").arg(v, 2, 16, QLatin1Char('0')).toUpper();
        EXPECT_EQ(Color::hexString(Color::fromHex(text)), text);
    }
}

TEST(ColorText, MixClampsTheFractionAndBlendsOpacity)
{
    const QColor a = Color::fromHex("#000000FF");
    const QColor b = Color::fromHex("#FFFFFF00");
    EXPECT_EQ(Color::mix(a, b, 1.5), b);
    EXPECT_EQ(Color::mix(a, b, -1), a);
    EXPECT_EQ(Color::mix(a, b, std::nan("")), a);
    const QColor half = Color::mix(a, b, 0.5);
    EXPECT_NEAR(half.redF(), 0.5, 1e-4);
    EXPECT_NEAR(half.alphaF(), 0.5, 1e-4);
    // An invalid colour counts as mid grey.
    EXPECT_NEAR(Color::mix(QColor(), b, 0).greenF(), 0.5, 1e-4);
}

TEST(ColorText, BindingReadsAndWritesTheStoredText)
{
    QTemporaryDir dir;
    Settings settings(dir.filePath("s.ini"));
    const ColorBinding binding = colorBinding(settings, SettingKeys::clusterSpotColor);
    EXPECT_EQ(binding.color(), QColor(0xFF, 0x4F, 0xD8)); // nothing stored: the key's default
    settings.setValue("clusterSpotColor", "");
    EXPECT_EQ(binding.color(), QColor(Qt::black)); // an empty text
    QStringList changed;
    QObject::connect(&settings, &Settings::changed, [&](const QString& key) { changed << key; });
    binding.setColor(QColor(255, 79, 216, 128));
    EXPECT_EQ(settings.stringValue("clusterSpotColor"), "#FF4FD880");
    EXPECT_EQ(binding.color(), QColor(255, 79, 216, 128));
    EXPECT_EQ(changed, QStringList { "clusterSpotColor" });
}
