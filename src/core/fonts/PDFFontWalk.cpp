#include "fonts/PDFFontWalk.h"

#include <vector>

namespace zelvane::fonts {

void PDFFontWalk::walk(QPDFObjectHandle resources, const std::function<void(QPDFObjectHandle font)>& visit)
{
    walk(resources, visit, 0);
}

bool PDFFontWalk::firstFont(QPDFObjectHandle font)
{
    const QPDFObjGen id = font.getObjGen();
    return !id.isIndirect() || m_fonts.insert(id).second;
}

bool PDFFontWalk::shallower(QPDFObjectHandle form, int depth)
{
    const QPDFObjGen id = form.getObjGen();
    if (!id.isIndirect())
        return true;
    const auto [at, added] = m_formDepths.emplace(id, depth);
    if (!added && at->second <= depth)
        return false;
    at->second = depth;
    return true;
}

void PDFFontWalk::walk(QPDFObjectHandle resources, const std::function<void(QPDFObjectHandle font)>& visit,
                       int depth)
{
    if (depth > kMostFormDepth || !resources.isDictionary())
        return;
    QPDFObjectHandle fonts = resources.getKey("/Font");
    if (fonts.isDictionary()) {
        for (auto& [key, font] : fonts.getDictAsMap()) {
            if (font.isDictionary() && firstFont(font))
                visit(font);
        }
    }
    QPDFObjectHandle xobjects = resources.getKey("/XObject");
    if (!xobjects.isDictionary() || depth + 1 > kMostFormDepth)
        return;
    // Every form of this level is marked before any is walked, so that a
    // form met here is not first walked deeper through a sibling.
    std::vector<QPDFObjectHandle> formResources;
    for (auto& [key, xobject] : xobjects.getDictAsMap()) {
        if (!xobject.isStream())
            continue;
        QPDFObjectHandle dict = xobject.getDict();
        if (!dict.getKey("/Subtype").isNameAndEquals("/Form") || !shallower(xobject, depth + 1))
            continue;
        QPDFObjectHandle formResourcesDict = dict.getKey("/Resources");
        if (formResourcesDict.isDictionary())
            formResources.push_back(formResourcesDict);
    }
    for (QPDFObjectHandle& child : formResources)
        walk(child, visit, depth + 1);
}

}  // namespace zelvane::fonts
