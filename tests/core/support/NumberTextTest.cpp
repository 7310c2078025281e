#include "support/NumberText.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <cstdio>

TEST(NumberText, WritesNumbersAsCsPrintfDoesWhateverTheLocale)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    // An exact half goes to the even digit; a value just below a half,
    // as 2.675 is in binary, goes down.
    EXPECT_EQ(NumberText::fixed(152.5, 0), "152");
    EXPECT_EQ(NumberText::fixed(153.5, 0), "154");
    EXPECT_EQ(NumberText::fixed(0.125 * 100, 0), "12");
    EXPECT_EQ(NumberText::fixed(7.25, 1), "7.2");
    EXPECT_EQ(NumberText::fixed(2.675, 2), "2.67");
    EXPECT_EQ(NumberText::fixed(-0.4, 0), "-0");
    EXPECT_EQ(NumberText::fixed(7, 0, 3), "007");
    EXPECT_EQ(NumberText::fixed(-7, 0, 3), "-07");
    for (const double value : { 0.05, 0.15, 1.45, 14.5, 24.95, 1e6 + 0.5, -3.25, 123456.789 })
        for (const int decimals : { 0, 1, 2 }) {
            char c[64];
            std::snprintf(c, sizeof c, "%.*f", decimals, value);
            EXPECT_EQ(NumberText::fixed(value, decimals), QString::fromLatin1(c)) << value;
        }

    EXPECT_EQ(NumberText::printf("MUF here \u2248 %.0f MHz", 14.5), QString::fromUtf8("MUF here \u2248 14 MHz"));
    EXPECT_EQ(NumberText::printf("%03.0f", 45.5), "046");
    EXPECT_EQ(NumberText::printf(" here, this hour: %.0f%%", 62.5), " here, this hour: 62%");
    QLocale::setDefault(QLocale::c());
}
