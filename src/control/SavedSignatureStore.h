#pragma once

#include "model/Presets.h"

#include <QList>

class QSettings;

namespace zelvane {

// The signatures the user saved from the page, kept in the user settings as
// one JSON array (the model's coded form of SignaturePreset).
namespace SavedSignatureStore {

inline constexpr const char* kCustomSignaturesKey = "net.tarnwick.zelvane.customSignatures";
// Written by older versions; removed at start-up, never read.
inline constexpr const char* kRetiredSignaturesKey = "net.tarnwick.zelvane.signatures";

// Removes the retired key, then reads the saved list; absent or unreadable
// data gives an empty list (and stays stored until the next save).
QList<SignaturePreset> load(QSettings& settings);

// Replaces the stored list. False, with nothing written, when the list
// cannot be coded.
bool save(QSettings& settings, const QList<SignaturePreset>& saved);

}  // namespace SavedSignatureStore

}  // namespace zelvane
