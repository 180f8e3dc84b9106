#pragma once

#include <QByteArray>

#include <cstddef>
#include <string>

namespace zelvane::PDFCodec {

// `size` bytes from `data` as a PDF /FlateDecode stream holds them (a zlib
// stream), no larger than zlib's default level makes it; empty when they
// cannot be compressed (no memory). Safe to call on several threads at once.
std::string deflated(const unsigned char* data, size_t size);

inline std::string deflated(const std::string& data)
{
    return deflated(reinterpret_cast<const unsigned char*>(data.data()), data.size());
}

inline std::string deflated(const QByteArray& data)
{
    return deflated(reinterpret_cast<const unsigned char*>(data.constData()), size_t(data.size()));
}

}  // namespace zelvane::PDFCodec
