#pragma once

#include <QColor>
#include <QPalette>

class QStyle;
class QWidget;

// The main window's own look: dark, whatever the desktop's appearance, in
// the colours of the map's panels. Used with the Fusion style, which draws
// every control from the palette.
namespace DarkAppearance {

QPalette palette();

QColor text();       // labels and icons
QColor dimmedText(); // disabled controls
QColor accent();     // pressed toggles, selections
QColor toolBar();    // toolbar background

// Gives the window, the menus it holds so far and every tooltip the dark
// palette. Call again after adding menus.
void apply(QWidget* window);

// The application's style: Fusion, with the frame of a check box's box
// drawn light enough to see on the dark palette, checked or not.
QStyle* style();

// The style sheet of the main toolbar's buttons.
QString toolBarStyleSheet();

} // namespace DarkAppearance
