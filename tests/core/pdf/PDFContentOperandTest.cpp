// Operands kept as read must answer every question as qpdf's objects made of
// the same tokens do: the content filter writes untouched operations back
// through them, so any difference would change the written content.

#include "pdf/PDFContentOperand.h"

#include <gtest/gtest.h>

#include <QByteArray>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/BufferInputSource.hh>
#include <qpdf/QPDFTokenizer.hh>
#include <qpdf/QUtil.hh>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

using namespace zelvane;

namespace {

// The operands of `content` (no arrays or dictionaries), each kept as read
// and as qpdf's object of the same token.
std::vector<std::pair<PDFContentOperand, QPDFObjectHandle>> operandsOf(const std::string& content)
{
    auto input = std::make_shared<BufferInputSource>("content", content);
    QPDFTokenizer tokenizer;
    tokenizer.allowEOF();
    std::vector<std::pair<PDFContentOperand, QPDFObjectHandle>> operands;
    for (;;) {
        const QPDFTokenizer::Token token = tokenizer.readToken(input, "content", true);
        const std::string& value = token.getValue();
        switch (token.getType()) {
        case QPDFTokenizer::tt_eof:
            return operands;
        case QPDFTokenizer::tt_integer: {
            const long long number = QUtil::string_to_ll(value.c_str());
            operands.emplace_back(PDFContentOperand::integer(number), QPDFObjectHandle::newInteger(number));
            break;
        }
        case QPDFTokenizer::tt_real:
            operands.emplace_back(PDFContentOperand::real(value), QPDFObjectHandle::newReal(value));
            break;
        case QPDFTokenizer::tt_name:
            operands.emplace_back(PDFContentOperand::name(value), QPDFObjectHandle::newName(value));
            break;
        case QPDFTokenizer::tt_string:
            operands.emplace_back(PDFContentOperand::string(value), QPDFObjectHandle::newString(value));
            break;
        default:
            ADD_FAILURE() << "unexpected token " << value;
            return operands;
        }
    }
}

void expectSameAnswers(const PDFContentOperand& operand, QPDFObjectHandle object)
{
    SCOPED_TRACE(object.unparse());
    EXPECT_EQ(operand.unparse(), object.unparse());
    EXPECT_EQ(operand.handle().unparse(), object.unparse());
    double number = 0;
    double qpdfNumber = 0;
    ASSERT_EQ(operand.getValueAsNumber(number), object.getValueAsNumber(qpdfNumber));
    EXPECT_EQ(std::signbit(number), std::signbit(qpdfNumber));
    EXPECT_EQ(number, qpdfNumber);
    ASSERT_EQ(operand.isName(), object.isName());
    if (object.isName()) {
        EXPECT_EQ(operand.getName(), object.getName());
    }
    ASSERT_EQ(operand.isString(), object.isString());
    if (object.isString()) {
        EXPECT_EQ(operand.stringBytes(), object.getStringValue());
    }
    EXPECT_EQ(operand.isArray(), object.isArray());
    EXPECT_FALSE(operand.isInlineImage());
}

}  // namespace

TEST(PDFContentOperandTest, OperandsKeptAsReadAnswerAsQPDFsObjects)
{
    const std::string content =
        // Numbers of every form qpdf reads.
        "0 -0 +5 007 -12 9007199254740993 -9223372036854775807 "
        ".5 -.5 5. -0.0 +1.25 0.1000 -000.0100 1234567.890123 "
        // Names plain, with escapes, with bytes qpdf writes escaped.
        "/F1 /R7 /A#42 /A#20B /Name#23Sign /caf\xe9 /a~b!c /ZelvaneMasked0 / "
        // Strings written in every way.
        "(Hello) (n\\(est\\)ed \\\\ (pair)) (\\101\\102\\7) <48656c6c6f> <4> () (\xff\xfe\x01) (tab\\tnl\\n)";
    const auto operands = operandsOf(content);
    ASSERT_EQ(operands.size(), 32u);
    for (const auto& [operand, object] : operands) {
        expectSameAnswers(operand, object);
    }

    // Arrays of them, as a TJ array is read, and qpdf's own objects.
    std::vector<PDFContentOperand> items;
    std::vector<QPDFObjectHandle> objects;
    for (const auto& [operand, object] : operands) {
        items.push_back(operand);
        objects.push_back(object);
    }
    const PDFContentOperand array = PDFContentOperand::array(items);
    const QPDFObjectHandle qpdfArray = QPDFObjectHandle::newArray(objects);
    expectSameAnswers(array, qpdfArray);
    ASSERT_NE(array.readItems(), nullptr);
    EXPECT_EQ(array.readItems()->size(), objects.size());

    const PDFContentOperand wrapped = PDFContentOperand::object(qpdfArray);
    expectSameAnswers(wrapped, qpdfArray);
    EXPECT_EQ(wrapped.readItems(), nullptr);
    const std::vector<PDFContentOperand> unwrapped = wrapped.arrayItems();
    ASSERT_EQ(unwrapped.size(), objects.size());
    for (size_t i = 0; i < objects.size(); ++i) {
        expectSameAnswers(unwrapped[i], objects[i]);
    }

    QPDFObjectHandle dictionary = QPDFObjectHandle::newDictionary();
    dictionary.replaceKey("/MCID", QPDFObjectHandle::newInteger(3));
    expectSameAnswers(PDFContentOperand::object(dictionary), dictionary);
    expectSameAnswers(PDFContentOperand::object(QPDFObjectHandle::newBool(true)), QPDFObjectHandle::newBool(true));
    expectSameAnswers(PDFContentOperand::object(QPDFObjectHandle::newNull()), QPDFObjectHandle::newNull());
}

TEST(PDFContentOperandTest, RealsReadAsAtofReadsThem)
{
    // Every plain form of up to 18 digits, with signs, leading zeros and
    // points anywhere, and forms atof() alone reads.
    std::vector<std::string> texts = {"0.",  ".0",   "-0.0", "+0.5", "-.5", "5.", "000.0100", "0.1",  "0.3",
                                      "2.675", "1e5", "-",   ".",    "1.2.3", "9007199254740993.5", "1.0000000000000002",
                                      "123456789012345.", ".123456789012345", "0.000000000000001", "-999999999999999"};
    unsigned state = 45;
    const auto next = [&]() {
        state = state * 1103515245u + 12345u;
        return (state >> 8) & 0xffffff;
    };
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const unsigned sign = next() % 3;
        text += sign == 0 ? "" : sign == 1 ? "-" : "+";
        const int length = 1 + int(next() % 18);
        const int point = int(next() % (length + 1));
        for (int d = 0; d < length; ++d) {
            if (d == point) {
                text += '.';
            }
            text += char('0' + next() % 10);
        }
        if (point == length) {
            text += '.';
        }
        texts.push_back(text);
    }
    for (const std::string& text : texts) {
        const double expected = std::atof(text.c_str());
        const double read = realValue(text);
        EXPECT_TRUE(read == expected && std::signbit(read) == std::signbit(expected))
            << text << " reads " << read << " instead of " << expected;
    }
}

TEST(PDFContentOperandTest, NumbersAreWrittenAsQtWritesThemToFourDecimals)
{
    // Qt's fixed form to four decimals, trailing zeros dropped.
    const auto byQt = [](double value) {
        QByteArray text = QByteArray::number(value, 'f', 4);
        while (text.contains('.') && (text.endsWith('0') || text.endsWith('.')))
            text.chop(1);
        return text == "-0" ? std::string("0") : text.toStdString();
    };
    std::vector<double> values = {0.5,     -0.5,    0.03125, -0.03125, 1.96875, -7804.015, 0.00005, -0.00005,
                                  0.00004, -0.00004, 1e-9,   -1e-9,    1e14 + 0.5, 999999999999999.9, 1e15 + 0.5,
                                  2.5e20,  -0.0,    12.34565, 0.1 + 0.2};
    // Every 32nd (the values halfway between two of four decimals among
    // them), and positioning as the filter adds it up.
    for (int k = -4096; k <= 4096; ++k)
        values.push_back(k / 32.0 + (k % 3) * 1024);
    unsigned state = 87;
    const auto next = [&]() {
        state = state * 1103515245u + 12345u;
        return (state >> 8) & 0xffffff;
    };
    for (int i = 0; i < 20000; ++i) {
        const double advance = double(next() % 1000) / 1000.0;
        const double size = 1 + double(next() % 2000) / 100.0;
        const double spacing = (double(next() % 200) - 100.0) / 100.0;
        values.push_back(-(advance * size + spacing) * 1000.0 / size * (1 + next() % 40));
        values.push_back(double(next()) / double(1 + next() % 100000) - 80.0);
    }
    for (const double value : values)
        EXPECT_EQ(contentNumberText(value), byQt(value)) << value;
}
