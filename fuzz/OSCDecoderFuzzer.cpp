// Decodes arbitrary datagrams as OSC: nothing may crash, read out of bounds
// or take long, every message found must encode and decode back to itself,
// and every coercion of every argument must answer.

#include "osc/OSCCodec.h"

#include <bit>
#include <cstdlib>

using namespace zelvane;

namespace {

// Equality that also holds for NaN floats, which come back bit for bit.
bool sameValue(const OSCCodec::Value& a, const OSCCodec::Value& b)
{
    if (a.type() != b.type())
        return false;
    if (a.type() == OSCCodec::Value::Type::float32)
        return std::bit_cast<quint32>(std::get<float>(a.payload())) == std::bit_cast<quint32>(std::get<float>(b.payload()));
    return a == b;
}

bool sameMessage(const OSCCodec::Message& a, const OSCCodec::Message& b)
{
    if (a.address != b.address || a.arguments.size() != b.arguments.size())
        return false;
    for (qsizetype i = 0; i < a.arguments.size(); ++i) {
        if (!sameValue(a.arguments[i], b.arguments[i]))
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView datagram(reinterpret_cast<const char*>(data), qsizetype(size));
    const QList<OSCCodec::Message> messages = OSCCodec::decode(datagram);
    const bool bundle = size >= 16 && datagram.startsWith("#bundle");
    if (!bundle && messages.size() > 1)
        std::abort();
    for (const OSCCodec::Message& message : messages) {
        if (!message.address.startsWith(u'/'))
            std::abort();
        const QByteArray encoded = OSCCodec::encode(message);
        if (encoded.size() % 4 != 0)
            std::abort();
        const QList<OSCCodec::Message> back = OSCCodec::decode(encoded);
        if (back.size() != 1 || !sameMessage(back.first(), message))
            std::abort();
        for (const OSCCodec::Value& value : message.arguments) {
            (void)value.boolValue();
            (void)value.intValue();
            (void)value.doubleValue();
            if (value.type() != OSCCodec::Value::Type::string && value.stringValue().isEmpty())
                std::abort();
        }
    }
    return 0;
}
