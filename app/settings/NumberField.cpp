#include "settings/NumberField.h"

#include "settings/SettingControls.h"
#include "support/Settings.h"
#include "support/StrictNumber.h"

namespace NumberText {

QString format(double value, int maxFractionDigits)
{
    QString text = QString::number(value, 'f', maxFractionDigits);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    if (text == QLatin1String("-0"))
        text = QStringLiteral("0");
    return text;
}

std::optional<double> parse(const QString& text) { return StrictNumber::parseDouble(text.trimmed()); }

} // namespace NumberText

NumberField::NumberField(int maxFractionDigits, QWidget* parent)
    : QLineEdit(parent)
    , m_digits(maxFractionDigits)
{
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (!m_showing)
            m_typed = true;
    });
    connect(this, &QLineEdit::editingFinished, this, [this] { commit(); });
}

void NumberField::setValue(double value)
{
    m_value = value;
    ++m_shown;
    if (m_typed && hasFocus())
        return;
    display(value);
}

void NumberField::display(double value)
{
    m_showing = true;
    setText(NumberText::format(value, m_digits));
    m_showing = false;
    m_typed = false;
}

void NumberField::commit()
{
    if (!m_typed)
        return;
    m_typed = false;
    const std::optional<double> typed = NumberText::parse(text());
    const int shownBefore = m_shown;
    if (typed)
        Q_EMIT committed(*typed);
    // The receiver shows what it stored; when it stored nothing, or the text
    // was no number, the last good value comes back.
    if (m_shown == shownBefore) {
        m_showing = true;
        setText(m_value ? NumberText::format(*m_value, m_digits) : QString());
        m_showing = false;
    }
}

// SettingNumberField

SettingNumberField::SettingNumberField(const DoubleKey& key, int maxFractionDigits, QWidget* parent)
    : NumberField(maxFractionDigits, parent)
    , m_key(key)
{
    reload();
    connect(this, &NumberField::committed, this, [this](double value) { Settings::standard().set(m_key, value); });
    SettingBinding::follow(this, key.name, [this] { reload(); });
}

void SettingNumberField::reload() { setValue(Settings::standard().get(m_key)); }
