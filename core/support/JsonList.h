#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QList>

#include <optional>

// Strict all-or-nothing reading of JSON lists: one bad element spoils the
// whole list. Shared by the map, zone and logbook files.
namespace JsonList {

// Every element of an array decoded, or nothing when the value is no array
// or any element fails.
template <typename T, typename Decode>
std::optional<QList<T>> fromJson(const QJsonValue& value, Decode decodeItem)
{
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    QList<T> list;
    list.reserve(array.size());
    for (const QJsonValue& element : array) {
        std::optional<T> item = decodeItem(element);
        if (!item)
            return std::nullopt;
        list.append(std::move(*item));
    }
    return list;
}

// A whole document that must be such an array.
template <typename T, typename Decode>
std::optional<QList<T>> decode(const QByteArray& json, Decode decodeItem)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    return fromJson<T>(QJsonValue(document.array()), decodeItem);
}

// An element that must be an object, read by T::fromJson(QJsonObject).
template <typename T>
std::optional<T> object(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    return T::fromJson(value.toObject());
}

} // namespace JsonList
