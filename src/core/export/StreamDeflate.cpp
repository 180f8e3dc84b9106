#include "export/StreamDeflate.h"

#include <zlib.h>

namespace zelvane::PDFCodec {

std::string deflated(const unsigned char* data, size_t size)
{
    std::string compressed;
    uLongf compressedSize = compressBound(uLong(size));
    compressed.resize(compressedSize);
    if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &compressedSize, data, uLong(size),
                  Z_DEFAULT_COMPRESSION) != Z_OK) {
        return {};
    }
    compressed.resize(compressedSize);
    return compressed;
}

}  // namespace zelvane::PDFCodec
