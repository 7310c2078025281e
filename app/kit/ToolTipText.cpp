#include "kit/ToolTipText.h"

#include <QTextDocument>

namespace ToolTipText {

QString plain(const QString& text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre'>") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

} // namespace ToolTipText
