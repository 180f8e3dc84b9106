#include "SavedSignatureStore.h"

#include "model/ModelCoding.h"

#include <QSettings>

namespace zelvane::SavedSignatureStore {

QList<SignaturePreset> load(QSettings& settings)
{
    settings.remove(QLatin1String(kRetiredSignaturesKey));
    const QVariant stored = settings.value(QLatin1String(kCustomSignaturesKey));
    if (!stored.isValid())
        return {};
    try {
        return decodeFromJsonData<QList<SignaturePreset>>(stored.toByteArray());
    } catch (const DecodingError&) {
        return {};
    }
}

bool save(QSettings& settings, const QList<SignaturePreset>& saved)
{
    QByteArray data;
    try {
        data = encodeToJsonData(saved);
    } catch (const EncodingError&) {
        return false;
    }
    settings.setValue(QLatin1String(kCustomSignaturesKey), data);
    settings.sync();
    return true;
}

}  // namespace zelvane::SavedSignatureStore
