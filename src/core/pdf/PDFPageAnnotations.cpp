#include "pdf/PDFPageAnnotations.h"

#include <qpdf/Buffer.hh>
#include <qpdf/Constants.h>
#include <qpdf/QPDFAnnotationObjectHelper.hh>
#include <qpdf/QPDFFormFieldObjectHelper.hh>

#include <exception>
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

// Makes the appearance of a text or choice field's widget from its value,
// where a reader showing the page would make one.
void makeFieldAppearance(QPDFAnnotationObjectHelper& annotation, bool formNeeds)
{
    QPDFObjectHandle widget = annotation.getObjectHandle();
    const bool hasAppearance = widget.getKey("/AP").isDictionary();
    if (hasAppearance && !formNeeds) {
        return;
    }
    QPDFFormFieldObjectHelper field(widget);
    const std::string type = field.getFieldType();
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
                    makeFieldAppearance(annotation, formNeeds);
                } catch (const std::exception&) {
                    // shown as the file has it, if at all
                }
            }
            const std::string name = "/ZelvaneAnnotation" + std::to_string(drawn);
            const std::string drawing = annotation.getPageContentForAppearance(name, 0, 0, an_hidden | an_no_view);
            if (drawing.empty()) {
                continue;
            }
            QPDFObjectHandle appearance = annotation.getAppearanceStream("/N");
            if (!appearance.isStream()) {
                continue;
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
