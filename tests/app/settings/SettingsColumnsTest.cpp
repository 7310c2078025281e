#include "settings/SettingsColumns.h"

#include <QApplication>
#include <QLabel>
#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using Runs = QList<QList<int>>;

namespace {

// Every division of n sections into k non-empty runs, in the order of the
// cut positions, found by counting instead of searching.
QList<Runs> allDivisions(int n, int k)
{
    QList<Runs> result;
    const std::function<void(int, int, Runs)> walk = [&](int start, int left, Runs made) {
        if (left == 1) {
            QList<int> last;
            for (int i = start; i < n; ++i)
                last << i;
            made << last;
            result << made;
            return;
        }
        for (int end = start + 1; end <= n - left + 1; ++end) {
            QList<int> run;
            for (int i = start; i < end; ++i)
                run << i;
            walk(end, left - 1, made + Runs { run });
        }
    };
    walk(0, k, {});
    return result;
}

double heaviest(const Runs& runs, const QList<double>& weights)
{
    double most = 0;
    for (const QList<int>& run : runs) {
        double sum = 0;
        for (const int i : run)
            sum += weights[i];
        most = std::max(most, sum);
    }
    return most;
}

} // namespace

TEST(SettingsColumns, SplitKeepsOrderAndTheEarliestCutAmongEqualDivisions)
{
    const QList<double> five { 3, 3, 3, 3, 3 };
    EXPECT_EQ(SettingsColumns::split(five, 1), (Runs { { 0, 1, 2, 3, 4 } }));
    EXPECT_EQ(SettingsColumns::split(five, 2), (Runs { { 0, 1 }, { 2, 3, 4 } }));
    EXPECT_EQ(SettingsColumns::split(five, 3), (Runs { { 0 }, { 1, 2 }, { 3, 4 } }));

    EXPECT_EQ(SettingsColumns::split({}, 3), Runs {});
    EXPECT_EQ(SettingsColumns::split({ 5 }, 3), (Runs { { 0 } }));
    EXPECT_EQ(SettingsColumns::split({ 1, 9 }, 3), (Runs { { 0 }, { 1 } }));

    // The Station tab.
    const QList<double> station { 6, 12, 14, 1.5 };
    EXPECT_EQ(SettingsColumns::split(station, 2), (Runs { { 0, 1 }, { 2, 3 } }));
    EXPECT_EQ(SettingsColumns::split(station, 3), (Runs { { 0 }, { 1 }, { 2, 3 } }));

    // Against every division counted out: the result is the first of the
    // lightest, so a later division of the same cost never wins.
    QRandomGenerator random(31);
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 1 + int(random.bounded(8));
        QList<double> weights;
        for (int i = 0; i < n; ++i)
            weights << double(1 + random.bounded(4)) * (random.bounded(2) ? 1.5 : 1.0);
        for (int columns = 1; columns <= 3; ++columns) {
            const Runs got = SettingsColumns::split(weights, columns);
            Runs expected;
            double best = std::numeric_limits<double>::infinity();
            for (const Runs& division : allDivisions(n, std::min(columns, n)))
                if (heaviest(division, weights) < best) {
                    best = heaviest(division, weights);
                    expected = division;
                }
            ASSERT_EQ(got, expected) << "trial " << trial << ", " << columns << " columns";
        }
    }
}

TEST(SettingsColumns, ColumnCountAtTheThresholds)
{
    EXPECT_EQ(SettingsColumns::columnCount(580), 1);
    EXPECT_EQ(SettingsColumns::columnCount(719.5), 1);
    EXPECT_EQ(SettingsColumns::columnCount(720), 2);
    EXPECT_EQ(SettingsColumns::columnCount(1039.9), 2);
    EXPECT_EQ(SettingsColumns::columnCount(1040), 3);
    EXPECT_EQ(SettingsColumns::columnCount(std::nan("")), 1);
}

TEST(SettingsColumns, SectionsMoveBetweenColumnsAsTheWidthCrossesAThreshold)
{
    QList<SettingsSectionItem> items;
    for (const double weight : { 6.0, 12.0, 14.0, 1.5 })
        items << SettingsSectionItem { new QLabel(QString::number(weight)), weight };
    SettingsColumns columns(items);
    columns.resize(700, 600);
    columns.show();
    EXPECT_EQ(columns.runs(), (Runs { { 0, 1, 2, 3 } }));
    EXPECT_EQ(items[0].view->parentWidget(), items[3].view->parentWidget());

    columns.resize(720, 600);
    EXPECT_EQ(columns.runs(), (Runs { { 0, 1 }, { 2, 3 } }));
    EXPECT_EQ(items[0].view->parentWidget(), items[1].view->parentWidget());
    EXPECT_NE(items[1].view->parentWidget(), items[2].view->parentWidget());
    EXPECT_LT(items[1].view->parentWidget()->x(), items[2].view->parentWidget()->x());

    columns.resize(1040, 600);
    EXPECT_EQ(columns.runs(), (Runs { { 0 }, { 1 }, { 2, 3 } }));
    QWidget* first = items[0].view->parentWidget();
    QWidget* second = items[1].view->parentWidget();
    QWidget* third = items[2].view->parentWidget();
    EXPECT_LT(first->x(), second->x());
    EXPECT_LT(second->x(), third->x());
    EXPECT_EQ(items[3].view->parentWidget(), third);
    EXPECT_LT(items[2].view->y(), items[3].view->y());

    columns.resize(600, 600);
    EXPECT_EQ(columns.runs(), (Runs { { 0, 1, 2, 3 } }));
    EXPECT_TRUE(items[3].view->isVisible());

    // Sections that do not fit side by side stand in fewer columns, and
    // fewer still when one of them needs more room later.
    QList<SettingsSectionItem> wide;
    for (int i = 0; i < 3; ++i) {
        auto* section = new QLabel("wide");
        section->setMinimumWidth(450);
        wide << SettingsSectionItem { section, 3 };
    }
    SettingsColumns narrow(wide);
    narrow.resize(1100, 600);
    narrow.show();
    EXPECT_EQ(narrow.runs(), (Runs { { 0 }, { 1, 2 } }));
    narrow.resize(1600, 600);
    EXPECT_EQ(narrow.runs(), (Runs { { 0 }, { 1 }, { 2 } }));
    wide[1].view->setMinimumWidth(800);
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(narrow.runs(), (Runs { { 0 }, { 1, 2 } }));
    EXPECT_GE(wide[1].view->width(), 800);

    // No sections, no columns.
    SettingsColumns empty({});
    empty.resize(1200, 400);
    EXPECT_TRUE(empty.runs().isEmpty());
}
