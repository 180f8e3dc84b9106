#include "fonts/FontMemo.h"

namespace zelvane::fonts {

namespace {

thread_local FontMemo* threadMemo = nullptr;

}  // namespace

FontMemo::FontMemo()
{
    if (!threadMemo) {
        threadMemo = this;
        m_installed = true;
    }
}

FontMemo::~FontMemo()
{
    if (m_installed)
        threadMemo = nullptr;
}

FontMemo* FontMemo::current()
{
    return threadMemo;
}

}  // namespace zelvane::fonts
