#include "settings/LabeledSlider.h"

#include "settings/SettingControls.h"
#include "settings/SettingsSection.h"
#include "support/NumberText.h"
#include "support/Settings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace {

// Steps of the underlying integer slider; fine enough to feel continuous.
constexpr int steps = 1000;

} // namespace

QString LabeledSlider::display(const QString& format, double value)
{
    const double shown = format.endsWith(QLatin1String("%%")) ? value * 100 : value;
    return NumberText::printf(format.toUtf8().constData(), shown);
}

LabeledSlider::LabeledSlider(const QString& title, const DoubleKey& key, const QString& format, QWidget* parent)
    : QWidget(parent)
    , m_key(key)
    , m_minimum(key.min)
    , m_maximum(key.max)
    , m_format(format)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(SettingsText::plain(title));
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setRange(0, steps);
    row->addWidget(m_slider, 1);
    m_value = SettingsText::plain(QString());
    m_value->setWordWrap(false);
    m_value->setFixedWidth(valueWidth);
    m_value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SettingsText::setColor(m_value, SettingsText::secondary());
    row->addWidget(m_value);

    reload();
    connect(m_slider, &QSlider::valueChanged, this, [this](int position) {
        if (!m_loading)
            Settings::standard().set(m_key, valueAt(position));
    });
    SettingBinding::follow(this, key.name, [this] { reload(); });
}

double LabeledSlider::valueAt(int position) const { return m_minimum + (m_maximum - m_minimum) * position / steps; }

void LabeledSlider::reload()
{
    const double value = Settings::standard().get(m_key);
    m_value->setText(display(m_format, value));
    const double span = m_maximum - m_minimum;
    const double fraction = span > 0 ? (value - m_minimum) / span : 0;
    m_loading = true;
    m_slider->setValue(int(std::lround(std::clamp(fraction, 0.0, 1.0) * steps)));
    m_loading = false;
}
