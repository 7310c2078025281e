#pragma once

#include "support/SettingKey.h"

#include <QLineEdit>

#include <optional>

// Numbers in the settings window's fields, the same under every locale: a
// point for the decimal separator, no grouping.
namespace NumberText {

// At most `maxFractionDigits` decimals, trailing zeros dropped: 12.34 with
// one digit shows "12.3", 10 shows "10", −0 shows "0".
QString format(double value, int maxFractionDigits);

// The whole text, blanks around it ignored, as one finite decimal number;
// nothing for anything else ("", "abc", "12,5", "inf", "nan", "1e999").
std::optional<double> parse(const QString& text);

} // namespace NumberText

// A text field for one number. Typed text is read when the edit is
// committed (Return, or leaving the field): a finite number is handed on
// through `committed`; anything else hands on nothing and the field shows
// the last good value again.
class NumberField : public QLineEdit {
    Q_OBJECT
public:
    explicit NumberField(int maxFractionDigits, QWidget* parent = nullptr);

    // Shows a value as the last good one. While the user is typing in the
    // field, the typed text stays and only the last good value changes.
    void setValue(double value);
    std::optional<double> value() const { return m_value; }

Q_SIGNALS:
    void committed(double value);

private:
    void commit();
    void display(double value);

    int m_digits;
    std::optional<double> m_value;
    bool m_typed = false;   // text changed by the user since the last commit
    bool m_showing = false; // the field is changing its own text
    int m_shown = 0;        // how often a value was shown, to see whether the receiver showed one
};

// A number field bound to a catalogued key; stores what was typed as read,
// without a range check.
class SettingNumberField : public NumberField {
    Q_OBJECT
public:
    SettingNumberField(const DoubleKey& key, int maxFractionDigits, QWidget* parent = nullptr);

private:
    void reload();

    DoubleKey m_key;
};
