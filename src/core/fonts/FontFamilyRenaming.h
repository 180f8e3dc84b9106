#pragma once

// Gives a font program another family name, so that programs which call
// themselves by one family and style (every Computer Modern program says
// "Computer Modern"; subsets of one design from several files share their
// names) can each be registered and reached on their own. Works on the
// formats PDFs embed: TrueType and OpenType ('sfnt'), bare CFF (Type 1C,
// not CID-keyed) and Type 1. Plain C++ without Qt. Like the other repairs it
// never fails: a program it cannot rewrite comes back unchanged.

#include "fonts/SfntReader.h"

#include <string>

namespace zelvane::truetype {

// The program with `family` (ASCII) as its family name; every other name,
// the PostScript name included, stays. Unchanged when the format is not
// recognised or the name cannot be replaced.
Bytes withFamilyName(ByteSpan font, const std::string& family);

}  // namespace zelvane::truetype
