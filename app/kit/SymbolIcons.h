#pragma once

#include <QIcon>
#include <QString>

// Toolbar icons by symbol name ("gearshape", "arrow.clockwise", …). The
// desktop's icon theme supplies the icon where it has an equivalent; the
// application's own drawings (Resources/icons/<symbol>.svg) serve
// everywhere else, tinted for the dark toolbar: light when off, accent when
// a toggle is on, dimmed when disabled.
namespace SymbolIcons {

QIcon icon(const QString& symbol);

// The bundled drawing alone (no theme), for tests and previews.
QIcon bundled(const QString& symbol);

// The freedesktop icon name standing in for a symbol; empty when the
// themes have no equivalent.
QString themeName(const QString& symbol);

} // namespace SymbolIcons
