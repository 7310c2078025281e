#include "support/StrictNumber.h"

#include <QString>
#include <gtest/gtest.h>

#include <clocale>

TEST(StrictNumber, ReadsOnlyFiniteDecimalNumbers)
{
    EXPECT_EQ(StrictNumber::parseDouble(u"14025.0"), 14025.0);
    EXPECT_EQ(StrictNumber::parseDouble(u"-5.5"), -5.5);
    EXPECT_EQ(StrictNumber::parseDouble(u"+.5"), 0.5);
    EXPECT_EQ(StrictNumber::parseDouble(u"5."), 5.0);
    EXPECT_EQ(StrictNumber::parseDouble(u"1e3"), 1000.0);
    for (const char16_t* bad : { u"", u"nan", u"NaN", u"inf", u"-Infinity", u"1e999", u"0x10", u" 1", u"1 ", u"1,5",
                                 u".", u"-", u"1e", u"1.2.3" })
        EXPECT_FALSE(StrictNumber::parseDouble(QStringView(bad)).has_value()) << QString::fromUtf16(bad).toStdString();
}

TEST(StrictNumber, IgnoresTheUserLocale)
{
    const char* old = setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    if (setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "no German locale installed";
    EXPECT_EQ(StrictNumber::parseDouble(u"14.1"), 14.1);
    EXPECT_FALSE(StrictNumber::parseDouble(u"14,1").has_value());
    setlocale(LC_NUMERIC, saved.c_str());
}

TEST(StrictNumber, ReadsIntegersInRange)
{
    EXPECT_EQ(StrictNumber::parseInt(u"42"), 42);
    EXPECT_EQ(StrictNumber::parseInt(u"-7"), -7);
    EXPECT_FALSE(StrictNumber::parseInt(u"99999999999999999999").has_value());
    EXPECT_FALSE(StrictNumber::parseInt(u"4.2").has_value());
    EXPECT_FALSE(StrictNumber::parseInt(u"").has_value());
    EXPECT_FALSE(StrictNumber::parseInt(u"+").has_value());
}
