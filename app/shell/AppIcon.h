#pragma once

#include <QIcon>
#include <QString>

// The application's own icon, drawn once as Resources/corvanta.svg: the
// windows' icon, the About box's picture, and (installed into the hicolor
// theme as org.corvanta.Corvanta) the desktop menu's.
namespace AppIcon {

// The drawing's path; empty when the resource folder lacks it.
QString path();

// The icon at the sizes desktops ask for, 16 to 256 pixels; a null icon
// when the drawing is missing.
QIcon icon();

} // namespace AppIcon
