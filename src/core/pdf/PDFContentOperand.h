#pragma once

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFObjectHandle.hh>

#include <string>
#include <string_view>
#include <vector>

namespace zelvane {

// An operand of a content stream's operator as the content filter reads it.
// Numbers, strings and plainly written names are kept as read, and arrays as
// their items; qpdf's object is made of them only where one is needed.
// Anything else (dictionaries, booleans, null, inline images, names that
// qpdf writes otherwise than read) is qpdf's object. Every question answers
// as qpdf's object of the operand would.
class PDFContentOperand {
public:
    static PDFContentOperand integer(long long value);
    // `written` as a real number's token reads.
    static PDFContentOperand real(std::string_view written);
    // A name (with its slash); qpdf's object when it would not be written
    // back as it is given.
    static PDFContentOperand name(std::string_view name);
    static PDFContentOperand string(std::string bytes);
    static PDFContentOperand array(std::vector<PDFContentOperand> items);
    static PDFContentOperand object(QPDFObjectHandle object);

    bool isName() const;
    std::string getName() const;
    bool isString() const;
    // The string's bytes (empty for anything else).
    const std::string& stringBytes() const;
    bool isArray() const;
    std::vector<PDFContentOperand> arrayItems() const;
    // The items of an array kept as read; null otherwise.
    const std::vector<PDFContentOperand>* readItems() const;
    bool isInlineImage() const;
    std::string getInlineImageValue() const;
    // The number as qpdf's getValueAsNumber() gives it; false for anything
    // else.
    bool getValueAsNumber(double& value) const;

    // qpdf's object of the operand, and its text as qpdf writes it.
    QPDFObjectHandle handle() const;
    std::string unparse() const;

private:
    enum class Kind { Integer, Real, Name, String, Array, Object };

    explicit PDFContentOperand(Kind kind) : m_kind(kind) {}

    Kind m_kind;
    long long m_integer = 0;
    // A real's or name's text, a string's bytes.
    std::string m_text;
    std::vector<PDFContentOperand> m_items;
    // (qpdf answers no question of a const object.)
    mutable QPDFObjectHandle m_object;
};

// The value of a real number's text as atof() reads it (as qpdf reads one),
// for the plain forms quickly.
double realValue(const std::string& text);

// A number as the content filter writes it into a content: at most four
// decimals, without trailing zeros ("0" for what rounds to zero).
std::string contentNumberText(double value);

}  // namespace zelvane
