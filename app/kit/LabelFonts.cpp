#include "kit/LabelFonts.h"

#include <QFontDatabase>

#include <algorithm>
#include <cmath>

namespace {

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
    if (isSystemFontFamily(family)) {
        font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        font.setWeight(bold ? QFont::Bold : QFont::Medium);
    } else {
        font = QFont(family);
        font.setWeight(bold ? QFont::Bold : QFont::Normal);
    }
    setViewPointSize(font, size);
    return font;
}

bool isSystemFontFamily(const QString& family) { return family.isEmpty() || family == QLatin1String("System"); }

QFont clockDisplayFont(const QString& family, double size, bool bold)
{
    QFont font = labelFont(family, size, bold);
    if (std::isfinite(size) && size > 0)
        font.setPointSizeF(size * 72.0 / 96.0);
    return font;
}

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
