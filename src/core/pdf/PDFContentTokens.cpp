#include "pdf/PDFContentTokens.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace zelvane {

namespace {

// What each character is to the scanner, looked up rather than compared.
enum CharacterClass : unsigned char { kRegular = 0, kWhiteSpace = 1, kDelimiter = 2 };

constexpr std::array<unsigned char, 256> kClasses = [] {
    std::array<unsigned char, 256> classes{};
    for (const char c : {' ', '\n', '\r', '\t', '\f', '\0'}) {
        classes[static_cast<unsigned char>(c)] = kWhiteSpace;
    }
    for (const char c : {'(', ')', '<', '>', '[', ']', '{', '}', '/', '%'}) {
        classes[static_cast<unsigned char>(c)] = kDelimiter;
    }
    return classes;
}();

inline bool isWhiteSpace(char c)
{
    return kClasses[static_cast<unsigned char>(c)] == kWhiteSpace;
}

inline bool isDelimiter(char c)
{
    return kClasses[static_cast<unsigned char>(c)] == kDelimiter;
}

// Neither white space nor a delimiter: part of a name, number or word.
inline bool isRegular(char c)
{
    return kClasses[static_cast<unsigned char>(c)] == kRegular;
}

int hexValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// The type of a number written plainly (digits with at most one point and a
// sign), or tt_bad.
QPDFTokenizer::token_type_e numberType(std::string_view word)
{
    size_t i = word.empty() || (word[0] != '+' && word[0] != '-') ? 0 : 1;
    size_t digits = 0;
    bool point = false;
    for (; i < word.size(); ++i) {
        if (word[i] == '.' && !point) {
            point = true;
        } else if (word[i] >= '0' && word[i] <= '9') {
            ++digits;
        } else {
            return QPDFTokenizer::tt_bad;
        }
    }
    if (digits == 0) {
        return QPDFTokenizer::tt_bad;
    }
    return point ? QPDFTokenizer::tt_real : QPDFTokenizer::tt_integer;
}

// Reads the literal string opening at `i`; leaves `i` after it.
bool literalString(std::string_view content, size_t& i, std::string* bytes)
{
    const size_t size = content.size();
    int depth = 0;
    for (; i < size; ++i) {
        const char c = content[i];
        if (depth > 0 && c != '\\' && c != '\r' && c != '(' && c != ')') {
            // A run of plain characters, taken at once.
            size_t end = i + 1;
            while (end < size && content[end] != '\\' && content[end] != '\r' && content[end] != '('
                   && content[end] != ')') {
                ++end;
            }
            if (bytes) {
                bytes->append(content.data() + i, end - i);
            }
            i = end - 1;
            continue;
        }
        if (c == '\\') {
            if (++i >= size) {
                return false;
            }
            const char escaped = content[i];
            char value = escaped;
            switch (escaped) {
            case 'n': value = '\n'; break;
            case 'r': value = '\r'; break;
            case 't': value = '\t'; break;
            case 'b': value = '\b'; break;
            case 'f': value = '\f'; break;
            case '(':
            case ')':
            case '\\': break;
            default:
                if (escaped < '0' || escaped > '7') {
                    return false;
                }
                int code = 0;
                for (int digits = 0; digits < 3 && i < size && content[i] >= '0' && content[i] <= '7'; ++digits) {
                    code = code * 8 + (content[i++] - '0');
                }
                --i;
                value = char(code & 0xff);
                break;
            }
            if (bytes) {
                *bytes += value;
            }
            continue;
        }
        if (c == '\r') {
            return false;
        }
        if (c == '(') {
            if (depth++ == 0) {
                continue;
            }
        } else if (c == ')' && --depth == 0) {
            ++i;
            return true;
        }
        if (bytes) {
            *bytes += c;
        }
    }
    return false;
}

}  // namespace

bool scanPlainContent(std::string_view content, std::vector<PDFContentToken>& tokens, bool strings)
{
    const size_t size = content.size();
    // Content has a token in every few characters (a bound keeps a content
    // of long strings or comments from taking room for nothing).
    tokens.reserve(tokens.size() + std::min<size_t>(size / 5, 1 << 16) + 16);
    // Each token is made in its place.
    const auto add = [&tokens](QPDFTokenizer::token_type_e type,
                               std::string_view written = {}) -> PDFContentToken& {
        PDFContentToken& token = tokens.emplace_back();
        token.type = type;
        token.written = written;
        return token;
    };
    size_t i = 0;
    while (i < size) {
        const char c = content[i];
        if (isWhiteSpace(c)) {
            ++i;
        } else if (c == '%') {
            while (i < size && content[i] != '\n' && content[i] != '\r') {
                ++i;
            }
        } else if (c == '(') {
            PDFContentToken& token = add(QPDFTokenizer::tt_string);
            if (!literalString(content, i, strings ? &token.bytes : nullptr)) {
                return false;
            }
        } else if (c == '<' && i + 1 < size && content[i + 1] == '<') {
            i += 2;
            add(QPDFTokenizer::tt_dict_open);
        } else if (c == '>' && i + 1 < size && content[i + 1] == '>') {
            i += 2;
            add(QPDFTokenizer::tt_dict_close);
        } else if (c == '<') {
            PDFContentToken& token = add(QPDFTokenizer::tt_string);
            int high = -1;
            for (++i; i < size && content[i] != '>'; ++i) {
                if (isWhiteSpace(content[i])) {
                    continue;
                }
                if (!std::isxdigit(static_cast<unsigned char>(content[i]))) {
                    return false;
                }
                if (high < 0) {
                    high = hexValue(content[i]);
                } else {
                    token.bytes += char((high << 4) | hexValue(content[i]));
                    high = -1;
                }
            }
            if (i >= size) {
                return false;
            }
            if (high >= 0) {
                token.bytes += char(high << 4);
            }
            ++i;
        } else if (c == '[') {
            ++i;
            add(QPDFTokenizer::tt_array_open);
        } else if (c == ']') {
            ++i;
            add(QPDFTokenizer::tt_array_close);
        } else if (c == '/') {
            const size_t start = i;
            for (++i; i < size && isRegular(content[i]); ++i) {
                if (content[i] == '#') {
                    return false;
                }
            }
            add(QPDFTokenizer::tt_name, content.substr(start, i - start));
        } else if (isDelimiter(c)) {
            return false;
        } else {
            const size_t start = i;
            while (i < size && isRegular(content[i])) {
                ++i;
            }
            const std::string_view word = content.substr(start, i - start);
            if (const QPDFTokenizer::token_type_e number = numberType(word); number != QPDFTokenizer::tt_bad) {
                add(number, word);
            } else if (word == "true" || word == "false") {
                add(QPDFTokenizer::tt_bool, word);
            } else if (word == "null") {
                add(QPDFTokenizer::tt_null, word);
            } else if (word[0] == '+' || word[0] == '-' || word[0] == '.' || (word[0] >= '0' && word[0] <= '9')
                       || word == "BI" || word == "ID") {
                return false;
            } else {
                add(QPDFTokenizer::tt_word, word);
            }
        }
    }
    return true;
}

}  // namespace zelvane
