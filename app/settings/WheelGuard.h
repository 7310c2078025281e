#pragma once

#include <QObject>
#include <QSet>

class QAbstractScrollArea;
class QWidget;

// Keeps the mouse wheel from changing settings. A picker, slider or spin
// box takes the wheel only once the user has clicked it or tabbed into it;
// over any other, the wheel scrolls the page it stands on, as it does over a
// label. Focus that arrives without the user's choosing (a tab switch handing
// it to the first control of the new page) does not count.
class WheelGuard : public QObject {
    Q_OBJECT
public:
    // Guards every such control under `root` as it stands now; the wheel
    // goes to `page` instead. The guard lives as long as the page.
    static void protect(QWidget* root, QAbstractScrollArea* page);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit WheelGuard(QAbstractScrollArea* page);
    void guard(QWidget* control);

    QAbstractScrollArea* m_page;
    QSet<QObject*> m_chosen; // controls the user clicked or tabbed into
};
