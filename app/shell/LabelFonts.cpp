#include "shell/LabelFonts.h"

#include <QFontDatabase>

#include <algorithm>
#include <cmath>

namespace {

bool isSystem(const QString& family) { return family.isEmpty() || family == QLatin1String("System"); }

void setViewPointSize(QFont& font, double size)
{
    // Map sizes are view points (logical pixels), not typographic points.
    if (std::isfinite(size) && size > 0)
        font.setPixelSize(std::max(1, int(std::lround(size))));
}

} // namespace

QFont labelFont(const QString& family, double size, bool bold)
{
    QFont font;
    if (isSystem(family)) {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setWeight(bold ? QFont::Bold : QFont::Medium);
    } else {
        font = QFont(family);
        font.setWeight(bold ? QFont::Bold : QFont::Normal);
    }
    setViewPointSize(font, size);
    return font;
}

QFont clockDisplayFont(const QString& family, double size, bool bold) { return labelFont(family, size, bold); }

const QStringList& installedFontFamilies()
{
    static const QStringList families = [] {
        QStringList names = QFontDatabase::families();
        std::sort(names.begin(), names.end()); // plain character-code order
        names.erase(std::unique(names.begin(), names.end()), names.end());
        names.prepend(QStringLiteral("System"));
        return names;
    }();
    return families;
}
