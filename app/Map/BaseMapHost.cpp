#include "BaseMapHost.h"

#include "BaseMapLayer.h"
#include "Color.h"
#include "MapFit.h"
#include "MapViewportModel.h"
#include "Settings.h"

#include <QPainter>
#include <QResizeEvent>

namespace {

bool fillMode(const Settings& settings)
{
    return MapFits::fromRaw(settings.stringValue(QStringLiteral("mapFit"))).value_or(MapFit::fill) == MapFit::fill;
}

} // namespace

BaseMapHost::BaseMapHost(MapViewportModel& viewport, QWidget* parent)
    : QWidget(parent)
    , m_viewport(viewport)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_viewport.setFill(fillMode(Settings::standard()));
    connect(&m_viewport, &MapViewportModel::viewportChanged, this, qOverload<>(&QWidget::update));
    connect(&Settings::standard(), &Settings::changed, this, &BaseMapHost::onSettingChanged);
}

void BaseMapHost::onSettingChanged(const QString& key)
{
    if (key == QLatin1String("mapFit")) {
        // A change of fit mode always shows the whole world again.
        m_viewport.setFill(fillMode(Settings::standard()));
        m_viewport.showWholeWorld();
        return;
    }
    static const QStringList drawnFrom { QStringLiteral("mapStyle"), QStringLiteral("showGrid"),
        QStringLiteral("borderColor"), QStringLiteral("borderWidth"), QStringLiteral("gridFontFamily"),
        QStringLiteral("gridFontSize"), QStringLiteral("gridLabelColor") };
    if (drawnFrom.contains(key))
        update();
}

void BaseMapHost::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_viewport.setViewSize(QSizeF(event->size()));
}

void BaseMapHost::paintEvent(QPaintEvent*)
{
    const Settings& settings = Settings::standard();
    const MapStyle style
        = MapStyles::fromRaw(settings.stringValue(QStringLiteral("mapStyle"))).value_or(MapStyle::dark);
    const QString borderText = settings.stringValue(QStringLiteral("borderColor"));
    const QString gridText = settings.stringValue(QStringLiteral("gridLabelColor"));
    const QColor gridColor = !gridText.isEmpty() ? Color::fromHex(gridText)
        : MapStyles::isLight(style)             ? QColor::fromRgbF(0, 0, 0, 0.55)
                                                : QColor::fromRgbF(1, 1, 1, 0.55);

    const BaseMapLayer layer {
        MapProjection::forView(QSizeF(size()), m_viewport.viewport(), m_viewport.fill()),
        style,
        settings.boolValue(QStringLiteral("showGrid"), true),
        { borderText.isEmpty() ? MapStyles::border(style) : Color::fromHex(borderText),
          settings.doubleValue(QStringLiteral("borderWidth"), 0.6) },
        { gridLabelFont(settings.stringValue(QStringLiteral("gridFontFamily"), QStringLiteral("System")),
                        settings.doubleValue(QStringLiteral("gridFontSize"), 9.0)),
          gridColor },
    };
    QPainter painter(this);
    layer.paint(painter);
}
