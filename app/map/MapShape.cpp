#include "map/MapShape.h"

#include <algorithm>

MapShape::MapShape(QWidget* parent)
    : QWidget(parent)
{
}

void MapShape::setContent(QWidget* content)
{
    m_content = content;
    if (content) {
        content->setParent(this);
        content->show();
    }
    place();
}

void MapShape::setKeepProportions(bool keep)
{
    if (m_keep == keep)
        return;
    m_keep = keep;
    place();
}

QRect MapShape::contentRect(const QRect& offered, bool keepProportions)
{
    if (!keepProportions || offered.isEmpty())
        return offered;
    const int width = std::min(offered.width(), offered.height() * 2);
    const int height = width / 2;
    return QRect(offered.x() + (offered.width() - width) / 2, offered.y() + (offered.height() - height) / 2, width,
                 height);
}

void MapShape::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    place();
}

void MapShape::place()
{
    if (m_content)
        m_content->setGeometry(contentRect(rect(), m_keep));
}
