#pragma once

#include "EnumCases.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace zelvane {

enum class VectorStampKind { approved, signed_, stagePlot, confidential, draft, check, cross };

template <>
struct EnumCases<VectorStampKind> {
    static constexpr std::array all{VectorStampKind::approved, VectorStampKind::signed_,
                                    VectorStampKind::stagePlot, VectorStampKind::confidential,
                                    VectorStampKind::draft,    VectorStampKind::check,
                                    VectorStampKind::cross};
};

QString rawValue(VectorStampKind kind);
// Bilingual, read at each call.
QString defaultTitle(VectorStampKind kind);
// "#" and six upper-case digits, the same in both languages.
QString defaultColorHex(VectorStampKind kind);

struct StampPayload {
    VectorStampKind stampKind = VectorStampKind::approved;
    QString title;
    QString subtitle;
    std::optional<QByteArray> assetData;
    std::optional<QString> assetExtension;
    bool removeWhiteBackground = false;

    // The initialiser: an absent title takes the kind's default title in the
    // current language; an absent subtitle is empty for an image stamp and
    // today's date ("dd/MM/yyyy") otherwise.
    static StampPayload make(VectorStampKind stampKind, std::optional<QString> title,
                             std::optional<QString> subtitle, std::optional<QByteArray> assetData,
                             std::optional<QString> assetExtension, bool removeWhiteBackground);

    bool operator==(const StampPayload&) const = default;
};

// Today's date in the local time zone as "dd/MM/yyyy".
QString todayDateLabel();

}  // namespace zelvane
