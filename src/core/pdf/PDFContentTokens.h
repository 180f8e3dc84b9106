#pragma once

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFTokenizer.hh>

#include <string>
#include <string_view>
#include <vector>

namespace zelvane {

// A token of a content stream as the quick scanner reads it, typed as qpdf's
// tokenizer types it.
struct PDFContentToken {
    QPDFTokenizer::token_type_e type = QPDFTokenizer::tt_bad;
    // Names, operators, numbers, booleans and null as written.
    std::string_view written;
    // The bytes of a string, when asked for.
    std::string bytes;
};

// Splits ordinary content into tokens (arrays, dictionaries, names, numbers,
// strings, booleans, null and operators), quickly, reading strings' bytes
// when `strings` is set. Returns false, the tokens then being of no use,
// where qpdf's tokenizer has to judge: inline images, names with escapes,
// numbers of unusual form, strings with unusual escapes or line ends,
// braces, anything damaged.
bool scanPlainContent(std::string_view content, std::vector<PDFContentToken>& tokens, bool strings);

}  // namespace zelvane
