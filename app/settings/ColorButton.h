#pragma once

#include "shell/Color.h"

#include <QPushButton>

class QColorDialog;

// A colour well bound to a colour text key: shows the stored colour (an
// empty text as opaque black, like every colour control) and opens a colour
// dialog, with opacity, whose chosen colour is stored as "#RRGGBBAA".
class ColorButton : public QPushButton {
    Q_OBJECT
public:
    explicit ColorButton(const TextKey& key, QWidget* parent = nullptr);

    QColor color() const { return m_binding.color(); }
    // The open dialog, if any.
    QColorDialog* dialog() const;

private:
    void reload();
    void choose();

    ColorBinding m_binding;
};
