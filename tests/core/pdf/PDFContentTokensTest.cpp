// The quick content scanner against qpdf's tokenizer: where it takes a
// content, every token must be the one qpdf reads (type and value); where
// it cannot be sure, it declines and leaves the content to qpdf.

#include "pdf/PDFContentTokens.h"

#include <gtest/gtest.h>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/BufferInputSource.hh>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using namespace zelvane;

namespace {

using Tokens = std::vector<std::pair<QPDFTokenizer::token_type_e, std::string>>;

Tokens byQPDF(const std::string& content)
{
    auto input = std::make_shared<BufferInputSource>("content", content);
    QPDFTokenizer tokenizer;
    tokenizer.allowEOF();
    Tokens tokens;
    for (;;) {
        const QPDFTokenizer::Token token = tokenizer.readToken(input, "content", true);
        if (token.getType() == QPDFTokenizer::tt_eof)
            return tokens;
        const bool bracket = token.getType() >= QPDFTokenizer::tt_array_close
                             && token.getType() <= QPDFTokenizer::tt_dict_open;
        tokens.emplace_back(token.getType(), bracket ? std::string() : token.getValue());
    }
}

std::optional<Tokens> quickly(const std::string& content)
{
    std::vector<PDFContentToken> scanned;
    if (!scanPlainContent(content, scanned, true))
        return std::nullopt;
    Tokens tokens;
    for (const PDFContentToken& token : scanned) {
        const bool isString = token.type == QPDFTokenizer::tt_string;
        tokens.emplace_back(token.type, isString ? token.bytes : std::string(token.written));
    }
    return tokens;
}

}  // namespace

TEST(PDFContentTokensTest, OrdinaryContentIsSplitAsQPDFSplitsIt)
{
    const std::vector<std::string> contents = {
        "BT /F1 12 Tf 10 20 Td (Hello, world) Tj ET",
        "q 1 0 0 1 .5 -3. cm 0.25 +2 -0.5 re f Q % a comment (not a string\n/Im1 Do",
        "[(A) -250 (n\\(est\\)ed \\\\ (pair) inside) 120.5 (W)] TJ",
        "(octal \\101\\1012 \\7 \\0770 and \\n\\r\\t\\b\\f) Tj (line\nbreak) Tj",
        "<48656C6C6F> Tj <4 8 6\n5 6> Tj <ABC> Tj <> Tj",
        "/Span << /ActualText (text) /MCID 3 /On true /Off false /None null >> BDC EMC",
        "/P <</MCID 0>>BDC[(x)]TJ EMC/Name/Other 0 0 m 1 1 l S",
        "' \" T* BT ET d0 d1 /CS0 cs 0.1 0.2 0.3 scn",
        "(caf\xe9 \xff\x80 (in (deep)) \\\\) Tj /caf\xe9 1 Tf \xa0word\xff",
        std::string("(a\0b) Tj\0/N\0\x01x", sizeof("(a\0b) Tj\0/N\0\x01x") - 1),
        "",
    };
    for (const std::string& content : contents) {
        SCOPED_TRACE(content);
        const std::optional<Tokens> scanned = quickly(content);
        ASSERT_TRUE(scanned.has_value());
        EXPECT_EQ(*scanned, byQPDF(content));
    }
}

TEST(PDFContentTokensTest, ContentOnlyQPDFCanJudgeIsDeclined)
{
    for (const std::string& content : {
             std::string("BI /W 1 /H 1 /BPC 8 /CS /G ID x EI"),  // inline image
             std::string("/F#31 12 Tf"),                         // escaped name
             std::string("1.5.2 Tz"),                            // unusual number
             std::string("1e5 Tz"),
             std::string("- 3 Tc"),
             std::string("(continued \\\nline) Tj"),  // escaped line end
             std::string("(carriage\rreturn) Tj"),
             std::string("(unknown \\q escape) Tj"),
             std::string("(never closed Tj"),
             std::string("(a) Tj ) Tj"),
             std::string("<4G> Tj"),
             std::string("<48 Tj"),
             std::string("{ 1 }"),
             std::string("(ends with a backslash \\"),
         }) {
        SCOPED_TRACE(content);
        EXPECT_FALSE(quickly(content).has_value());
    }
}
