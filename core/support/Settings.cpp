#include "support/Settings.h"

#include "support/StrictNumber.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

QString configPath()
{
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return dir + "/Corvanta/Corvanta.ini";
}

std::optional<double> numberFrom(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? 1.0 : 0.0;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        if (std::isfinite(d))
            return d;
        return std::nullopt;
    }
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return StrictNumber::parseDouble(v.toString().trimmed());
    default:
        return std::nullopt;
    }
}

struct LogSlot {
    QMutex mutex;
    Settings::LogHook hook;
    QStringList waiting; // lines written before there was a hook
};

LogSlot& logSlot()
{
    static LogSlot slot;
    return slot;
}

void log(const QString& line)
{
    Settings::LogHook hook;
    {
        QMutexLocker lock(&logSlot().mutex);
        if (!logSlot().hook) {
            logSlot().waiting.append(line);
            return;
        }
        hook = logSlot().hook;
    }
    hook(line);
}

// Lines a person would read as "key=value": neither blank, nor a comment,
// nor a section header. A file that QSettings read whole has at least as
// many keys; fewer means a quote or bracket swallowed the lines after it.
qsizetype keyLines(const QByteArray& bytes)
{
    qsizetype count = 0;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.front() == ';' || line.front() == '#' || line.front() == '[')
            continue;
        if (line.indexOf('=') > 0)
            ++count;
    }
    return count;
}

QString fileNameOf(const QString& path) { return QFileInfo(path).fileName(); }

} // namespace

void Settings::setLog(LogHook hook)
{
    QStringList waiting;
    {
        QMutexLocker lock(&logSlot().mutex);
        logSlot().hook = hook;
        if (hook)
            waiting = std::exchange(logSlot().waiting, {});
    }
    for (const QString& line : std::as_const(waiting))
        hook(line);
}

Settings& Settings::standard()
{
    static Settings* instance = [] {
        auto* settings = new Settings(configPath());
        // QSettings writes on its next event loop turn; a write made just
        // before the application ends would otherwise be lost.
        qAddPostRoutine([] { standard().sync(); });
        return settings;
    }();
    return *instance;
}

Settings::Settings(const QString& iniPath, QObject* parent)
    : QObject(parent)
    , m_store(std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
    // QSettings saves through QSaveFile, whose temporaries are named like a
    // copy the user made ("Corvanta.ini.Backup") and are left alone; only
    // the copy of an unreadable file is written here.
    AtomicFile::removeLeftovers(unreadableCopyPath(), AtomicFile::leftoverAge);
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(0);
    connect(&m_saveTimer, &QTimer::timeout, this, [this] { sync(); });
    keepUnreadableFile();
}

Settings::~Settings() = default;

bool Settings::contains(const QString& key) const { return m_store->contains(key); }

QVariant Settings::value(const QString& key) const { return m_store->value(key); }

std::optional<bool> Settings::optionalBool(const QString& key) const
{
    const QVariant v = m_store->value(key);
    if (!v.isValid())
        return std::nullopt;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray) {
        const QString t = v.toString().trimmed().toLower();
        if (t == "true" || t == "yes")
            return true;
        if (t == "false" || t == "no")
            return false;
    }
    if (auto n = numberFrom(v))
        return *n != 0.0;
    return std::nullopt;
}

std::optional<qint64> Settings::optionalInt(const QString& key) const
{
    const QVariant v = m_store->value(key);
    if (!v.isValid())
        return std::nullopt;
    if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong)
        return v.toLongLong();
    // Whole numbers as text first: through a double, large ones would lose digits.
    if (v.typeId() == QMetaType::QString || v.typeId() == QMetaType::QByteArray)
        if (auto whole = StrictNumber::parseInt(v.toString().trimmed()))
            return whole;
    if (auto n = numberFrom(v)) {
        const double t = std::trunc(*n);
        if (t >= -9.2e18 && t <= 9.2e18)
            return static_cast<qint64>(t);
    }
    return std::nullopt;
}

std::optional<double> Settings::optionalDouble(const QString& key) const
{
    const QVariant v = m_store->value(key);
    if (!v.isValid())
        return std::nullopt;
    return numberFrom(v);
}

std::optional<QString> Settings::optionalString(const QString& key) const
{
    const QVariant v = m_store->value(key);
    if (!v.isValid())
        return std::nullopt;
    switch (v.typeId()) {
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return v.toString();
    case QMetaType::QStringList:
        // A hand-edited INI line with bare commas reads back as a list.
        return v.toStringList().join(u',');
    default:
        return std::nullopt;
    }
}

bool Settings::boolValue(const QString& key, bool defaultValue) const
{
    return optionalBool(key).value_or(defaultValue);
}

qint64 Settings::intValue(const QString& key, qint64 defaultValue) const
{
    return optionalInt(key).value_or(defaultValue);
}

double Settings::doubleValue(const QString& key, double defaultValue) const
{
    return optionalDouble(key).value_or(defaultValue);
}

QString Settings::stringValue(const QString& key, const QString& defaultValue) const
{
    return optionalString(key).value_or(defaultValue);
}

bool Settings::get(const BoolKey& key) const { return boolValue(QLatin1String(key.name), key.fallback); }

qint64 Settings::get(const IntKey& key) const
{
    const QString name = QLatin1String(key.name);
    if (const std::optional<qint64> whole = optionalInt(name))
        return std::clamp(*whole, key.min, key.max);
    // A finite number that 64 bits cannot hold lies past one end of the
    // range all the same.
    if (const std::optional<double> number = optionalDouble(name))
        return *number > 0 ? key.max : key.min;
    return key.fallback;
}

double Settings::get(const DoubleKey& key) const
{
    return std::clamp(doubleValue(QLatin1String(key.name), key.fallback), key.min, key.max);
}

QString Settings::get(const TextKey& key) const
{
    return stringValue(QLatin1String(key.name), QString::fromUtf8(key.fallback));
}

void Settings::set(const BoolKey& key, bool value) { setValue(QLatin1String(key.name), value); }

void Settings::set(const IntKey& key, qint64 value) { setValue(QLatin1String(key.name), value); }

void Settings::set(const DoubleKey& key, double value) { setValue(QLatin1String(key.name), value); }

void Settings::set(const TextKey& key, const QString& value) { setValue(QLatin1String(key.name), value); }

void Settings::setValue(const QString& key, const QVariant& value)
{
    m_store->setValue(key, value);
    written();
    Q_EMIT changed(key);
}

void Settings::remove(const QString& key)
{
    m_store->remove(key);
    written();
    Q_EMIT changed(key);
}

void Settings::written()
{
    // One save for a burst of writes.
    if (!m_saveTimer.isActive())
        m_saveTimer.start();
}

QStringList Settings::allKeys() const { return m_store->allKeys(); }

void Settings::sync()
{
    m_saveTimer.stop();
    // QSettings keeps the first error it met for good; after a failure a
    // fresh object over the same file (which shares its unsaved values)
    // tells whether this attempt worked.
    if (m_unsaved)
        reopen();
    m_store->sync();
    if (m_store->status() != QSettings::AccessError) {
        if (m_unsaved) {
            m_unsaved.reset();
            log(QStringLiteral("Settings: saved to ") + fileNameOf(fileName()) + QStringLiteral(" again"));
            Q_EMIT noteChanged();
        }
        return;
    }
    const SaveError why = AtomicFile::whyNotSaved(QFileInfo(fileName()).absolutePath());
    if (!m_loggedCauses.contains(why.message)) {
        m_loggedCauses.insert(why.message);
        log(QStringLiteral("Settings: could not save ") + fileName() + QStringLiteral(": ") + why.message
            + QStringLiteral("; changes last until Corvanta quits"));
    }
    if (m_unsaved != why) {
        m_unsaved = why;
        Q_EMIT noteChanged();
    }
}

void Settings::reopen()
{
    // The new object is made while the old one still holds the file, so
    // both see the same values, pending ones included; making it syncs.
    auto fresh = std::make_unique<QSettings>(m_store->fileName(), QSettings::IniFormat);
    m_store = std::move(fresh);
}

QString Settings::fileName() const { return m_store->fileName(); }

QString Settings::note() const
{
    QString text = m_unreadableNote;
    if (m_unsaved) {
        if (!text.isEmpty())
            text += u' ';
        text += QStringLiteral("Settings cannot be saved (%1): changes last until Corvanta quits.")
                    .arg(m_unsaved->message);
    }
    return text;
}

void Settings::keepUnreadableFile()
{
    QFile file(fileName());
    if (!file.open(QIODevice::ReadOnly))
        return; // nothing yet, or nothing we could lose by writing
    const QByteArray bytes = file.readAll();
    if (m_store->status() != QSettings::FormatError && keyLines(bytes) <= m_store->allKeys().size())
        return;

    // Kept once: a copy from an earlier start that is the same file stays.
    const QString copy = unreadableCopyPath();
    QFile earlier(copy);
    const bool kept = earlier.open(QIODevice::ReadOnly) && earlier.readAll() == bytes;
    earlier.close();
    const auto saved = kept ? std::expected<void, SaveError> {} : AtomicFile::write(copy, bytes);
    if (saved) {
        log(QStringLiteral("Settings: ") + fileName() + QStringLiteral(" could not be read whole; a copy is kept as ")
            + fileNameOf(copy));
        m_unreadableNote = QStringLiteral("The settings file could not be read whole; the old one is kept as %1.")
                               .arg(fileNameOf(copy));
    } else {
        log(QStringLiteral("Settings: ") + fileName()
            + QStringLiteral(" could not be read whole, and no copy could be kept: ") + saved.error().message);
        m_unreadableNote = QStringLiteral("The settings file could not be read whole; some settings are back to "
                                          "their defaults.");
    }
    // The read's error is no save's: start the next save with a clean slate.
    reopen();
}
