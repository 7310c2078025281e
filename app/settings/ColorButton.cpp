#include "settings/ColorButton.h"

#include "settings/SettingControls.h"
#include "support/Settings.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr QSize swatch(34, 16);

} // namespace

ColorButton::ColorButton(const TextKey& key, QWidget* parent)
    : QPushButton(parent)
    , m_binding(colorBinding(Settings::standard(), key))
{
    setIconSize(swatch);
    setAccessibleName(QStringLiteral("Colour"));
    reload();
    connect(this, &QPushButton::clicked, this, [this] { choose(); });
    SettingBinding::follow(this, key.name, [this] { reload(); });
}

QColorDialog* ColorButton::dialog() const { return findChild<QColorDialog*>(); }

void ColorButton::reload()
{
    QPixmap pixmap(swatch * devicePixelRatioF());
    pixmap.setDevicePixelRatio(devicePixelRatioF());
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QColor(255, 255, 255, 60));
    painter.setBrush(m_binding.color());
    painter.drawRoundedRect(QRectF(0.5, 0.5, swatch.width() - 1, swatch.height() - 1), 3, 3);
    painter.end();
    setIcon(QIcon(pixmap));
}

void ColorButton::choose()
{
    if (QColorDialog* open = dialog()) {
        open->raise();
        return;
    }
    auto* picker = new QColorDialog(m_binding.color(), this);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    picker->setOption(QColorDialog::ShowAlphaChannel);
    // Qt's own dialog, in the window's dark palette.
    picker->setOption(QColorDialog::DontUseNativeDialog);
    picker->setAttribute(Qt::WA_WindowPropagation);
    picker->setPalette(palette());
    connect(picker, &QColorDialog::colorSelected, this, [this](const QColor& chosen) { m_binding.setColor(chosen); });
    picker->open();
}
