#pragma once

#include <QCheckBox>

// A check box whose text wraps onto further lines when its column is
// narrower than the text, instead of being cut off: its least width is the
// box and the longest word, and it grows downwards as it narrows. On one
// line it looks and behaves exactly like a plain check box.
class WrappingCheckBox : public QCheckBox {
    Q_OBJECT
public:
    explicit WrappingCheckBox(const QString& text, QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    bool wraps() const { return width() < sizeHint().width(); }
    // The text's place when it wraps within `width`, and the box's.
    QRect textRect(int width) const;
    QRect indicatorRect() const;
    // The check box's own height for one line of text.
    int lineHeight() const;
};
