#pragma once

#include <QList>
#include <QWidget>

class QHBoxLayout;
class QScrollArea;
class QVBoxLayout;

// One section of a settings tab as the column layout sees it: its widget
// and its relative height. Only sums of weights are compared; a section
// that declares none weighs 3.
struct SettingsSectionItem {
    QWidget* view = nullptr;
    double weight = 3;
};

// A settings tab's sections in one, two or three columns, chosen from the
// tab's width, divided so the columns come out about equally tall while the
// sections keep their order. A column is never narrower than the least width
// of its sections: when they do not fit side by side, there are fewer
// columns. The division is worked out again whenever the
// width crosses a threshold; the sections move between columns, they are
// never rebuilt. Scrolls vertically when the columns are taller than the
// tab; the wheel scrolls it over every control the user has not clicked or
// tabbed into (WheelGuard).
class SettingsColumns : public QWidget {
    Q_OBJECT
public:
    static constexpr double twoColumnWidth = 720;
    static constexpr double threeColumnWidth = 1040;

    // Takes ownership of the sections' widgets.
    explicit SettingsColumns(const QList<SettingsSectionItem>& sections, QWidget* parent = nullptr);
    // The columns as the whole page of a settings tab, edge to edge.
    static SettingsColumns* fill(QWidget* tab, const QList<SettingsSectionItem>& sections);

    // 3 at 1040 and wider, 2 at 720 and wider, else (NaN too) 1: the most
    // columns a width gives, as long as the sections fit.
    static int columnCount(double width);

    // The ordered sections cut into at most `columns` contiguous, non-empty
    // runs of indices so that the heaviest run is as light as possible.
    // Every cut is tried; among equally good divisions the one whose first
    // cut comes earliest wins, then the second, and so on. No weights give
    // no runs; fewer sections than columns give one run per section.
    static QList<QList<int>> split(const QList<double>& weights, int columns);

    // Takes a section out of the layout or puts it back: only the sections
    // shown are divided among the columns (a tab whose later sections
    // depend on a choice). Every section is shown to begin with.
    void setSectionShown(int index, bool shown);

    // The runs on screen now, one per column, as indices into sections().
    const QList<QList<int>>& runs() const { return m_runs; }
    const QList<SettingsSectionItem>& sections() const { return m_sections; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The most columns, up to columnCount(width), whose sections fit their
    // least widths into the width.
    int fittingColumns(double width) const;
    int leastWidth(const QList<int>& run) const;
    void arrange(int columns, bool force = false);

    QList<SettingsSectionItem> m_sections;
    QList<bool> m_shown;
    QScrollArea* m_scroll = nullptr;
    QHBoxLayout* m_row = nullptr;
    QList<QWidget*> m_columns;
    QList<QVBoxLayout*> m_columnLayouts;
    QList<QList<int>> m_runs;
    int m_columnCount = 0;
};
