#include "pdf/InvisibleTextFonts.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <map>
#include <vector>

namespace zelvane {

namespace {

// Follows the text state through a content stream: q and Q save and
// restore the font and render mode with the rest of the graphics state.
class RenderModeScan final : public QPDFObjectHandle::ParserCallbacks {
public:
    explicit RenderModeScan(QPDFObjectHandle fonts) : m_fonts(fonts) {}

    void handleObject(QPDFObjectHandle object) override
    {
        if (!object.isOperator()) {
            m_operands.push_back(object);
            return;
        }
        const std::string op = object.getOperatorValue();
        if (op == "q") {
            m_saved.push_back(m_state);
        } else if (op == "Q") {
            if (!m_saved.empty()) {
                m_state = m_saved.back();
                m_saved.pop_back();
            }
        } else if (op == "Tf") {
            if (m_operands.size() >= 2 && m_operands[m_operands.size() - 2].isName())
                m_state.font = baseFontOf(m_operands[m_operands.size() - 2].getName());
        } else if (op == "Tr") {
            if (!m_operands.empty() && m_operands.back().isNumber())
                m_state.mode = int(m_operands.back().getNumericValue());
        } else if (op == "Tj" || op == "TJ" || op == "'" || op == "\"") {
            shown();
        } else if (op == "f" || op == "F" || op == "f*" || op == "B" || op == "B*" || op == "b" || op == "b*"
                   || op == "S" || op == "s" || op == "sh" || op == "Do" || op == "BI") {
            // Something painted after clipping text shows through that text.
            for (const std::string& font : m_clipping)
                m_visible.insert(font);
            m_clipping.clear();
        }
        m_operands.clear();
    }

    void handleEOF() override {}

    std::set<std::string> invisibleOnly() const
    {
        std::set<std::string> fonts;
        for (const std::string& font : m_invisible) {
            if (!m_visible.contains(font) && !font.empty())
                fonts.insert(font);
        }
        for (const std::string& font : m_clipping) {
            if (!m_visible.contains(font) && !font.empty())
                fonts.insert(font);
        }
        return fonts;
    }

private:
    struct State {
        std::string font;
        int mode = 0;
    };

    std::string baseFontOf(const std::string& resourceName)
    {
        if (const auto known = m_baseFonts.find(resourceName); known != m_baseFonts.end())
            return known->second;
        std::string name;
        if (m_fonts.isDictionary()) {
            QPDFObjectHandle font = m_fonts.getKey(resourceName);
            if (font.isDictionary() && font.getKey("/BaseFont").isName())
                name = font.getKey("/BaseFont").getName().substr(1);
        }
        m_baseFonts.emplace(resourceName, name);
        return name;
    }

    void shown()
    {
        if (m_state.mode == 3)
            m_invisible.insert(m_state.font);
        else if (m_state.mode == 7)
            m_clipping.insert(m_state.font);
        else
            m_visible.insert(m_state.font);
    }

    QPDFObjectHandle m_fonts;
    std::map<std::string, std::string> m_baseFonts;
    std::vector<QPDFObjectHandle> m_operands;
    State m_state;
    std::vector<State> m_saved;
    std::set<std::string> m_invisible;
    std::set<std::string> m_clipping;
    std::set<std::string> m_visible;
};

// Parsing every operator costs far more than looking at the bytes: only
// content that sets render mode 3 or 7 somewhere is parsed.
bool setsInvisibleMode(const std::string& content)
{
    const auto isSpace = [](char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'; };
    for (size_t at = content.find("Tr"); at != std::string::npos; at = content.find("Tr", at + 2)) {
        if (at + 2 < content.size() && !isSpace(content[at + 2]) && content[at + 2] != '/'
            && content[at + 2] != '[' && content[at + 2] != '(' && content[at + 2] != '<')
            continue;
        size_t i = at;
        if (i == 0 || !isSpace(content[i - 1]))
            continue;
        while (i > 0 && isSpace(content[i - 1]))
            --i;
        if (i == 0 || (content[i - 1] != '3' && content[i - 1] != '7'))
            continue;
        if (i == 1 || isSpace(content[i - 2]) || content[i - 2] == ']' || content[i - 2] == ')'
            || content[i - 2] == '>')
            return true;
    }
    return false;
}

}  // namespace

std::set<std::string> invisiblyPrintedFonts(const std::string& content, QPDFObjectHandle fontResources)
{
    if (!setsInvisibleMode(content))
        return {};
    RenderModeScan scan(fontResources);
    try {
        QPDF pdf;
        pdf.emptyPDF();
        pdf.newStream(content).parseAsContents(&scan);
    } catch (const std::exception&) {
    }
    return scan.invisibleOnly();
}

std::set<std::string> invisiblyPrintedFonts(QPDFPageObjectHelper& page)
{
    try {
        std::string content;
        for (QPDFObjectHandle stream : page.getPageContents()) {
            if (!stream.isStream())
                continue;
            const std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_generalized);
            content.append(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
            content.push_back('\n');
        }
        if (!setsInvisibleMode(content))
            return {};
        QPDFObjectHandle resources = page.getAttribute("/Resources", false);
        RenderModeScan scan(resources.isDictionary() ? resources.getKey("/Font") : QPDFObjectHandle());
        for (QPDFObjectHandle stream : page.getPageContents()) {
            if (stream.isStream())
                stream.parseAsContents(&scan);
        }
        return scan.invisibleOnly();
    } catch (const std::exception&) {
        return {};
    }
}

}  // namespace zelvane
