#pragma once

#include <QToolButton>

class QTimer;

// A toolbar button that shows a small spinning indicator in place of its
// icon and title while work it started is running. It keeps its size and
// stays clickable meanwhile.
class RefreshButton : public QToolButton {
    Q_OBJECT
public:
    explicit RefreshButton(QWidget* parent = nullptr);

    bool isBusy() const { return m_busy; }
    void setBusy(bool busy);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_busy = false;
    int m_step = 0;
    QTimer* m_timer = nullptr;
};
