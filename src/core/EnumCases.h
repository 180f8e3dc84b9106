#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace zelvane {

// Enumerations whose cases carry a text raw value (the model's, the language
// choice, the export formats). Each one specialises EnumCases with the list
// of its cases in declaration order and offers rawValue(); fromRawValue<E>()
// then matches a text exactly.
template <class E>
struct EnumCases;

template <class E>
std::optional<E> fromRawValue(QStringView raw)
{
    for (E value : EnumCases<E>::all) {
        if (rawValue(value) == raw) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace zelvane
