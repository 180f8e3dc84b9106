#include "FontTestPDF.h"

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <memory>

namespace zelvane::testing {

namespace {

std::string bytesToString(const QByteArray& data)
{
    return std::string(data.constData(), std::size_t(data.size()));
}

QPDFObjectHandle makeStream(QPDF& pdf, const QByteArray& data, FontStreamDamage damage)
{
    QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf);
    switch (damage) {
    case FontStreamDamage::none: {
        // qCompress gives a zlib stream after a four-byte length.
        const QByteArray deflated = qCompress(data).mid(4);
        stream.replaceStreamData(bytesToString(deflated), QPDFObjectHandle::newName("/FlateDecode"),
                                 QPDFObjectHandle::newNull());
        break;
    }
    case FontStreamDamage::brokenFlate:
        stream.replaceStreamData("this is not zlib data, not at all " + bytesToString(data.left(64)),
                                 QPDFObjectHandle::newName("/FlateDecode"), QPDFObjectHandle::newNull());
        break;
    case FontStreamDamage::unknownFilter:
        stream.replaceStreamData(bytesToString(data), QPDFObjectHandle::newName("/NoSuchDecode"),
                                 QPDFObjectHandle::newNull());
        break;
    case FontStreamDamage::unknownCryptFilter:
        stream.replaceStreamData(bytesToString(data), QPDFObjectHandle::newName("/Crypt"),
                                 QPDFObjectHandle::parse("<< /Type /CryptFilterDecodeParms /Name /NoSuchFilter >>"));
        break;
    }
    if (damage == FontStreamDamage::none)
        stream.getDict().replaceKey("/Length1", QPDFObjectHandle::newInteger(data.size()));
    return stream;
}

QPDFObjectHandle makeFont(QPDF& pdf, const FontTestPDFFont& font)
{
    QPDFObjectHandle dict = QPDFObjectHandle::newDictionary();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/Font"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/" + font.subtype));
    if (!font.baseFont.empty())
        dict.replaceKey("/BaseFont", QPDFObjectHandle::newName("/" + font.baseFont));
    if (!font.toUnicode.isEmpty())
        dict.replaceKey("/ToUnicode", makeStream(pdf, font.toUnicode, FontStreamDamage::none));

    QPDFObjectHandle descriptor = QPDFObjectHandle::newDictionary();
    descriptor.replaceKey("/Type", QPDFObjectHandle::newName("/FontDescriptor"));
    descriptor.replaceKey("/FontName", QPDFObjectHandle::newName("/" + (font.baseFont.empty() ? "Unnamed" : font.baseFont)));
    descriptor.replaceKey("/Flags", QPDFObjectHandle::newInteger(32));
    descriptor.replaceKey("/FontBBox", QPDFObjectHandle::parse("[0 -200 1000 900]"));
    descriptor.replaceKey("/ItalicAngle", QPDFObjectHandle::newInteger(0));
    descriptor.replaceKey("/Ascent", QPDFObjectHandle::newInteger(900));
    descriptor.replaceKey("/Descent", QPDFObjectHandle::newInteger(-200));
    descriptor.replaceKey("/CapHeight", QPDFObjectHandle::newInteger(700));
    descriptor.replaceKey("/StemV", QPDFObjectHandle::newInteger(80));
    if (!font.program.isEmpty())
        descriptor.replaceKey(font.programKey, makeStream(pdf, font.program, font.damage));
    descriptor = pdf.makeIndirectObject(descriptor);

    if (font.subtype == "Type0") {
        dict.replaceKey("/Encoding", QPDFObjectHandle::newName("/Identity-H"));
        QPDFObjectHandle descendant = QPDFObjectHandle::newDictionary();
        descendant.replaceKey("/Type", QPDFObjectHandle::newName("/Font"));
        descendant.replaceKey("/Subtype", QPDFObjectHandle::newName("/CIDFontType2"));
        if (!font.baseFont.empty())
            descendant.replaceKey("/BaseFont", QPDFObjectHandle::newName("/" + font.baseFont));
        descendant.replaceKey("/CIDSystemInfo",
                              QPDFObjectHandle::parse("<< /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"));
        descendant.replaceKey("/CIDToGIDMap", QPDFObjectHandle::newName("/Identity"));
        descendant.replaceKey("/FontDescriptor", descriptor);
        QPDFObjectHandle descendants = QPDFObjectHandle::newArray();
        descendants.appendItem(pdf.makeIndirectObject(descendant));
        dict.replaceKey("/DescendantFonts", descendants);
    } else {
        dict.replaceKey("/FirstChar", QPDFObjectHandle::newInteger(32));
        dict.replaceKey("/LastChar", QPDFObjectHandle::newInteger(32));
        dict.replaceKey("/Widths", QPDFObjectHandle::parse("[500]"));
        dict.replaceKey("/FontDescriptor", descriptor);
    }
    return pdf.makeIndirectObject(dict);
}

QPDFObjectHandle fontResources(QPDF& pdf, const std::vector<FontTestPDFFont>& fonts)
{
    QPDFObjectHandle fontDict = QPDFObjectHandle::newDictionary();
    for (std::size_t i = 0; i < fonts.size(); ++i)
        fontDict.replaceKey("/F" + std::to_string(i), makeFont(pdf, fonts[i]));
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/Font", fontDict);
    return resources;
}

QPDFObjectHandle makeForm(QPDF& pdf, QPDFObjectHandle resources)
{
    QPDFObjectHandle form = QPDFObjectHandle::newStream(&pdf, "q Q\n");
    QPDFObjectHandle dict = form.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    dict.replaceKey("/BBox", QPDFObjectHandle::parse("[0 0 100 100]"));
    dict.replaceKey("/Resources", resources);
    return form;
}

}  // namespace

QByteArray makeToUnicodeCMap(const std::vector<std::pair<unsigned, unsigned>>& codeToUnicode)
{
    QByteArray text =
        "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
        "/CMapName /Test-UCS def\n/CMapType 2 def\n1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    text += QByteArray::number(qulonglong(codeToUnicode.size())) + " beginbfchar\n";
    for (const auto& [code, unicode] : codeToUnicode) {
        text += "<" + QByteArray::number(code, 16).rightJustified(4, '0').toUpper() + "> <"
                + QByteArray::number(unicode, 16).rightJustified(4, '0').toUpper() + ">\n";
    }
    text += "endbfchar\nendcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
    return text;
}

QByteArray makeFontTestPDF(const std::vector<FontTestPDFPage>& pages)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFPageDocumentHelper helper(pdf);
    QPDFObjectHandle inherited;
    for (const FontTestPDFPage& spec : pages) {
        QPDFObjectHandle page = pdf.makeIndirectObject(QPDFObjectHandle::parse(
            "<< /Type /Page /MediaBox [0 0 200 100] >>"));
        page.replaceKey("/Contents", QPDFObjectHandle::newStream(&pdf, "q Q\n"));
        QPDFObjectHandle resources = fontResources(pdf, spec.fonts);
        switch (spec.placement) {
        case FontTestPlacement::page:
            page.replaceKey("/Resources", resources);
            break;
        case FontTestPlacement::inherited:
            inherited = resources;
            break;
        case FontTestPlacement::form: {
            QPDFObjectHandle inner = resources;
            for (int level = 0; level < spec.formDepth; ++level) {
                QPDFObjectHandle form = makeForm(pdf, inner);
                QPDFObjectHandle xobjects = QPDFObjectHandle::newDictionary();
                xobjects.replaceKey("/Fm" + std::to_string(level), form);
                inner = QPDFObjectHandle::newDictionary();
                inner.replaceKey("/XObject", xobjects);
            }
            page.replaceKey("/Resources", inner);
            break;
        }
        }
        helper.addPage(page, false);
    }
    QPDFObjectHandle root = pdf.getRoot().getKey("/Pages");
    if (inherited.isInitialized())
        root.replaceKey("/Resources", inherited);

    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    writer.setStaticID(true);
    writer.setStreamDataMode(qpdf_s_preserve);
    writer.setDecodeLevel(qpdf_dl_none);
    writer.write();
    std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()), qsizetype(buffer->getSize()));
}

}  // namespace zelvane::testing
