#pragma once

#include "settings/WrappingCheckBox.h"
#include "support/SettingKey.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVariant>

#include <functional>
#include <initializer_list>
#include <utility>
#include <variant>

// The settings window's controls, each bound to one catalogued key of
// Settings::standard(). A control shows the stored value (the key's reader
// default while it is absent), writes the key at once when the user changes
// it, never writes while it loads, and follows changes of its key made
// elsewhere (another window, a store, a test).
namespace SettingBinding {

// Calls `refresh` on every change of the named key while `receiver` lives.
void follow(QObject* receiver, const char* key, std::function<void()> refresh);

// Writes the key's reader default (never removes the key).
void writeDefault(const BoolKey& key);
void writeDefault(const IntKey& key);
void writeDefault(const DoubleKey& key);
void writeDefault(const TextKey& key);

// A button that writes the keys' reader defaults, in the order given.
template <SettingKeyType... Keys>
QPushButton* resetButton(const QString& title, const Keys&... keys)
{
    auto* button = new QPushButton(title);
    QObject::connect(button, &QPushButton::clicked, button, [keys...] { (writeDefault(keys), ...); });
    return button;
}

// A stored text that its reader cannot decode reads as nothing, and the
// first write would replace it. So before anything is written the text is
// copied to `aside` (once for each text) and "Settings: the stored WHAT
// could not be read; kept as ASIDE" is logged. An empty text is nothing
// stored. True when the stored text is unreadable.
bool keepUnreadable(const TextKey& key, const TextKey& aside, const QString& what,
                    const std::function<bool(const QString&)>& readable);
// The warning that says so, hidden: "The stored WHAT could not be read; a
// copy is kept as "ASIDE"."
QLabel* unreadableNote(const QString& what, const TextKey& aside);

} // namespace SettingBinding

// The rows of the pickers below: a title and the value stored for it.
namespace SettingChoices {

// Every case of a raw-text enumeration, titled and stored by the given
// functions; without them, by the enumeration's own title() and rawValue().
template <typename Cases, typename Title, typename Raw>
QList<std::pair<QString, QString>> ofCases(const Cases& cases, Title title, Raw raw)
{
    QList<std::pair<QString, QString>> choices;
    for (const auto c : cases)
        choices.append({ title(c), raw(c) });
    return choices;
}

template <typename Cases>
QList<std::pair<QString, QString>> ofCases(const Cases& cases)
{
    return ofCases(
        cases, [](auto c) { return title(c); }, [](auto c) { return rawValue(c); });
}

// "10 minutes" and so on, storing the number.
QList<std::pair<QString, qint64>> minutes(std::initializer_list<qint64> choices);

} // namespace SettingChoices

// A switch: a check box with its title beside it, wrapping in a narrow
// column.
class SettingCheckBox : public WrappingCheckBox {
    Q_OBJECT
public:
    SettingCheckBox(const BoolKey& key, const QString& title, QWidget* parent = nullptr);

private:
    void reload();

    BoolKey m_key;
};

// A picker that is never narrower than its current row, however short the
// contents length it is set to keep: a long row makes the layout give it
// room rather than being cut off.
class FittingComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit FittingComboBox(QWidget* parent = nullptr);

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

private:
    int currentRowWidth() const;
};

// A picker over fixed choices, each a title and the value it stores. A
// stored value that is none of the choices is left as it is; the picker
// then shows no row until the user picks one.
class SettingComboBox : public FittingComboBox {
    Q_OBJECT
public:
    SettingComboBox(const TextKey& key, const QList<std::pair<QString, QString>>& choices, QWidget* parent = nullptr);
    SettingComboBox(const DoubleKey& key, const QList<std::pair<QString, double>>& choices, QWidget* parent = nullptr);
    SettingComboBox(const IntKey& key, const QList<std::pair<QString, qint64>>& choices, QWidget* parent = nullptr);

    // For a key whose readers take an unknown value as the key's default
    // (an enumeration's raw text): the picker then shows the default's row
    // too. It still writes nothing until the user picks.
    void showUnknownAsDefault();
    // A divider line before the row at `index`; it stores nothing and is
    // never shown as the choice.
    void insertDivider(int index);

private:
    void addChoice(const QString& title, const QVariant& stored);
    void bind(const char* key);
    void reload();
    void store(int index);

    std::variant<TextKey, DoubleKey, IntKey> m_key;
    bool m_loading = false;
    bool m_unknownAsDefault = false;
};

// The font family picker: "System" (shown "System font") and then every
// installed family, storing the family's name.
class FontPicker : public SettingComboBox {
    Q_OBJECT
public:
    explicit FontPicker(const TextKey& key, QWidget* parent = nullptr);
};

// A text field that stores its text as typed: no trimming, no change of
// case. It stores on every edit, or, for a key whose reader acts on each
// change (an address the cluster client connects to), once editing is done:
// on Return, when the field loses focus and when it is hidden.
class SettingLineEdit : public QLineEdit {
    Q_OBJECT
public:
    enum class Commit { eachEdit, whenFinished };

    explicit SettingLineEdit(const TextKey& key, Commit commit = Commit::eachEdit, QWidget* parent = nullptr);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void reload();
    void store();

    TextKey m_key;
    Commit m_commit;
    bool m_loading = false;
};
