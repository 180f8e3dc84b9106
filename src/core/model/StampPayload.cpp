#include "model/StampPayload.h"

#include "Localization.h"

#include <QDate>

namespace zelvane {

QString rawValue(VectorStampKind kind)
{
    switch (kind) {
    case VectorStampKind::approved: return QStringLiteral("approved");
    case VectorStampKind::signed_: return QStringLiteral("signed");
    case VectorStampKind::stagePlot: return QStringLiteral("stagePlot");
    case VectorStampKind::confidential: return QStringLiteral("confidential");
    case VectorStampKind::draft: return QStringLiteral("draft");
    case VectorStampKind::check: return QStringLiteral("check");
    case VectorStampKind::cross: return QStringLiteral("cross");
    }
    return {};
}

QString defaultTitle(VectorStampKind kind)
{
    switch (kind) {
    case VectorStampKind::approved: return L("BON POUR ACCORD", "APPROVED");
    case VectorStampKind::signed_: return L("SIGNÉ & VALIDÉ", "SIGNED & VERIFIED");
    case VectorStampKind::stagePlot: return L("RÉGIE PLATEAU", "STAGE CONTROL");
    case VectorStampKind::confidential: return L("CONFIDENTIEL", "CONFIDENTIAL");
    case VectorStampKind::draft: return L("VERSION DE TRAVAIL", "WORKING DRAFT");
    case VectorStampKind::check: return L("\u2713 CONFORME", "\u2713 VERIFIED");
    case VectorStampKind::cross: return L("\u2717 À CORRIGER", "\u2717 REVISE");
    }
    return {};
}

QString defaultColorHex(VectorStampKind kind)
{
    switch (kind) {
    case VectorStampKind::approved:
    case VectorStampKind::check: return QStringLiteral("#16A34A");
    case VectorStampKind::signed_: return QStringLiteral("#1E3A8A");
    case VectorStampKind::stagePlot: return QStringLiteral("#D97706");
    case VectorStampKind::confidential:
    case VectorStampKind::cross: return QStringLiteral("#DC2626");
    case VectorStampKind::draft: return QStringLiteral("#6B7280");
    }
    return {};
}

QString todayDateLabel()
{
    return QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
}

StampPayload StampPayload::make(VectorStampKind stampKind, std::optional<QString> title,
                                std::optional<QString> subtitle, std::optional<QByteArray> assetData,
                                std::optional<QString> assetExtension, bool removeWhiteBackground)
{
    StampPayload payload;
    payload.stampKind = stampKind;
    payload.title = title ? *title : defaultTitle(stampKind);
    if (subtitle) {
        payload.subtitle = *subtitle;
    } else if (assetData) {
        payload.subtitle = QString();
    } else {
        payload.subtitle = todayDateLabel();
    }
    payload.assetData = std::move(assetData);
    payload.assetExtension = std::move(assetExtension);
    payload.removeWhiteBackground = removeWhiteBackground;
    return payload;
}

}  // namespace zelvane
