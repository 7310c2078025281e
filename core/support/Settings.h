#pragma once

#include "support/AtomicFile.h"
#include "support/SettingKey.h"

#include <QObject>
#include <QSet>
#include <QSettings>
#include <QString>
#include <QTimer>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

// The application's one settings store, in place of the platform's user
// defaults: flat keys in an INI file in the user's configuration folder.
//
// INI files hand every value back as text after a restart, so the typed
// readers convert stored text the way the user defaults would ("true", "1",
// "54.687"), and fall back to the reader's own default when the key is
// absent or holds something they cannot read.
//
// Every write and removal in the application goes through this object, and
// each one emits `changed(key)`; views and stores that follow a setting
// listen to that signal. Lives on the main thread.
//
// Nothing is lost in silence. Writes reach the file on the next turn of the
// event loop; when that fails (a read-only folder, a full disk) the values
// stay in memory for the run, the cause is logged once and `note()` says so
// until a later save works. A file that does not read back cleanly at
// start (a syntax error, or fewer keys than lines that look like keys, as
// after an unclosed quote) is copied aside as "<file>.unreadable" before
// anything can write over it.
class Settings : public QObject {
    Q_OBJECT
public:
    // The process-wide store ("Corvanta" in the user's config folder).
    static Settings& standard();

    // A store over a given INI file (tests, tools). Keeps a copy of the file
    // when it does not read back cleanly, and removes what a kill left of
    // writing such a copy.
    explicit Settings(const QString& iniPath, QObject* parent = nullptr);
    ~Settings() override;

    bool contains(const QString& key) const;
    QVariant value(const QString& key) const; // invalid when absent

    // Booleans: a stored bool; the texts "true"/"yes" and "false"/"no" in any
    // case; a number (non-zero is true). Anything else gives the default.
    bool boolValue(const QString& key, bool defaultValue) const;
    // Integers: a stored integer, or a number text (a fractional number is
    // truncated towards zero). Non-finite or out-of-range gives the default.
    qint64 intValue(const QString& key, qint64 defaultValue) const;
    // Doubles: a stored number or a finite number text.
    double doubleValue(const QString& key, double defaultValue) const;
    // Text: a stored text, or a number or bool written as text.
    QString stringValue(const QString& key, const QString& defaultValue = {}) const;

    // Readers that say "absent" instead of taking a default.
    std::optional<bool> optionalBool(const QString& key) const;
    std::optional<qint64> optionalInt(const QString& key) const;
    std::optional<double> optionalDouble(const QString& key) const;
    std::optional<QString> optionalString(const QString& key) const;

    // Typed access to a catalogued key: the reader's default when the key is
    // absent, unreadable or no finite number; numbers clamped into the key's
    // range (a whole-number key clamps a number too large for 64 bits too).
    bool get(const BoolKey& key) const;
    qint64 get(const IntKey& key) const;
    double get(const DoubleKey& key) const;
    QString get(const TextKey& key) const;
    void set(const BoolKey& key, bool value);
    void set(const IntKey& key, qint64 value);
    void set(const DoubleKey& key, double value);
    void set(const TextKey& key, const QString& value);
    template <SettingKeyType Key>
    bool contains(const Key& key) const
    {
        return contains(QLatin1String(key.name));
    }
    template <SettingKeyType Key>
    void remove(const Key& key)
    {
        remove(QLatin1String(key.name));
    }

    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);

    QStringList allKeys() const;
    // Writes pending changes to disk now (otherwise done on the next turn of
    // the event loop) and checks that they arrived.
    void sync();
    QString fileName() const;
    // "<file>.unreadable": the copy of a file that did not read back cleanly.
    QString unreadableCopyPath() const { return fileName() + QStringLiteral(".unreadable"); }

    // One line for the user about the file, empty while all is well.
    QString note() const;
    // Why the last save failed; none once a save worked.
    const std::optional<SaveError>& unsaved() const { return m_unsaved; }

    // Where every store's log lines ("Settings: …") go. Process-wide; lines
    // written before a hook is set are handed to it when it is.
    using LogHook = std::function<void(const QString& line)>;
    static void setLog(LogHook hook);

Q_SIGNALS:
    void changed(const QString& key);
    // note() changed.
    void noteChanged();

private:
    void keepUnreadableFile();
    void reopen();
    void written();

    std::unique_ptr<QSettings> m_store;
    QTimer m_saveTimer;
    std::optional<SaveError> m_unsaved;
    QSet<QString> m_loggedCauses; // each cause of a failed save is logged once
    QString m_unreadableNote;
};
