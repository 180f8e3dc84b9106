#include "pdf/PDFOptionalContent.h"

#include <qpdf/QPDFObjectHandle.hh>

#include <exception>
#include <set>

namespace zelvane {

namespace {

QPDFObjectHandle indirect(QPDF& pdf, QPDFObjectHandle object)
{
    return object.isIndirect() ? object : pdf.makeIndirectObject(object);
}

// The layers of one source, copied into `output`, and which of them are off.
struct CopiedLayers {
    std::vector<QPDFObjectHandle> layers;
    std::vector<QPDFObjectHandle> off;
    QPDFObjectHandle order;
};

CopiedLayers copyLayers(QPDF& output, QPDF& source, QPDFObjectHandle properties)
{
    CopiedLayers copied;
    QPDFObjectHandle groups = properties.getKey("/OCGs");
    QPDFObjectHandle defaults = properties.getKey("/D");
    if (!groups.isArray()) {
        return copied;
    }
    std::set<QPDFObjGen> listedOn;
    std::set<QPDFObjGen> listedOff;
    bool baseOff = false;
    if (defaults.isDictionary()) {
        baseOff = defaults.getKey("/BaseState").isNameAndEquals("/OFF");
        for (const auto& [key, listed] : {std::pair{"/ON", &listedOn}, std::pair{"/OFF", &listedOff}}) {
            QPDFObjectHandle list = defaults.getKey(key);
            if (list.isArray()) {
                for (QPDFObjectHandle item : list.aitems()) {
                    if (item.isIndirect()) {
                        listed->insert(item.getObjGen());
                    }
                }
            }
        }
        if (QPDFObjectHandle order = defaults.getKey("/Order"); order.isArray()) {
            copied.order = output.copyForeignObject(indirect(source, order));
        }
    }
    for (QPDFObjectHandle group : groups.aitems()) {
        if (!group.isIndirect() || !group.isDictionary()) {
            continue;
        }
        const QPDFObjGen id = group.getObjGen();
        QPDFObjectHandle copy = output.copyForeignObject(group);
        copied.layers.push_back(copy);
        if (baseOff ? !listedOn.count(id) : listedOff.count(id) > 0) {
            copied.off.push_back(copy);
        }
    }
    return copied;
}

}  // namespace

void copyOptionalContent(QPDF& output, const std::vector<QPDF*>& sources)
{
    std::vector<std::pair<QPDF*, QPDFObjectHandle>> layered;
    for (QPDF* source : sources) {
        try {
            QPDFObjectHandle properties = source->getRoot().getKey("/OCProperties");
            if (properties.isDictionary() && properties.getKey("/OCGs").isArray()) {
                layered.emplace_back(source, properties);
            }
        } catch (const std::exception&) {
        }
    }
    if (layered.empty()) {
        return;
    }
    try {
        if (layered.size() == 1) {
            auto& [source, properties] = layered.front();
            output.getRoot().replaceKey("/OCProperties",
                                        output.copyForeignObject(indirect(*source, properties)));
            return;
        }
        QPDFObjectHandle layers = QPDFObjectHandle::newArray();
        QPDFObjectHandle off = QPDFObjectHandle::newArray();
        QPDFObjectHandle order = QPDFObjectHandle::newArray();
        for (auto& [source, properties] : layered) {
            try {
                CopiedLayers copied = copyLayers(output, *source, properties);
                for (QPDFObjectHandle& layer : copied.layers) {
                    layers.appendItem(layer);
                }
                for (QPDFObjectHandle& layer : copied.off) {
                    off.appendItem(layer);
                }
                if (copied.order.isArray()) {
                    for (QPDFObjectHandle item : copied.order.aitems()) {
                        order.appendItem(item);
                    }
                }
            } catch (const std::exception&) {
                continue;
            }
        }
        QPDFObjectHandle defaults = QPDFObjectHandle::newDictionary();
        defaults.replaceKey("/BaseState", QPDFObjectHandle::newName("/ON"));
        defaults.replaceKey("/OFF", off);
        if (order.getArrayNItems() > 0) {
            defaults.replaceKey("/Order", order);
        }
        QPDFObjectHandle properties = QPDFObjectHandle::newDictionary();
        properties.replaceKey("/OCGs", layers);
        properties.replaceKey("/D", defaults);
        output.getRoot().replaceKey("/OCProperties", properties);
    } catch (const std::exception&) {
        output.getRoot().removeKey("/OCProperties");
    }
}

}  // namespace zelvane
