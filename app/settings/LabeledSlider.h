#pragma once

#include "support/SettingKey.h"

#include <QWidget>

class QLabel;
class QSlider;

// A slider row bound to a number key: the title, a continuous slider over a
// closed range that writes the key on every movement, and the value printed
// with a printf format in a column of fixed width, so rows of sliders line
// up.
class LabeledSlider : public QWidget {
    Q_OBJECT
public:
    static constexpr int valueWidth = 48;

    // Over the range the key's readers clamp to, so the slider can show
    // whatever a reader makes of the stored value.
    LabeledSlider(const QString& title, const DoubleKey& key, const QString& format, QWidget* parent = nullptr);

    // The value as the row prints it: the format with one floating-point
    // conversion, always with a decimal point. A format that ends in "%%"
    // prints the value times 100 (the setting is a fraction, the row shows
    // percent): "%.0f%%" prints 0.45 as "45%".
    static QString display(const QString& format, double value);

    QSlider* slider() const { return m_slider; }
    QLabel* valueLabel() const { return m_value; }

private:
    void reload();
    double valueAt(int position) const;

    DoubleKey m_key;
    double m_minimum;
    double m_maximum;
    QString m_format;
    QSlider* m_slider = nullptr;
    QLabel* m_value = nullptr;
    bool m_loading = false;
};
