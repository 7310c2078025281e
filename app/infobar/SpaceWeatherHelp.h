#pragma once

#include <QFrame>

class QVBoxLayout;

// "Reading the space weather panel": what the five numbers mean, in a
// popover under the panel's help button. It closes on a click outside it or
// on Escape.
class SpaceWeatherHelp : public QFrame {
    Q_OBJECT
public:
    static constexpr int popoverWidth = 420;

    explicit SpaceWeatherHelp(QWidget* parent = nullptr);

    // Shows it under the anchor's bounds, centred on it, kept on the screen.
    void popUp(QWidget* anchor);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void item(QVBoxLayout* column, const QString& title, const QString& text);
};
