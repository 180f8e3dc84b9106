#include "pdf/PDFPageAnnotations.h"

#include "pdf/PDFAnnotationAppearance.h"
#include "pdf/PDFStandardFontMetrics.h"

#include <QByteArray>
#include <QRegularExpression>
#include <QString>

#include <qpdf/Buffer.hh>
#include <qpdf/Constants.h>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFFormFieldObjectHelper.hh>

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>
#include <vector>
#include <memory>
#include <string>

namespace zelvane {

namespace {

// Whether the document's form asks readers to make the fields' appearances.
bool formNeedsAppearances(QPDF& pdf)
{
    QPDFObjectHandle form = pdf.getRoot().getKey("/AcroForm");
    if (!form.isDictionary()) {
        return false;
    }
    QPDFObjectHandle need = form.getKey("/NeedAppearances");
    return need.isBool() && need.getBoolValue();
}

std::string number(double value)
{
    return QByteArray::number(value, 'f', 4).toStdString();
}

// The appearance a reader makes of a checkbox or radio button for display:
// its background and border, and when it is on, its caption (a tick or a
// dot by default) in ZapfDingbats, as large as the box allows and centred.
void makeButtonAppearance(QPDF& pdf, QPDFAnnotationObjectHelper& annotation, QPDFFormFieldObjectHelper& field)
{
    if (field.isPushbutton()) {
        return;
    }
    QPDFObjectHandle widget = annotation.getObjectHandle();
    const QPDFObjectHandle::Rectangle rect = annotation.getRect();
    const double width = std::abs(rect.urx - rect.llx);
    const double height = std::abs(rect.ury - rect.lly);
    if (width <= 0 || height <= 0) {
        return;
    }
    std::string content;
    QPDFObjectHandle characteristics = widget.getKey("/MK");
    const auto colour = [&](const char* key, bool stroke) {
        return colourOperators(characteristics.isDictionary() ? characteristics.getKey(key) : QPDFObjectHandle::newNull(),
                               stroke);
    };
    double border = 0;
    if (const std::string background = colour("/BG", false); !background.empty()) {
        content += "q " + background + " 0 0 " + number(width) + " " + number(height) + " re f Q\n";
    }
    if (const std::string line = colour("/BC", true); !line.empty()) {
        border = 1;
        QPDFObjectHandle style = widget.getKey("/BS");
        if (style.isDictionary() && style.getKey("/W").isNumber()) {
            border = std::max(0.0, style.getKey("/W").getNumericValue());
        }
        if (border > 0) {
            content += "q " + line + " " + number(border) + " w " + number(border / 2) + " " + number(border / 2) + " "
                       + number(width - border) + " " + number(height - border) + " re S Q\n";
        }
    }
    const std::string state = annotation.getAppearanceState();
    if (!state.empty() && state != "/Off") {
        QPDFObjectHandle caption =
            characteristics.isDictionary() ? characteristics.getKey("/CA") : QPDFObjectHandle::newNull();
        const std::string text = caption.isString() && !caption.getStringValue().empty() ? caption.getStringValue()
                                 : field.isRadioButton()                                 ? std::string("l")
                                                                                         : std::string("3");
        // The default appearance's colour, without its font.
        QString appearance = QString::fromStdString(field.getDefaultAppearance());
        double size = 0;
        const QRegularExpression font(QStringLiteral("/\\S+\\s+([-+.0-9]+)\\s+Tf"));
        if (const QRegularExpressionMatch match = font.match(appearance); match.hasMatch()) {
            size = match.captured(1).toDouble();
            appearance.remove(match.capturedStart(), match.capturedLength());
        }
        const std::optional<std::vector<double>> widths =
            standardFontWidths("/ZapfDingbats", QPDFObjectHandle::newNull());
        double advance = 0;
        for (const char c : text) {
            advance += widths ? widths->at(static_cast<unsigned char>(c)) : 0.8;
        }
        const double room = std::max(1.0, height - 4 * border);
        if (size <= 0) {
            size = room;
            if (advance > 0 && advance * size > width - 4 * border) {
                size = std::max(1.0, (width - 4 * border) / advance);
            }
        }
        const double x = (width - advance * size) / 2;
        const double y = 0.5 * height - 0.4 * size;
        content += "q BT " + appearance.simplified().toStdString() + " /ZaDb " + number(size) + " Tf " + number(x)
                   + " " + number(y) + " Td " + QPDFObjectHandle::newString(text).unparse() + " Tj ET Q\n";
    }
    QPDFObjectHandle stream = QPDFObjectHandle::newStream(&pdf, content);
    QPDFObjectHandle dict = stream.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    dict.replaceKey("/BBox", QPDFObjectHandle::newArray(QPDFObjectHandle::Rectangle(0, 0, width, height)));
    dict.replaceKey("/Resources",
                    QPDFObjectHandle::parse("<< /Font << /ZaDb << /Type /Font /Subtype /Type1 "
                                            "/BaseFont /ZapfDingbats >> >> >>"));
    QPDFObjectHandle appearances = QPDFObjectHandle::newDictionary();
    if (state.empty()) {
        appearances.replaceKey("/N", stream);
    } else {
        // An appearance state picks the appearance from a dictionary of them.
        QPDFObjectHandle states = QPDFObjectHandle::newDictionary();
        states.replaceKey(state, stream);
        appearances.replaceKey("/N", states);
    }
    widget.replaceKey("/AP", appearances);
}

// Makes the appearance of a field's widget from its value, where a reader
// showing the page would make one.
void makeFieldAppearance(QPDF& pdf, QPDFAnnotationObjectHelper& annotation, bool formNeeds)
{
    QPDFObjectHandle widget = annotation.getObjectHandle();
    const bool hasAppearance = widget.getKey("/AP").isDictionary();
    if (hasAppearance && !formNeeds) {
        return;
    }
    QPDFFormFieldObjectHelper field(widget);
    const std::string type = field.getFieldType();
    if (type == "/Btn") {
        makeButtonAppearance(pdf, annotation, field);
        return;
    }
    if (type != "/Tx" && type != "/Ch") {
        return;
    }
    if (!hasAppearance && field.getValue().isNull()) {
        return;  // nothing to show
    }
    field.generateAppearance(annotation);
    // The value is written into the appearance by a filter that applies
    // when its data is read, not when it is copied to another file: the
    // appearance is given its final data here.
    QPDFObjectHandle appearance = annotation.getAppearanceStream("/N");
    if (appearance.isStream()) {
        const std::shared_ptr<Buffer> data = appearance.getStreamData(qpdf_dl_generalized);
        appearance.replaceStreamData(std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize()),
                                     QPDFObjectHandle::newNull(), QPDFObjectHandle::newNull());
    }
}

}  // namespace

QPDFObjectHandle formWithAnnotations(QPDF& pdf, QPDFPageObjectHelper& page, QPDFObjectHandle pageForm)
{
    std::vector<QPDFAnnotationObjectHelper> annotations;
    try {
        annotations = page.getAnnotations();
    } catch (const std::exception&) {
        return pageForm;
    }
    if (annotations.empty()) {
        return pageForm;
    }
    bool formNeeds = false;
    try {
        formNeeds = formNeedsAppearances(pdf);
    } catch (const std::exception&) {
    }
    std::string content = "q /ZelvanePageContent Do Q\n";
    QPDFObjectHandle objects = QPDFObjectHandle::newDictionary();
    QPDFObjectHandle properties = QPDFObjectHandle::newDictionary();
    objects.replaceKey("/ZelvanePageContent", pageForm);
    int drawn = 0;
    for (QPDFAnnotationObjectHelper& annotation : annotations) {
        try {
            QPDFObjectHandle dictionary = annotation.getObjectHandle();
            if (!dictionary.isDictionary()) {
                continue;
            }
            const std::string subtype = annotation.getSubtype();
            if (subtype == "/Link" || subtype == "/Popup") {
                continue;
            }
            if (subtype == "/Widget") {
                try {
                    makeFieldAppearance(pdf, annotation, formNeeds);
                } catch (const std::exception&) {
                    // shown as the file has it, if at all
                }
            }
            const std::string name = "/ZelvaneAnnotation" + std::to_string(drawn);
            std::string drawing;
            QPDFObjectHandle appearance;
            if (const std::optional<PDFAnnotationAppearance> made = madeAnnotationAppearance(pdf, annotation)) {
                // A comment without an appearance, as poppler shows it.
                if ((annotation.getFlags() & (an_hidden | an_no_view)) != 0) {
                    continue;
                }
                appearance = made->form;
                drawing = "q 1 0 0 1 " + number(made->origin.x()) + " " + number(made->origin.y()) + " cm " + name
                          + " Do Q";
            } else {
                // A single normal appearance is what readers draw, whatever
                // appearance state the annotation names.
                QPDFObjectHandle appearances = dictionary.getKey("/AP");
                if (appearances.isDictionary() && appearances.getKey("/N").isStream()
                    && dictionary.hasKey("/AS")) {
                    dictionary.removeKey("/AS");
                }
                drawing = annotation.getPageContentForAppearance(name, 0, 0, an_hidden | an_no_view);
                if (drawing.empty()) {
                    continue;
                }
                appearance = annotation.getAppearanceStream("/N");
                if (!appearance.isStream()) {
                    continue;
                }
            }
            objects.replaceKey(name, appearance);
            QPDFObjectHandle layer = dictionary.getKey("/OC");
            if (layer.isDictionary()) {
                const std::string layerName = "/ZelvaneAnnotationLayer" + std::to_string(drawn);
                properties.replaceKey(layerName, layer);
                content += "/OC " + layerName + " BDC\n" + drawing + "\nEMC\n";
            } else {
                content += drawing + "\n";
            }
            ++drawn;
        } catch (const std::exception&) {
            continue;
        }
    }
    if (drawn == 0) {
        return pageForm;
    }
    QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
    resources.replaceKey("/XObject", objects);
    if (properties.getKeys().size() > 0) {
        resources.replaceKey("/Properties", properties);
    }
    QPDFObjectHandle form = QPDFObjectHandle::newStream(&pdf, content);
    QPDFObjectHandle dict = form.getDict();
    dict.replaceKey("/Type", QPDFObjectHandle::newName("/XObject"));
    dict.replaceKey("/Subtype", QPDFObjectHandle::newName("/Form"));
    dict.replaceKey("/BBox", pageForm.getDict().getKey("/BBox"));
    dict.replaceKey("/Resources", resources);
    return form;
}

}  // namespace zelvane
