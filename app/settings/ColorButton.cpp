#include "settings/ColorButton.h"

#include "settings/SettingControls.h"
#include "support/Settings.h"

#include <QColorDialog>
#include <QPainter>
#include <QPixmap>

namespace {

constexpr QSize swatch(34, 16);

} // namespace

ColorButton::ColorButton(const TextKey& key, Opacity opacity, QWidget* parent)
    : ColorButton(Binding {
                      [binding = colorBinding(Settings::standard(), key)] { return binding.color(); },
                      [binding = colorBinding(Settings::standard(), key)](const QColor& c) { binding.setColor(c); },
                      { key.name },
                  },
                  opacity, parent)
{
}

ColorButton::ColorButton(Binding binding, Opacity opacity, QWidget* parent)
    : QPushButton(parent)
    , m_binding(std::move(binding))
    , m_opacity(opacity)
{
    setIconSize(swatch);
    setAccessibleName(QStringLiteral("Colour"));
    reload();
    connect(this, &QPushButton::clicked, this, [this] { choose(); });
    for (const char* key : m_binding.keys)
        SettingBinding::follow(this, key, [this] { reload(); });
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
    painter.setBrush(color());
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
    auto* picker = new QColorDialog(color(), this);
    picker->setAttribute(Qt::WA_DeleteOnClose);
    picker->setOption(QColorDialog::ShowAlphaChannel, m_opacity == Opacity::offered);
    // Qt's own dialog, in the window's dark palette.
    picker->setOption(QColorDialog::DontUseNativeDialog);
    picker->setAttribute(Qt::WA_WindowPropagation);
    picker->setPalette(palette());
    connect(picker, &QColorDialog::colorSelected, this, [this](QColor chosen) {
        if (m_opacity == Opacity::none)
            chosen.setAlpha(255);
        m_binding.write(chosen);
    });
    picker->open();
}
