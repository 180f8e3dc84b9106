#pragma once

#include <QByteArray>

#include <cstddef>
#include <string>

namespace zelvane::PDFCodec {

// `size` bytes from `data` as a PDF /FlateDecode stream holds them, deflated
// at zlib's default level as qpdf's writer deflates them; empty when zlib
// fails.
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
