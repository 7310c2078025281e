#pragma once

#include <QString>

namespace ToolTipText {

// A tool tip that reads as it stands. Qt shows a tool tip as rich text when
// it looks like markup, and text from outside (a node's comment, a
// controller's or the network's message) must never be read as markup: such
// a text is escaped and kept on its lines.
QString plain(const QString& text);

} // namespace ToolTipText
