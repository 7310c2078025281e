#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class QAction;
class QMenu;
class QToolButton;

// The row of items in the main window's toolbar: a group centred on the
// bar and a group at its trailing end.
//
// Every item has a slot of fixed width, so a text that changes (a menu
// showing its choice, a rotator's Stop button coming and going, the
// warning appearing) never moves another item. When the bar is too narrow,
// it gives up room step by step: first the titles of the buttons in the
// order given to setTitleOrder() (their icons stay), then whole items in
// the order given to setOverflowOrder(), which move into the menu of an
// overflow button at the trailing end.
class ToolBarStrip : public QWidget {
    Q_OBJECT
public:
    enum class Group { centre, trailing };

    explicit ToolBarStrip(QWidget* parent = nullptr);

    // A button; if setTitleOrder() names it, it shows its title beside its
    // icon while there is room, in a slot as wide as its widest title in
    // `titles` (its current text when empty). `overflow` stands for it in
    // the overflow menu; an item without one always stays on the bar.
    void addButton(QToolButton* button, Group group, QAction* overflow, const QStringList& titles = {});
    // A widget that always stays on the bar as it is. While hidden it takes
    // no room, unless its size policy retains its size when hidden.
    void addWidget(QWidget* widget, Group group);
    void addSeparator(Group group);

    void setTitleOrder(const QList<QToolButton*>& buttons);
    void setOverflowOrder(const QList<QWidget*>& items);

    // Whether the button shows its title, and whether the item is in the
    // overflow menu rather than on the bar.
    bool showsTitle(const QToolButton* button) const;
    bool isOverflowed(const QWidget* item) const;
    // How far the bar has given up room: 0 with every title and item.
    int step() const { return m_step; }
    QToolButton* overflowButton() const { return m_more; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct Item {
        QWidget* widget = nullptr;
        QToolButton* button = nullptr; // the widget, when it has a title to drop
        Group group = Group::centre;
        QAction* overflow = nullptr;
        QStringList titles;
        bool separator = false;
        int titleRank = -1;    // position in the title order
        int overflowRank = -1; // position in the overflow order
        int titledWidth = 0;   // measured
        int iconWidth = 0;
    };

    void adopt(QWidget* widget);
    // The buttons' widths with and without their titles, found by setting
    // each title and style in turn: only when a font, text or style
    // changed, never from a size hint.
    void measure();
    bool dropsTitle(const Item& item) const;
    int titleSteps() const;
    int lastStep() const;
    bool titled(const Item& item, int step) const;
    bool overflowed(const Item& item, int step) const;
    bool takesRoom(const Item& item, int step) const;
    int itemWidth(const Item& item, int step) const;
    int groupWidth(Group group, int step) const;
    int widthAt(int step) const;
    int rowHeight() const;
    void relayout();
    void fillOverflowMenu();
    const Item* find(const QWidget* widget) const;

    QList<Item> m_items;
    bool m_measured = false;
    bool m_measuring = false;
    int m_step = 0;
    QToolButton* m_more = nullptr;
    QMenu* m_moreMenu = nullptr;
};
