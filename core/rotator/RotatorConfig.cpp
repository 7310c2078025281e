#include "rotator/RotatorConfig.h"

#include "support/JsonList.h"
#include "support/Settings.h"
#include "support/SettingsCatalogue.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <limits>

namespace {

// Reads one member into `field`. An absent or null member leaves the field
// alone; `convert` gives no value for one the field must not take, which
// fails the whole object.
template <typename T, typename Convert>
bool read(const QJsonObject& o, const char* key, T& field, Convert convert)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return true;
    const std::optional<T> value = convert(v);
    if (value)
        field = *value;
    return value.has_value();
}

std::optional<QString> text(const QJsonValue& v) { return v.isString() ? std::optional(v.toString()) : std::nullopt; }

std::optional<bool> flag(const QJsonValue& v) { return v.isBool() ? std::optional(v.toBool()) : std::nullopt; }

std::optional<double> finiteNumber(const QJsonValue& v)
{
    return v.isDouble() && std::isfinite(v.toDouble()) ? std::optional(v.toDouble()) : std::nullopt;
}

// Integers must be whole numbers that fit; 9600.5 is not a baud rate.
std::optional<int> whole(const QJsonValue& v)
{
    if (!v.isDouble())
        return std::nullopt;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || d < std::numeric_limits<int>::min()
        || d > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(d);
}

// Only the plain 36-character form; QUuid alone would also take braces,
// and would turn the all-zero UUID into "invalid".
std::optional<QUuid> uuid(const QJsonValue& v)
{
    const QString raw = v.toString();
    if (!v.isString() || raw.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const QChar c = raw[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != u'-')
                return std::nullopt;
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) {
            return std::nullopt;
        }
    }
    return QUuid::fromString(raw);
}

std::optional<RotatorProtocol> protocol(const QJsonValue& v)
{
    return v.isString() ? RotatorProtocols::fromRaw(v.toString()) : std::nullopt;
}

// JSON has no infinity or NaN; such a value is written as null and so reads
// back as the field's default, instead of failing the whole list.
QJsonValue number(double value) { return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null); }

} // namespace

QList<RotatorConfig> RotatorConfig::portClashes(const QList<RotatorConfig>& list) const
{
    QList<RotatorConfig> clashes;
    if (proto == RotatorProtocol::rotctld || port.isEmpty())
        return clashes;
    for (const RotatorConfig& other : list)
        if (other.id != id && other.proto != RotatorProtocol::rotctld && other.port == port)
            clashes.append(other);
    return clashes;
}

std::optional<RotatorConfig> RotatorConfig::fromJson(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject o = value.toObject();
    RotatorConfig c;
    const bool ok = read(o, "id", c.id, uuid) && read(o, "name", c.name, text) && read(o, "proto", c.proto, protocol)
        && read(o, "port", c.port, text) && read(o, "baud", c.baud, whole) && read(o, "host", c.host, text)
        && read(o, "tcpPort", c.tcpPort, whole) && read(o, "beamWidth", c.beamWidth, finiteNumber)
        && read(o, "range", c.range, whole) && read(o, "offset", c.offset, finiteNumber)
        && read(o, "color", c.color, text) && read(o, "showLongPath", c.showLongPath, flag)
        && read(o, "softStart", c.softStart, flag);
    if (!ok)
        return std::nullopt;
    return c;
}

QJsonObject RotatorConfig::toJson() const
{
    QJsonObject o;
    o.insert(QLatin1String("id"), id.toString(QUuid::WithoutBraces).toUpper());
    o.insert(QLatin1String("name"), name);
    o.insert(QLatin1String("proto"), rawValue(proto));
    o.insert(QLatin1String("port"), port);
    o.insert(QLatin1String("baud"), baud);
    o.insert(QLatin1String("host"), host);
    o.insert(QLatin1String("tcpPort"), tcpPort);
    o.insert(QLatin1String("beamWidth"), number(beamWidth));
    o.insert(QLatin1String("range"), range);
    o.insert(QLatin1String("offset"), number(offset));
    o.insert(QLatin1String("color"), color);
    o.insert(QLatin1String("showLongPath"), showLongPath);
    o.insert(QLatin1String("softStart"), softStart);
    return o;
}

QList<RotatorConfig> RotatorConfig::decode(const QString& text)
{
    return JsonList::decode<RotatorConfig>(text.toUtf8(), fromJson).value_or(QList<RotatorConfig>());
}

bool RotatorConfig::decodes(const QString& text)
{
    return JsonList::decode<RotatorConfig>(text.toUtf8(), fromJson).has_value();
}

QString RotatorConfig::encode(const QList<RotatorConfig>& list)
{
    QJsonArray array;
    for (const RotatorConfig& config : list)
        array.append(config.toJson());
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QList<RotatorConfig> RotatorConfig::load(const Settings& settings)
{
    return decode(settings.get(SettingKeys::rotators));
}

void RotatorConfig::save(Settings& settings, const QList<RotatorConfig>& list)
{
    settings.set(SettingKeys::rotators, encode(list));
}
