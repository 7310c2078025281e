#include "shell/ToolBarStrip.h"

#include "kit/DarkAppearance.h"
#include "kit/SymbolIcons.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QToolButton>

#include <algorithm>
#include <vector>

namespace {

constexpr int spacing = 3;         // between neighbouring items
constexpr int separatorWidth = 17; // a 1-pixel line with room on both sides
constexpr int groupGap = 16;       // at least between the centre and the trailing group

} // namespace

ToolBarStrip::ToolBarStrip(QWidget* parent)
    : QWidget(parent)
    , m_more(new QToolButton(this))
    , m_moreMenu(new QMenu(this))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_more->setObjectName(QStringLiteral("toolBarOverflow"));
    m_more->setIcon(SymbolIcons::icon(QStringLiteral("chevron.right.2")));
    m_more->setIconSize(QSize(12, 18));
    m_more->setToolTip(QStringLiteral("More"));
    m_more->setPopupMode(QToolButton::InstantPopup);
    m_more->setMenu(m_moreMenu);
    m_more->hide();
    connect(m_moreMenu, &QMenu::aboutToShow, this, &ToolBarStrip::fillOverflowMenu);
}

void ToolBarStrip::adopt(QWidget* widget)
{
    // Shown with the bar unless its owner hid it on purpose.
    const bool hidden = widget->testAttribute(Qt::WA_WState_ExplicitShowHide) && widget->isHidden();
    if (widget->parentWidget() != this)
        widget->setParent(this);
    if (!hidden)
        widget->setVisible(true);
}

void ToolBarStrip::addButton(QToolButton* button, Group group, QAction* overflow, const QStringList& titles)
{
    adopt(button);
    Item item;
    item.widget = button;
    item.button = button;
    item.group = group;
    item.overflow = overflow;
    item.titles = titles;
    m_items.append(item);
    m_measured = false;
    relayout();
}

void ToolBarStrip::addWidget(QWidget* widget, Group group)
{
    adopt(widget);
    Item item;
    item.widget = widget;
    item.group = group;
    m_items.append(item);
    relayout();
}

void ToolBarStrip::addSeparator(Group group)
{
    auto* line = new QWidget(this);
    line->setAutoFillBackground(true);
    QPalette p = line->palette();
    p.setColor(QPalette::Window, QColor(255, 255, 255, 31));
    line->setPalette(p);
    Item item;
    item.widget = line;
    item.group = group;
    item.separator = true;
    m_items.append(item);
    relayout();
}

void ToolBarStrip::setTitleOrder(const QList<QToolButton*>& buttons)
{
    for (Item& item : m_items)
        item.titleRank = item.button ? int(buttons.indexOf(item.button)) : -1;
    relayout();
}

void ToolBarStrip::setOverflowOrder(const QList<QWidget*>& items)
{
    for (Item& item : m_items)
        item.overflowRank = item.overflow ? int(items.indexOf(item.widget)) : -1;
    relayout();
}

const ToolBarStrip::Item* ToolBarStrip::find(const QWidget* widget) const
{
    for (const Item& item : m_items)
        if (item.widget == widget)
            return &item;
    return nullptr;
}

bool ToolBarStrip::showsTitle(const QToolButton* button) const
{
    const Item* item = find(button);
    return item && titled(*item, m_step);
}

bool ToolBarStrip::isOverflowed(const QWidget* widget) const
{
    const Item* item = find(widget);
    return item && overflowed(*item, m_step);
}

void ToolBarStrip::measure()
{
    if (m_measured)
        return;
    // Changing a button's style or text to measure it asks for a new
    // layout; that request finds the widths measured and only places.
    m_measuring = true;
    for (Item& item : m_items) {
        QToolButton* button = item.button;
        if (!dropsTitle(item))
            continue;
        button->ensurePolished();
        const Qt::ToolButtonStyle style = button->toolButtonStyle();
        const QString text = button->text();
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        item.titledWidth = 0;
        for (const QString& title : item.titles.isEmpty() ? QStringList { text } : item.titles) {
            button->setText(title);
            item.titledWidth = std::max(item.titledWidth, button->sizeHint().width());
        }
        button->setText(text);
        button->setToolButtonStyle(Qt::ToolButtonIconOnly);
        item.iconWidth = button->sizeHint().width();
        button->setToolButtonStyle(style);
    }
    m_measuring = false;
    m_measured = true;
}

int ToolBarStrip::titleSteps() const
{
    int steps = 0;
    for (const Item& item : m_items)
        steps = std::max(steps, item.titleRank + 1);
    return steps;
}

int ToolBarStrip::lastStep() const
{
    int overflowing = 0;
    for (const Item& item : m_items)
        overflowing = std::max(overflowing, item.overflowRank + 1);
    return titleSteps() + overflowing;
}

bool ToolBarStrip::dropsTitle(const Item& item) const { return item.button && item.titleRank >= 0; }

bool ToolBarStrip::titled(const Item& item, int step) const
{
    return dropsTitle(item) && item.titleRank >= step && !overflowed(item, step);
}

bool ToolBarStrip::overflowed(const Item& item, int step) const
{
    return item.overflowRank >= 0 && item.overflowRank < step - titleSteps();
}

bool ToolBarStrip::takesRoom(const Item& item, int step) const
{
    if (overflowed(item, step))
        return false;
    // Items that can move into the overflow are shown and hidden only here.
    if (item.overflow || item.separator)
        return true;
    return !item.widget->isHidden() || item.widget->sizePolicy().retainSizeWhenHidden();
}

int ToolBarStrip::itemWidth(const Item& item, int step) const
{
    if (item.separator)
        return separatorWidth;
    if (dropsTitle(item))
        return titled(item, step) ? item.titledWidth : item.iconWidth;
    return std::max(item.widget->sizeHint().width(), item.widget->minimumWidth());
}

int ToolBarStrip::groupWidth(Group group, int step) const
{
    int width = 0;
    int count = 0;
    bool separatorPending = false;
    for (const Item& item : m_items) {
        if (item.group != group || !takesRoom(item, step))
            continue;
        // A separator only between items that are on the bar.
        if (item.separator) {
            separatorPending = count > 0;
            continue;
        }
        if (separatorPending)
            width += separatorWidth + spacing;
        separatorPending = false;
        width += itemWidth(item, step) + (count > 0 ? spacing : 0);
        ++count;
    }
    return width;
}

int ToolBarStrip::widthAt(int step) const
{
    int width = groupWidth(Group::centre, step) + groupGap + groupWidth(Group::trailing, step);
    if (step > titleSteps())
        width += spacing + m_more->sizeHint().width();
    return width;
}

int ToolBarStrip::rowHeight() const
{
    int height = m_more->sizeHint().height();
    for (const Item& item : m_items)
        if (!item.separator)
            height = std::max(height, item.widget->sizeHint().height());
    return height;
}

// Only read: the widths were measured when the buttons, their fonts or
// their styles last changed (see event()).
QSize ToolBarStrip::sizeHint() const { return { widthAt(0), rowHeight() }; }

QSize ToolBarStrip::minimumSizeHint() const { return { widthAt(lastStep()), rowHeight() }; }

bool ToolBarStrip::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::Polish:
        m_measured = false;
        relayout();
        break;
    case QEvent::LayoutRequest:
        relayout();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void ToolBarStrip::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void ToolBarStrip::relayout()
{
    if (m_measuring)
        return;
    measure();
    const int last = lastStep();
    int step = 0;
    while (step < last && widthAt(step) > width())
        ++step;
    if (step != m_step) {
        m_step = step;
        updateGeometry();
    }

    const int height = this->height();
    auto place = [height](QWidget* widget, int x, int w) {
        const int h = std::min(height, widget->sizeHint().height());
        widget->setGeometry(x, (height - h) / 2, w, h);
    };
    // A separator's visibility is set once a pass, to what it ends as:
    // hiding and showing it again would ask for another layout each time.
    std::vector<QWidget*> linesShown;
    auto placeGroup = [&](Group group, int x) {
        int count = 0;
        bool separatorPending = false;
        QWidget* pendingLine = nullptr;
        for (Item& item : m_items) {
            if (item.group != group)
                continue;
            if (item.separator) {
                separatorPending = count > 0;
                pendingLine = item.widget;
                continue;
            }
            const bool onBar = takesRoom(item, step);
            if (item.overflow)
                item.widget->setVisible(onBar);
            if (!onBar)
                continue;
            if (separatorPending) {
                x += spacing;
                pendingLine->setGeometry(x + separatorWidth / 2, height / 5, 1, height - 2 * (height / 5));
                linesShown.push_back(pendingLine);
                x += separatorWidth;
            }
            separatorPending = false;
            if (count > 0)
                x += spacing;
            if (dropsTitle(item))
                item.button->setToolButtonStyle(titled(item, step) ? Qt::ToolButtonTextBesideIcon
                                                                   : Qt::ToolButtonIconOnly);
            const int w = itemWidth(item, step);
            place(item.widget, x, w);
            x += w;
            ++count;
        }
    };

    const bool overflowing = step > titleSteps();
    const int moreWidth = overflowing ? m_more->sizeHint().width() : 0;
    const int trailing = groupWidth(Group::trailing, step) + (overflowing ? spacing + moreWidth : 0);
    const int trailingStart = width() - trailing;
    placeGroup(Group::trailing, trailingStart);
    if (overflowing)
        place(m_more, width() - moreWidth, moreWidth);
    m_more->setVisible(overflowing);

    // Centred on the bar while that leaves the trailing group room, else
    // just before it.
    const int centre = groupWidth(Group::centre, step);
    const int x = std::max(0, std::min((width() - centre) / 2, trailingStart - groupGap - centre));
    placeGroup(Group::centre, x);
    for (const Item& item : std::as_const(m_items))
        if (item.separator)
            item.widget->setVisible(std::find(linesShown.begin(), linesShown.end(), item.widget) != linesShown.end());
}

void ToolBarStrip::fillOverflowMenu()
{
    m_moreMenu->clear();
    for (const Item& item : std::as_const(m_items))
        if (overflowed(item, m_step))
            m_moreMenu->addAction(item.overflow);
    DarkAppearance::apply(m_moreMenu);
}
