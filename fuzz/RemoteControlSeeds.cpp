// Writes small starting corpora for the OSC and HTTP fuzz targets into the
// two folders it is given: OSC messages and bundles, and HTTP requests (each
// after the fuzz target's leading flag byte).

#include "osc/OSCCodec.h"

#include <QtEndian>
#include <cstdio>
#include <fstream>
#include <string>

using namespace zelvane;
using OSCCodec::Message;
using OSCCodec::Value;

namespace {

void write(const std::string& folder, const std::string& name, const QByteArray& bytes)
{
    std::ofstream out(folder + "/" + name, std::ios::binary);
    out.write(bytes.constData(), bytes.size());
}

QByteArray bundle(const QList<QByteArray>& elements)
{
    QByteArray out("#bundle\0\0\0\0\0\0\0\0\1", 16);
    for (const QByteArray& element : elements) {
        char size[4];
        qToBigEndian(quint32(element.size()), size);
        out += QByteArray(size, 4) + element;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s OSC-FOLDER HTTP-FOLDER\n", argv[0]);
        return 1;
    }
    const std::string osc = argv[1];
    const std::string http = argv[2];

    const QByteArray page = OSCCodec::encode(Message{QStringLiteral("/zelvane/page"), {Value::int32(3)}});
    const QByteArray next = OSCCodec::encode(Message{QStringLiteral("/zelvane/page/next"), {}});
    write(osc, "page", page);
    write(osc, "next", next);
    write(osc, "sign", OSCCodec::encode(Message{QStringLiteral("/zelvane/sign"), {Value::string(QStringLiteral("Élodie"))}}));
    write(osc, "mixed",
          OSCCodec::encode(Message{QStringLiteral("/zelvane/stamp"),
                                   {Value::string(QStringLiteral("draft")), Value::float32(2.5f), Value::boolean(true),
                                    Value::boolean(false), Value::int32(-1)}}));
    write(osc, "bundle", bundle({next, page}));
    write(osc, "nested", bundle({bundle({page}), next}));
    write(osc, "blob", QByteArray("/a\0\0,bhi\0\0\0\0\0\0\0\4abcd\0\0\0\0\0\0\0\5\0\0\0\6", 36));

    const QByteArray body = R"({"page":1,"match":"Statut","text":"Statut : VALIDÉ","x":72,"y":120.5})";
    const QList<std::pair<const char*, QByteArray>> requests{
        {"get", "GET /v1/state HTTP/1.1\r\nHost: 127.0.0.1:17960\r\n\r\n"},
        {"query", "get /v1/snapshot.png?view=grid?x HTTP/1.1\r\nHost: localhost:17960\r\n\r\n"},
        {"post", "POST /v1/text HTTP/1.1\r\nHost: 127.0.0.1:17960\r\nContent-Type: application/json\r\nContent-Length: " +
                     QByteArray::number(body.size()) + "\r\n\r\n" + body},
        {"continue", "POST /v1/sign HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 2\r\n\r\n{}"},
        {"origin", "POST /v1/page HTTP/1.1\r\nOrigin: http://a\r\nHost: a:1\r\nContent-Length: 17\r\n\r\n{\"duplicate\":true}"},
        {"chunked", "POST /v1/open HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n2\r\n{}\r\n0\r\n\r\n"},
        {"barelf", "POST /v1/export HTTP/1.1\nContent-Length: 2\n\n{}"},
        {"oneword", "GET\r\n\r\n"},
        {"page", "POST /v1/text HTTP/1.1\r\nContent-Length: 24\r\n\r\n{\"page\":1e19,\"text\":\"\"}"},
    };
    for (const auto& [name, request] : requests) {
        write(http, name, QByteArray(1, '\0') + request);
        write(http, std::string(name) + "-closed", QByteArray(1, '\1') + request);
    }
    return 0;
}
