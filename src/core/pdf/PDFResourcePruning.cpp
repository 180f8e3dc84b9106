#include "pdf/PDFResourcePruning.h"

#include "pdf/PDFContentTokens.h"

#include <qpdf/BufferInputSource.hh>
#include <qpdf/Pl_Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFTokenizer.hh>

#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zelvane {

namespace {

// The categories of resources trimmed to what the content names.
const char* const kCategories[] = {"/Font",    "/XObject",    "/ExtGState", "/Shading",
                                   "/Pattern", "/ColorSpace", "/Properties"};

// Forms drawn inside forms deeper than this leave the resources as they are.
constexpr int kMaxDepth = 24;

// The content cannot say for sure what it names.
struct Unknowable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using Names = std::map<std::string, std::set<std::string>>;

bool isDeviceSpace(const std::string& name)
{
    return name == "/DeviceGray" || name == "/DeviceRGB" || name == "/DeviceCMYK" || name == "/Pattern"
           || name == "/G" || name == "/RGB" || name == "/CMYK" || name == "/I" || name == "/Indexed";
}

// What the names of a content depend on, token by token: names, other
// operands, the openings and closings of arrays and dictionaries, and
// operators.
enum class Kind { name, other, open, close, word };

class Pruner;

// An operand of the content as far as the names matter: a name, or anything
// else (an array or dictionary counts as one operand).
struct Operand {
    bool isName = false;
    std::string name;
};

// Collects the names one content stream uses of the resources it draws with.
class NameCollector {
public:
    NameCollector(Pruner& pruner, QPDFObjectHandle resources, Names& names, int depth)
        : m_pruner(pruner), m_resources(resources), m_names(names), m_depth(depth)
    {
    }

    // Reads the content's tokens once (without making objects of them).
    // Throws Unknowable where the content is damaged.
    void read(const std::shared_ptr<Buffer>& data)
    {
        const std::string_view content(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
        std::vector<PDFContentToken> tokens;
        if (scanPlainContent(content, tokens, false)) {
            for (const PDFContentToken& token : tokens) {
                take(kindOf(token.type), token.written);
            }
            end();
            return;
        }
        auto input = std::make_shared<BufferInputSource>("content", data.get());
        QPDFTokenizer tokenizer;
        tokenizer.allowEOF();
        for (;;) {
            const QPDFTokenizer::Token token = tokenizer.readToken(input, "content", true);
            switch (token.getType()) {
            case QPDFTokenizer::tt_eof:
                end();
                return;
            case QPDFTokenizer::tt_bad:
            case QPDFTokenizer::tt_brace_open:
            case QPDFTokenizer::tt_brace_close:
            case QPDFTokenizer::tt_inline_image:
                throw Unknowable("damaged content");
            case QPDFTokenizer::tt_word:
                take(Kind::word, token.getValue());
                if (token.getValue() == "ID") {
                    // The data runs from after the one character that
                    // ends ID to EI.
                    char skipped;
                    input->read(&skipped, 1);
                    tokenizer.expectInlineImage(input);
                    if (tokenizer.readToken(input, "content", true).getType() != QPDFTokenizer::tt_inline_image) {
                        throw Unknowable("damaged inline image");
                    }
                }
                break;
            default:
                take(kindOf(token.getType()), token.getValue());
                break;
            }
        }
    }

private:
    static Kind kindOf(QPDFTokenizer::token_type_e type)
    {
        switch (type) {
        case QPDFTokenizer::tt_array_open:
        case QPDFTokenizer::tt_dict_open:
            return Kind::open;
        case QPDFTokenizer::tt_array_close:
        case QPDFTokenizer::tt_dict_close:
            return Kind::close;
        case QPDFTokenizer::tt_name:
            return Kind::name;
        case QPDFTokenizer::tt_word:
            return Kind::word;
        default:
            return Kind::other;
        }
    }

    void take(Kind kind, std::string_view value)
    {
        switch (kind) {
        case Kind::open:
            ++m_nesting;
            break;
        case Kind::close:
            if (m_nesting == 0) {
                throw Unknowable("damaged content");
            }
            if (--m_nesting == 0) {
                m_operands.push_back({});
            }
            break;
        case Kind::word:
            if (m_nesting != 0) {
                throw Unknowable("operator inside an operand");
            }
            operate(value);
            m_operands.clear();
            break;
        case Kind::name:
            if (m_nesting == 0) {
                m_operands.push_back({true, std::string(value)});
            }
            break;
        case Kind::other:
            if (m_nesting == 0) {
                m_operands.push_back({});
            }
            break;
        }
    }

    void end() const
    {
        if (m_nesting != 0 || m_inInlineImage) {
            throw Unknowable("content ends inside an operation");
        }
    }

    void use(const std::string& category, const Operand& name)
    {
        if (name.isName) {
            m_names[category].insert(name.name);
        }
    }

    QPDFObjectHandle entry(const std::string& category, const Operand& name)
    {
        if (!name.isName || !m_resources.isDictionary()) {
            return QPDFObjectHandle::newNull();
        }
        QPDFObjectHandle entries = m_resources.getKey(category);
        return entries.isDictionary() ? entries.getKey(name.name) : QPDFObjectHandle::newNull();
    }

    void operate(std::string_view op);

    Pruner& m_pruner;
    QPDFObjectHandle m_resources;
    Names& m_names;
    int m_depth;
    std::vector<Operand> m_operands;
    bool m_inInlineImage = false;
    // Arrays and dictionaries open around the current token.
    int m_nesting = 0;
};

class Pruner {
public:
    // Collects what `content` names of `resources` into `names`.
    void collect(QPDFObjectHandle content, QPDFObjectHandle resources, Names& names, int depth)
    {
        if (depth > kMaxDepth) {
            throw Unknowable("forms nested too deep");
        }
        const QPDFObjGen id = content.getObjGen();
        if (content.isIndirect() && m_open.count(id)) {
            throw Unknowable("form that draws itself");
        }
        if (content.isIndirect()) {
            m_open.insert(id);
        }
        NameCollector collector(*this, resources, names, depth);
        QPDF* owner = content.getOwningQPDF();
        const size_t warnings = owner ? owner->numWarnings() : 0;
        try {
            Pl_Buffer data("content");
            std::string description;
            content.pipeContentStreams(&data, "content", description);
            collector.read(data.getBufferSharedPointer());
            if (owner && owner->numWarnings() != warnings) {
                throw Unknowable("damaged content");
            }
        } catch (const std::exception& error) {
            m_open.erase(id);
            throw Unknowable(error.what());
        }
        m_open.erase(id);
    }

    // A form drawn with `resources`: its names count there when it has no
    // resources of its own; otherwise its own are trimmed.
    void drawn(QPDFObjectHandle form, QPDFObjectHandle resources, Names& names, int depth)
    {
        if (!form.isStream()) {
            return;
        }
        QPDFObjectHandle own = form.getDict().getKey("/Resources");
        if (!own.isDictionary()) {
            collect(form, resources, names, depth + 1);
            return;
        }
        if (form.isIndirect() && !m_trimmed.insert(form.getObjGen()).second) {
            return;
        }
        trim(form, depth + 1);
    }

    // Trims the resources of `form` to what its content names; leaves them
    // when that cannot be known.
    void trim(QPDFObjectHandle form, int depth)
    {
        QPDFObjectHandle resources = form.getDict().getKey("/Resources");
        if (!resources.isDictionary()) {
            m_everyNameKnown = false;  // (not read)
            return;
        }
        Names names;
        try {
            collect(form, resources, names, depth);
        } catch (const Unknowable&) {
            m_everyNameKnown = false;
            return;
        }
        QPDFObjectHandle trimmed = resources.shallowCopy();
        bool changed = false;
        for (const char* category : kCategories) {
            QPDFObjectHandle entries = resources.getKey(category);
            if (!entries.isDictionary()) {
                continue;
            }
            const std::set<std::string>& used = names[category];
            QPDFObjectHandle kept = QPDFObjectHandle::newDictionary();
            bool dropped = false;
            for (const std::string& key : entries.getKeys()) {
                if (used.count(key)) {
                    kept.replaceKey(key, entries.getKey(key));
                } else {
                    dropped = true;
                }
            }
            if (dropped) {
                changed = true;
                if (kept.getKeys().empty()) {
                    trimmed.removeKey(category);
                } else {
                    trimmed.replaceKey(category, kept);
                }
            }
        }
        if (changed) {
            form.getDict().replaceKey("/Resources", trimmed);
        }
    }

    bool everyNameKnown() const { return m_everyNameKnown; }

private:
    bool m_everyNameKnown = true;
    std::set<QPDFObjGen> m_open;
    std::set<QPDFObjGen> m_trimmed;
};

void NameCollector::operate(std::string_view op)
{
    if (m_inInlineImage) {
        if (op == "ID") {
            for (size_t i = 0; i + 1 < m_operands.size(); i += 2) {
                if (m_operands[i].isName && (m_operands[i].name == "/CS" || m_operands[i].name == "/ColorSpace")
                    && m_operands[i + 1].isName && !isDeviceSpace(m_operands[i + 1].name)) {
                    use("/ColorSpace", m_operands[i + 1]);
                }
            }
        } else if (op == "EI") {
            m_inInlineImage = false;
        }
        return;
    }
    if (op == "BI") {
        m_inInlineImage = true;
    } else if (op == "Tf" && m_operands.size() == 2) {
        use("/Font", m_operands[0]);
        QPDFObjectHandle font = entry("/Font", m_operands[0]);
        if (font.isDictionary() && font.getKey("/Subtype").isNameAndEquals("/Type3")
            && !font.getKey("/Resources").isDictionary()) {
            throw Unknowable("Type 3 font drawing with the page's resources");
        }
    } else if (op == "Do" && m_operands.size() == 1) {
        use("/XObject", m_operands[0]);
        QPDFObjectHandle object = entry("/XObject", m_operands[0]);
        if (object.isStream() && object.getDict().getKey("/Subtype").isNameAndEquals("/Form")) {
            m_pruner.drawn(object, m_resources, m_names, m_depth);
        } else if (object.isStream()) {
            QPDFObjectHandle space = object.getDict().getKey("/ColorSpace");
            if (space.isName() && !isDeviceSpace(space.getName())) {
                use("/ColorSpace", {true, space.getName()});
            }
        }
    } else if (op == "gs" && m_operands.size() == 1) {
        use("/ExtGState", m_operands[0]);
        QPDFObjectHandle state = entry("/ExtGState", m_operands[0]);
        QPDFObjectHandle softMask = state.isDictionary() ? state.getKey("/SMask") : QPDFObjectHandle::newNull();
        if (softMask.isDictionary()) {
            m_pruner.drawn(softMask.getKey("/G"), m_resources, m_names, m_depth);
        }
    } else if (op == "sh" && m_operands.size() == 1) {
        use("/Shading", m_operands[0]);
    } else if ((op == "scn" || op == "SCN") && !m_operands.empty() && m_operands.back().isName) {
        use("/Pattern", m_operands.back());
        QPDFObjectHandle pattern = entry("/Pattern", m_operands.back());
        if (pattern.isStream() && !pattern.getDict().getKey("/Resources").isDictionary()) {
            throw Unknowable("pattern drawing with the page's resources");
        }
    } else if ((op == "cs" || op == "CS") && m_operands.size() == 1 && m_operands[0].isName
               && !isDeviceSpace(m_operands[0].name)) {
        use("/ColorSpace", m_operands[0]);
    } else if ((op == "BDC" || op == "DP") && m_operands.size() == 2) {
        use("/Properties", m_operands[1]);
    }
}

}  // namespace

bool dropUnnamedResources(QPDFObjectHandle form)
{
    if (!form.isStream()) {
        return false;
    }
    Pruner pruner;
    pruner.trim(form, 0);
    return pruner.everyNameKnown();
}

void dropPrivateData(QPDFObjectHandle stream)
{
    if (!stream.isStream()) {
        return;
    }
    QPDFObjectHandle dict = stream.getDict();
    for (const char* key : {"/PieceInfo", "/LastModified", "/Metadata", "/OPI", "/Ref", "/Alternates"}) {
        dict.removeKey(key);
    }
}

}  // namespace zelvane
