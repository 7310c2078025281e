#pragma once

#include <QColor>
#include <QWidget>

// The small filled circle before a connection's status line: green while
// connected, orange otherwise.
class StatusDot : public QWidget {
    Q_OBJECT
public:
    static constexpr int diameter = 8;

    static QColor green();
    static QColor orange();

    explicit StatusDot(QWidget* parent = nullptr);

    void setConnected(bool connected);
    QColor color() const { return m_color; }

    QSize sizeHint() const override { return { diameter, diameter }; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color = orange();
};
