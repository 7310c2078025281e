#pragma once

#include <QRect>
#include <QWidget>

// Holds the map content and keeps its proportions: with keepProportions the
// content keeps a width to height ratio of 2:1, as large as fits and
// centred in the space offered; without, it fills the space. The space the
// content leaves free shows this widget's own background.
class MapShape : public QWidget {
    Q_OBJECT
public:
    explicit MapShape(QWidget* parent = nullptr);

    // Takes the content as its only child.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

    bool keepProportions() const { return m_keep; }
    void setKeepProportions(bool keep);

    // Where the content goes inside the offered rectangle.
    static QRect contentRect(const QRect& offered, bool keepProportions);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void place();

    QWidget* m_content = nullptr;
    bool m_keep = false;
};
