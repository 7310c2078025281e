#include "RotatorConfig.h"

#include "Settings.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <cmath>
#include <limits>

namespace {

// Each reader leaves the field alone for an absent or null value and says
// false for a value it must not accept.

bool read(const QJsonObject& o, const char* key, QString& field)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isString())
        return false;
    field = v.toString();
    return true;
}

bool read(const QJsonObject& o, const char* key, bool& field)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isBool())
        return false;
    field = v.toBool();
    return true;
}

bool read(const QJsonObject& o, const char* key, double& field)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isDouble() || !std::isfinite(v.toDouble()))
        return false;
    field = v.toDouble();
    return true;
}

// Integers must be whole numbers that fit; 9600.5 is not a baud rate.
bool read(const QJsonObject& o, const char* key, int& field)
{
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isDouble())
        return false;
    const double d = v.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d) || d < std::numeric_limits<int>::min()
        || d > std::numeric_limits<int>::max())
        return false;
    field = static_cast<int>(d);
    return true;
}

// Only the plain 36-character form; QUuid alone would also take braces,
// and would turn the all-zero UUID into "invalid".
bool isUuidText(const QString& text)
{
    if (text.size() != 36)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != u'-')
                return false;
        } else if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F'))) {
            return false;
        }
    }
    return true;
}

bool readId(const QJsonObject& o, QUuid& field)
{
    const QJsonValue v = o.value(QLatin1String("id"));
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isString() || !isUuidText(v.toString()))
        return false;
    field = QUuid::fromString(v.toString());
    return true;
}

bool readProto(const QJsonObject& o, RotatorProtocol& field)
{
    const QJsonValue v = o.value(QLatin1String("proto"));
    if (v.isUndefined() || v.isNull())
        return true;
    if (!v.isString())
        return false;
    const auto proto = RotatorProtocols::fromRaw(v.toString());
    if (!proto)
        return false;
    field = *proto;
    return true;
}

// JSON has no infinity or NaN; such a value is written as null and so reads
// back as the field's default, instead of failing the whole list.
QJsonValue number(double value)
{
    return std::isfinite(value) ? QJsonValue(value) : QJsonValue(QJsonValue::Null);
}

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
    const bool ok = readId(o, c.id)
        && read(o, "name", c.name)
        && readProto(o, c.proto)
        && read(o, "port", c.port)
        && read(o, "baud", c.baud)
        && read(o, "host", c.host)
        && read(o, "tcpPort", c.tcpPort)
        && read(o, "beamWidth", c.beamWidth)
        && read(o, "range", c.range)
        && read(o, "offset", c.offset)
        && read(o, "color", c.color)
        && read(o, "showLongPath", c.showLongPath)
        && read(o, "softStart", c.softStart);
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
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(text.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return {};
    QList<RotatorConfig> list;
    for (const QJsonValue& element : doc.array()) {
        auto config = fromJson(element);
        if (!config)
            return {};
        list.append(std::move(*config));
    }
    return list;
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
    return decode(settings.stringValue(settingsKey, QStringLiteral("[]")));
}

void RotatorConfig::save(Settings& settings, const QList<RotatorConfig>& list)
{
    settings.setValue(settingsKey, encode(list));
}
