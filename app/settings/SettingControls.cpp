#include "settings/SettingControls.h"

#include "kit/AppLog.h"
#include "kit/LabelFonts.h"
#include "settings/SettingsSection.h"
#include "support/Settings.h"

#include <QSignalBlocker>
#include <QStyleOptionComboBox>

#include <type_traits>

namespace SettingBinding {

void follow(QObject* receiver, const char* key, std::function<void()> refresh)
{
    const QString name = QString::fromLatin1(key);
    QObject::connect(&Settings::standard(), &Settings::changed, receiver,
                     [name, refresh = std::move(refresh)](const QString& changed) {
                         if (changed == name)
                             refresh();
                     });
}

void writeDefault(const BoolKey& key) { Settings::standard().set(key, key.fallback); }
void writeDefault(const IntKey& key) { Settings::standard().set(key, key.fallback); }
void writeDefault(const DoubleKey& key) { Settings::standard().set(key, key.fallback); }
void writeDefault(const TextKey& key) { Settings::standard().set(key, QString::fromUtf8(key.fallback)); }

bool keepUnreadable(const TextKey& key, const TextKey& aside, const QString& what,
                    const std::function<bool(const QString&)>& readable)
{
    Settings& settings = Settings::standard();
    const QString stored = settings.get(key);
    if (stored.isEmpty() || readable(stored))
        return false;
    if (settings.get(aside) == stored)
        return true; // kept already
    settings.set(aside, stored);
    AppLog::file().write(
        QStringLiteral("Settings: the stored %1 could not be read; kept as %2").arg(what, QLatin1String(aside.name)));
    return true;
}

QLabel* unreadableNote(const QString& what, const TextKey& aside)
{
    QLabel* note = SettingsText::caption(QStringLiteral("The stored %1 could not be read; a copy is kept as \"%2\".").arg(what, QLatin1String(aside.name)),
        SettingsText::warning());
    note->hide();
    return note;
}

} // namespace SettingBinding

namespace SettingChoices {

QList<std::pair<QString, qint64>> minutes(std::initializer_list<qint64> choices)
{
    QList<std::pair<QString, qint64>> rows;
    for (const qint64 m : choices)
        rows.append({ QStringLiteral("%1 minutes").arg(m), m });
    return rows;
}

} // namespace SettingChoices

// SettingCheckBox

SettingCheckBox::SettingCheckBox(const BoolKey& key, const QString& title, QWidget* parent)
    : WrappingCheckBox(title, parent)
    , m_key(key)
{
    reload();
    connect(this, &QCheckBox::toggled, this, [this](bool on) { Settings::standard().set(m_key, on); });
    SettingBinding::follow(this, key.name, [this] { reload(); });
}

void SettingCheckBox::reload()
{
    const QSignalBlocker quiet(this);
    setChecked(Settings::standard().get(m_key));
}

// FittingComboBox

FittingComboBox::FittingComboBox(QWidget* parent)
    : QComboBox(parent)
{
    connect(this, &QComboBox::currentIndexChanged, this, [this] { updateGeometry(); });
    connect(this, &QComboBox::currentTextChanged, this, [this] { updateGeometry(); });
}

int FittingComboBox::currentRowWidth() const
{
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QSize text(fontMetrics().horizontalAdvance(currentText()), fontMetrics().height());
    return style()->sizeFromContents(QStyle::CT_ComboBox, &option, text, this).width();
}

QSize FittingComboBox::minimumSizeHint() const
{
    QSize least = QComboBox::minimumSizeHint();
    least.setWidth(std::max(least.width(), currentRowWidth()));
    return least;
}

QSize FittingComboBox::sizeHint() const
{
    QSize hint = QComboBox::sizeHint();
    hint.setWidth(std::max(hint.width(), currentRowWidth()));
    return hint;
}

// SettingComboBox

SettingComboBox::SettingComboBox(const TextKey& key, const QList<std::pair<QString, QString>>& choices, QWidget* parent)
    : FittingComboBox(parent)
    , m_key(key)
{
    for (const auto& [title, stored] : choices)
        addChoice(title, stored);
    bind(key.name);
}

SettingComboBox::SettingComboBox(const DoubleKey& key, const QList<std::pair<QString, double>>& choices,
                                 QWidget* parent)
    : FittingComboBox(parent)
    , m_key(key)
{
    for (const auto& [title, stored] : choices)
        addChoice(title, stored);
    bind(key.name);
}

SettingComboBox::SettingComboBox(const IntKey& key, const QList<std::pair<QString, qint64>>& choices, QWidget* parent)
    : FittingComboBox(parent)
    , m_key(key)
{
    for (const auto& [title, stored] : choices)
        addChoice(title, stored);
    bind(key.name);
}

void SettingComboBox::addChoice(const QString& title, const QVariant& stored)
{
    const QSignalBlocker quiet(this);
    addItem(title, stored);
}

void SettingComboBox::bind(const char* key)
{
    reload();
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) { store(index); });
    SettingBinding::follow(this, key, [this] { reload(); });
}

void SettingComboBox::showUnknownAsDefault()
{
    m_unknownAsDefault = true;
    reload();
}

void SettingComboBox::insertDivider(int index)
{
    {
        const QSignalBlocker quiet(this);
        insertSeparator(index);
    }
    reload();
}

void SettingComboBox::reload()
{
    const Settings& settings = Settings::standard();
    const auto indexOf = [this](const QVariant& value) {
        for (int i = 0; i < count(); ++i) {
            const QVariant stored = itemData(i);
            if (!stored.isValid()) // a divider
                continue;
            if (std::holds_alternative<TextKey>(m_key) ? stored.toString() == value.toString()
                                                       : stored.toDouble() == value.toDouble())
                return i;
        }
        return -1;
    };
    int found
        = indexOf(std::visit([&settings](const auto& key) { return QVariant::fromValue(settings.get(key)); }, m_key));
    if (found < 0 && m_unknownAsDefault)
        found = indexOf(std::visit(
            [](const auto& key) -> QVariant {
                if constexpr (std::is_same_v<std::decay_t<decltype(key)>, TextKey>)
                    return QString::fromUtf8(key.fallback);
                else
                    return QVariant::fromValue(key.fallback);
            },
            m_key));
    m_loading = true;
    setCurrentIndex(found);
    m_loading = false;
}

void SettingComboBox::store(int index)
{
    if (m_loading || index < 0)
        return;
    const QVariant stored = itemData(index);
    Settings& settings = Settings::standard();
    if (const auto* text = std::get_if<TextKey>(&m_key))
        settings.set(*text, stored.toString());
    else if (const auto* number = std::get_if<DoubleKey>(&m_key))
        settings.set(*number, stored.toDouble());
    else
        settings.set(std::get<IntKey>(m_key), stored.toLongLong());
}

// FontPicker

namespace {

QList<std::pair<QString, QString>> fontChoices()
{
    QList<std::pair<QString, QString>> choices;
    for (const QString& family : installedFontFamilies())
        choices.append({ family == QLatin1String("System") ? QStringLiteral("System font") : family, family });
    return choices;
}

} // namespace

FontPicker::FontPicker(const TextKey& key, QWidget* parent)
    : SettingComboBox(key, fontChoices(), parent)
{
}

// SettingLineEdit

SettingLineEdit::SettingLineEdit(const TextKey& key, Commit commit, QWidget* parent)
    : QLineEdit(parent)
    , m_key(key)
    , m_commit(commit)
{
    reload();
    if (m_commit == Commit::eachEdit) {
        connect(this, &QLineEdit::textChanged, this, [this] {
            if (!m_loading)
                store();
        });
    } else {
        connect(this, &QLineEdit::editingFinished, this, [this] { store(); });
    }
    SettingBinding::follow(this, key.name, [this] { reload(); });
}

void SettingLineEdit::hideEvent(QHideEvent* event)
{
    // Closing the window or leaving the tab ends the edit too.
    if (m_commit == Commit::whenFinished && !m_loading)
        store();
    QLineEdit::hideEvent(event);
}

void SettingLineEdit::store()
{
    Settings& settings = Settings::standard();
    // Leaving a field unchanged writes nothing, so an untouched absent key
    // stays absent.
    if (settings.get(m_key) == text())
        return;
    settings.set(m_key, text());
    setModified(false);
}

void SettingLineEdit::reload()
{
    const QString stored = Settings::standard().get(m_key);
    if (stored == text())
        return; // our own write: keep the cursor where the user is typing
    // Text typed and not yet stored stays until its edit ends.
    if (m_commit == Commit::whenFinished && isModified() && hasFocus())
        return;
    m_loading = true;
    setText(stored);
    m_loading = false;
}
