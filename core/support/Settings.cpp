#include "support/Settings.h"

#include "support/StrictNumber.h"

#include <QCoreApplication>
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

} // namespace

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
    Q_EMIT changed(key);
}

void Settings::remove(const QString& key)
{
    m_store->remove(key);
    Q_EMIT changed(key);
}

QStringList Settings::allKeys() const { return m_store->allKeys(); }

void Settings::sync() { m_store->sync(); }

QString Settings::fileName() const { return m_store->fileName(); }
