#include "pdf/PDFContentOperand.h"

#include <qpdf/QUtil.hh>

#include <cstdlib>

namespace zelvane {

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
        value = std::atof(m_text.c_str());
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
