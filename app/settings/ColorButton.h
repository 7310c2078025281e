#pragma once

#include "kit/Color.h"

#include <QList>
#include <QPushButton>

#include <functional>

class QColorDialog;

// A colour well bound to a colour text key: shows the stored colour (an
// empty text as opaque black, like every colour control) and opens a colour
// dialog whose chosen colour is stored as "#RRGGBBAA".
//
// A colour with a rule of its own (an empty text meaning the map style's
// colour, say) gives the well its own reading and writing, and the keys the
// reading depends on, so the well follows each of them.
class ColorButton : public QPushButton {
    Q_OBJECT
public:
    // Whether the dialog offers opacity. Without it every chosen colour is
    // stored opaque.
    enum class Opacity { offered, none };

    struct Binding {
        std::function<QColor()> read;
        std::function<void(const QColor&)> write;
        QList<const char*> keys;
    };

    explicit ColorButton(const TextKey& key, Opacity opacity = Opacity::offered, QWidget* parent = nullptr);
    ColorButton(Binding binding, Opacity opacity, QWidget* parent = nullptr);

    QColor color() const { return m_binding.read(); }
    // The open dialog, if any.
    QColorDialog* dialog() const;
    // Shows the colour the binding reads now: for a binding that follows
    // something other than settings keys.
    void reload();

private:
    void choose();

    Binding m_binding;
    Opacity m_opacity;
};
