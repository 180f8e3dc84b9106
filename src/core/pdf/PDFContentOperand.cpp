#include "pdf/PDFContentOperand.h"

#include <qpdf/QUtil.hh>

#include <QByteArray>

#include <charconv>
#include <cmath>
#include <cstdlib>

#include <langinfo.h>

namespace zelvane {

namespace {

// Powers of ten a double holds exactly.
constexpr double kExactPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                        1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace

double realValue(const std::string& text)
{
    // A real of at most 15 digits is its digits (a whole number a double
    // holds exactly) divided by a power of ten a double holds exactly: the
    // one rounding of that division gives the double nearest to the text's
    // value, which is what atof() gives where the decimal point is '.'.
    // Anything else, and every other locale, is left to atof().
    const char* point = nl_langinfo(RADIXCHAR);
    if (point == nullptr || point[0] != '.' || point[1] != '\0') {
        return std::atof(text.c_str());
    }
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        i = 1;
    }
    unsigned long long digits = 0;
    int count = 0;
    int decimals = 0;
    bool afterPoint = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !afterPoint) {
            afterPoint = true;
        } else if (c >= '0' && c <= '9') {
            if (++count > 15) {
                return std::atof(text.c_str());
            }
            digits = digits * 10 + static_cast<unsigned>(c - '0');
            decimals += afterPoint ? 1 : 0;
        } else {
            return std::atof(text.c_str());
        }
    }
    if (count == 0) {
        return std::atof(text.c_str());
    }
    const double magnitude = static_cast<double>(digits) / kExactPowersOfTen[decimals];
    return negative ? -magnitude : magnitude;
}

PDFContentOperand PDFContentOperand::integer(long long value)
{
    PDFContentOperand operand(Kind::Integer);
    operand.m_integer = value;
    return operand;
}

PDFContentOperand PDFContentOperand::real(std::string_view written)
{
    PDFContentOperand operand(Kind::Real);
    operand.m_text = written;
    return operand;
}

PDFContentOperand PDFContentOperand::name(std::string_view name)
{
    // qpdf writes the characters after the slash outside '!'..'~' as
    // escapes (and '#', in some of its versions).
    bool plain = !name.empty();
    for (size_t i = 1; plain && i < name.size(); ++i) {
        plain = name[i] >= 33 && name[i] <= 126 && name[i] != '#';
    }
    if (!plain) {
        return object(QPDFObjectHandle::newName(std::string(name)));
    }
    PDFContentOperand operand(Kind::Name);
    operand.m_text = name;
    return operand;
}

PDFContentOperand PDFContentOperand::string(std::string bytes)
{
    PDFContentOperand operand(Kind::String);
    operand.m_text = std::move(bytes);
    return operand;
}

PDFContentOperand PDFContentOperand::array(std::vector<PDFContentOperand> items)
{
    PDFContentOperand operand(Kind::Array);
    operand.m_items = std::move(items);
    return operand;
}

PDFContentOperand PDFContentOperand::object(QPDFObjectHandle object)
{
    PDFContentOperand operand(Kind::Object);
    if (object.isString()) {
        operand.m_text = object.getStringValue();
    }
    operand.m_object = object;
    return operand;
}

std::string contentNumberText(double value)
{
    // A whole number is written as its digits.
    if (std::abs(value) < 1e15 && value == std::trunc(value)) {
        return std::to_string(static_cast<long long>(value));
    }
    // Four decimals, the nearest to the value. Only a value halfway between
    // two (an odd number of 32nds) is rounded otherwise by to_chars() (to
    // even) than by Qt (away from zero): those, and values out of range, are
    // written by Qt.
    std::string text;
    if (std::abs(value) < 1e15) {
        const bool halfway = value * 32 == std::trunc(value * 32) && value * 16 != std::trunc(value * 16);
        char digits[40];
        const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 4);
        if (!halfway && error == std::errc()) {
            text.assign(digits, end);
        }
    }
    if (text.empty()) {
        text = QByteArray::number(value, 'f', 4).toStdString();
    }
    while (text.find('.') != std::string::npos && (text.back() == '0' || text.back() == '.')) {
        text.pop_back();
    }
    return text == "-0" ? std::string("0") : text;
}

bool PDFContentOperand::isName() const
{
    return m_kind == Kind::Name || (m_kind == Kind::Object && m_object.isName());
}

std::string PDFContentOperand::getName() const
{
    return m_kind == Kind::Name ? m_text : handle().getName();
}

bool PDFContentOperand::isString() const
{
    return m_kind == Kind::String || (m_kind == Kind::Object && m_object.isString());
}

const std::string& PDFContentOperand::stringBytes() const
{
    static const std::string none;
    return isString() ? m_text : none;
}

bool PDFContentOperand::isArray() const
{
    return m_kind == Kind::Array || (m_kind == Kind::Object && m_object.isArray());
}

std::vector<PDFContentOperand> PDFContentOperand::arrayItems() const
{
    if (m_kind == Kind::Array) {
        return m_items;
    }
    std::vector<PDFContentOperand> items;
    if (m_kind == Kind::Object && m_object.isArray()) {
        for (const QPDFObjectHandle& item : m_object.getArrayAsVector()) {
            items.push_back(object(item));
        }
    }
    return items;
}

const std::vector<PDFContentOperand>* PDFContentOperand::readItems() const
{
    return m_kind == Kind::Array ? &m_items : nullptr;
}

bool PDFContentOperand::isInlineImage() const
{
    return m_kind == Kind::Object && m_object.isInlineImage();
}

std::string PDFContentOperand::getInlineImageValue() const
{
    return handle().getInlineImageValue();
}

bool PDFContentOperand::getValueAsNumber(double& value) const
{
    switch (m_kind) {
    case Kind::Integer:
        value = static_cast<double>(m_integer);
        return true;
    case Kind::Real:
        // As qpdf reads a real's text.
        value = realValue(m_text);
        return true;
    case Kind::Object:
        return m_object.getValueAsNumber(value);
    default:
        return false;
    }
}

QPDFObjectHandle PDFContentOperand::handle() const
{
    switch (m_kind) {
    case Kind::Integer:
        return QPDFObjectHandle::newInteger(m_integer);
    case Kind::Real:
        return QPDFObjectHandle::newReal(m_text);
    case Kind::Name:
        return QPDFObjectHandle::newName(m_text);
    case Kind::String:
        return QPDFObjectHandle::newString(m_text);
    case Kind::Array: {
        std::vector<QPDFObjectHandle> items;
        items.reserve(m_items.size());
        for (const PDFContentOperand& item : m_items) {
            items.push_back(item.handle());
        }
        return QPDFObjectHandle::newArray(items);
    }
    case Kind::Object:
        break;
    }
    return m_object;
}

std::string PDFContentOperand::unparse() const
{
    switch (m_kind) {
    case Kind::Integer:
        return QUtil::int_to_string(m_integer);
    case Kind::Real:
    case Kind::Name:
        return m_text;
    default:
        return handle().unparse();
    }
}

}  // namespace zelvane
