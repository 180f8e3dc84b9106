#pragma once

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <functional>
#include <map>
#include <set>

namespace zelvane::fonts {

// A walk of the fonts that resources name, and those of the form XObjects
// they use, down to four levels of nesting. What the walk has met is
// remembered, so that resources, forms and fonts shared by many pages or
// named by one another are read once: each font dictionary is handed on
// once, and a form is walked again only when met less deep than before (so
// the depth bound finds what it would without the record).
class PDFFontWalk {
public:
    // Forms nested deeper than this below the resources walked are not searched.
    static constexpr int kMostFormDepth = 4;

    // Calls `visit` with each font dictionary not met before.
    void walk(QPDFObjectHandle resources, const std::function<void(QPDFObjectHandle font)>& visit);

private:
    void walk(QPDFObjectHandle resources, const std::function<void(QPDFObjectHandle font)>& visit, int depth);
    bool firstFont(QPDFObjectHandle font);
    bool shallower(QPDFObjectHandle form, int depth);

    std::set<QPDFObjGen> m_fonts;
    std::map<QPDFObjGen, int> m_formDepths;
};

}  // namespace zelvane::fonts
