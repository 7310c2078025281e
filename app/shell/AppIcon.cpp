#include "shell/AppIcon.h"

#include "geo/MapData.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace AppIcon {

QString path()
{
    const QString folder = ResourceFolders::standard().application;
    const QString file = folder + QStringLiteral("/corvanta.svg");
    return !folder.isEmpty() && QFileInfo::exists(file) ? file : QString();
}

QIcon icon()
{
    // Drawn here rather than through Qt's SVG icon plugin, which an
    // installation may lack.
    QSvgRenderer drawing(path());
    if (!drawing.isValid())
        return {};
    QIcon icon;
    for (int size : { 16, 22, 24, 32, 48, 64, 128, 256 }) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        drawing.render(&painter);
        painter.end();
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

} // namespace AppIcon
