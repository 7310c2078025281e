#include "settings/SettingsColumns.h"

#include "settings/WheelGuard.h"

#include <QBoxLayout>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>
#include <limits>

namespace {

constexpr int maxColumns = 3;

// Tries every cut of the list into a fixed number of runs, in the order of
// the cut positions, keeping the first division whose heaviest run is
// strictly lighter than every one before it.
class Division {
public:
    explicit Division(const QList<double>& weights)
        : m_n(int(weights.size()))
    {
        m_prefix.reserve(m_n + 1);
        m_prefix.append(0);
        for (const double w : weights)
            m_prefix.append(m_prefix.last() + w);
        QList<int> all;
        for (int i = 0; i < m_n; ++i)
            all.append(i);
        m_best = { all };
    }

    QList<QList<int>> best(int runs)
    {
        QList<QList<int>> made;
        search(0, runs, made);
        return m_best;
    }

private:
    double sum(int start, int end) const { return m_prefix[end] - m_prefix[start]; }

    static QList<int> indices(int start, int end)
    {
        QList<int> run;
        for (int i = start; i < end; ++i)
            run.append(i);
        return run;
    }

    void search(int start, int left, QList<QList<int>>& made)
    {
        if (left == 1) {
            double cost = sum(start, m_n);
            for (const QList<int>& run : std::as_const(made))
                cost = std::max(cost, sum(run.first(), run.last() + 1));
            if (m_bestCost > cost) {
                m_best = made;
                m_best.append(indices(start, m_n));
                m_bestCost = cost;
            }
            return;
        }
        const int lastEnd = std::max(start + 1, m_n - left + 1);
        for (int end = start + 1; end <= lastEnd; ++end) {
            if (end >= m_n)
                continue;
            made.append(indices(start, end));
            search(end, left - 1, made);
            made.removeLast();
        }
    }

    int m_n;
    QList<double> m_prefix;
    QList<QList<int>> m_best;
    double m_bestCost = std::numeric_limits<double>::infinity();
};

} // namespace

int SettingsColumns::columnCount(double width)
{
    if (width >= threeColumnWidth)
        return 3;
    if (width >= twoColumnWidth)
        return 2;
    return 1;
}

QList<QList<int>> SettingsColumns::split(const QList<double>& weights, int columns)
{
    if (weights.isEmpty())
        return {};
    const int runs = std::clamp(columns, 1, int(weights.size()));
    return Division(weights).best(runs);
}

SettingsColumns::SettingsColumns(const QList<SettingsSectionItem>& sections, QWidget* parent)
    : QWidget(parent)
    , m_sections(sections)
{
    m_shown.fill(true, sections.size());

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    outer->addWidget(m_scroll);

    auto* body = new QWidget;
    m_row = new QHBoxLayout(body);
    m_row->setContentsMargins(0, 0, 0, 0);
    m_row->setSpacing(0);
    for (int i = 0; i < maxColumns; ++i) {
        auto* column = new QWidget(body);
        auto* layout = new QVBoxLayout(column);
        layout->setContentsMargins(14, 12, 14, 12);
        layout->setSpacing(18);
        m_row->addWidget(column, 1, Qt::AlignTop);
        m_columns.append(column);
        m_columnLayouts.append(layout);
    }
    for (const SettingsSectionItem& item : sections)
        item.view->setParent(m_columns.first());
    m_scroll->setWidget(body);
    // The scroll area's viewport draws the window colour under the columns.
    m_scroll->viewport()->setAutoFillBackground(false);
    body->setAutoFillBackground(false);
    // Scrolling the page never changes a setting on the way.
    WheelGuard::protect(body, m_scroll);

    body->installEventFilter(this);
    arrange(fittingColumns(width()));
}

SettingsColumns* SettingsColumns::fill(QWidget* tab, const QList<SettingsSectionItem>& sections)
{
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* columns = new SettingsColumns(sections, tab);
    layout->addWidget(columns);
    return columns;
}

void SettingsColumns::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    arrange(fittingColumns(event->size().width()));
}

bool SettingsColumns::eventFilter(QObject* watched, QEvent* event)
{
    // A section whose least width changed (a row shown, a longer text) may
    // no longer fit beside the others, or may fit again.
    if (watched == m_scroll->widget() && event->type() == QEvent::LayoutRequest)
        arrange(fittingColumns(width()));
    return QWidget::eventFilter(watched, event);
}

int SettingsColumns::leastWidth(const QList<int>& run) const
{
    int widest = 0;
    for (const int index : run) {
        const QWidget* view = m_sections[index].view;
        widest = std::max({ widest, view->minimumSizeHint().width(), view->minimumWidth() });
    }
    const QMargins margins = m_columnLayouts.first()->contentsMargins();
    return widest + margins.left() + margins.right();
}

int SettingsColumns::fittingColumns(double width) const
{
    QList<double> weights;
    QList<int> shown;
    for (int i = 0; i < m_sections.size(); ++i) {
        if (m_shown[i]) {
            shown.append(i);
            weights.append(m_sections[i].weight);
        }
    }
    // The room the columns have once the page scrolls.
    const double room = width - m_scroll->verticalScrollBar()->sizeHint().width();
    for (int columns = columnCount(width); columns > 1; --columns) {
        int needed = 0;
        for (const QList<int>& run : split(weights, columns)) {
            QList<int> sections;
            for (const int index : run)
                sections.append(shown[index]);
            needed += leastWidth(sections);
        }
        if (needed <= room)
            return columns;
    }
    return 1;
}

void SettingsColumns::setSectionShown(int index, bool shown)
{
    if (index < 0 || index >= m_sections.size() || m_shown[index] == shown)
        return;
    m_shown[index] = shown;
    arrange(fittingColumns(width()), true);
    if (shown)
        m_sections[index].view->show();
}

void SettingsColumns::arrange(int columns, bool force)
{
    QList<int> shown;
    QList<double> weights;
    for (int i = 0; i < m_sections.size(); ++i) {
        if (m_shown[i]) {
            shown.append(i);
            weights.append(m_sections[i].weight);
        }
    }
    QList<QList<int>> runs = split(weights, columns);
    for (QList<int>& run : runs)
        for (int& index : run)
            index = shown[index];
    if (runs == m_runs && m_columnCount != 0 && !force)
        return;
    m_columnCount = columns;
    m_runs = runs;

    for (QVBoxLayout* layout : std::as_const(m_columnLayouts)) {
        while (QLayoutItem* item = layout->takeAt(0))
            delete item; // the layout's item, not the section
    }
    for (int c = 0; c < m_columnLayouts.size(); ++c) {
        QVBoxLayout* layout = m_columnLayouts[c];
        if (c < runs.size()) {
            for (const int index : runs[c]) {
                QWidget* view = m_sections[index].view;
                // A widget hides when it changes parent; show it again at
                // once unless its tab had hidden it.
                const bool moves = view->parentWidget() != m_columns[c];
                const bool keptHidden = view->isHidden() && view->testAttribute(Qt::WA_WState_ExplicitShowHide);
                layout->addWidget(view);
                if (moves && !keptHidden)
                    view->show();
            }
            layout->addStretch(1);
        }
        m_columns[c]->setVisible(c < runs.size());
    }
    for (int i = 0; i < m_sections.size(); ++i) {
        if (!m_shown[i])
            m_sections[i].view->hide();
    }
}
