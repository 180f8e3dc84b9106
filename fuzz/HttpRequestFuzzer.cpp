// Parses arbitrary bytes as one HTTP request of the editor's API: nothing may
// crash, and the parser must judge a request the same way whether it sees
// all of its bytes at once or only a prefix that already settles it. The
// first input byte chooses whether the client has stopped sending (bit 0)
// and the port the Host check expects; the rest is the request.

#include "http/HttpRequestParser.h"
#include "http/RequestArguments.h"

#include <cstdlib>

using namespace zelvane;

namespace {

bool sameParse(const HttpParse& a, const HttpParse& b)
{
    if (a.outcome != b.outcome)
        return false;
    if (a.outcome == HttpParse::Outcome::rejected)
        return a.reply.status == b.reply.status && a.reply.body == b.reply.body;
    if (a.outcome != HttpParse::Outcome::complete)
        return true;
    const HttpRequest& x = a.request;
    const HttpRequest& y = b.request;
    return a.requestSize == b.requestSize && x.method == y.method && x.target == y.target && x.path == y.path &&
           x.query == y.query && x.version == y.version && x.headers == y.headers && x.body == y.body &&
           x.args == y.args;
}

void useRequest(const HttpRequest& request, quint16 port)
{
    if (const std::optional<HttpReply> refusal = refuseForeignRequest(request, port)) {
        if (refusal->status != 403)
            std::abort();
    }
    const std::optional<int> page = RequestArguments::pageIndex(request.args, 0, 3);
    if (page && (*page < 0 || *page >= 3))
        std::abort();
    for (const char* key : {"x", "y", "fontSize"}) {
        const RequestArguments::Number number = RequestArguments::coordinate(request.args, QString::fromLatin1(key));
        if (number.value && !(*number.value >= -RequestArguments::kMaxCoordinate &&
                              *number.value <= RequestArguments::kMaxCoordinate))
            std::abort();
    }
    (void)RequestArguments::integer(request.args, QStringLiteral("page"));
    (void)RequestArguments::string(request.args, QStringLiteral("text"));
    (void)RequestArguments::boolean(request.args, QStringLiteral("duplicate"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool peerClosed = (data[0] & 1) != 0;
    const quint16 port = (data[0] & 2) != 0 ? 80 : 17960;
    const QByteArrayView bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    // Small limits, so that short inputs reach them too.
    HttpLimits limits;
    limits.maxHeadBytes = 512;
    limits.maxBodyBytes = 1024;

    const HttpParse whole = parseHttpRequest(bytes, peerClosed, limits);
    switch (whole.outcome) {
    case HttpParse::Outcome::complete:
        if (whole.requestSize > bytes.size())
            std::abort();
        useRequest(whole.request, port);
        break;
    case HttpParse::Outcome::rejected:
        if (whole.reply.status < 400 || whole.reply.status > 599 ||
            !serializeReply(whole.reply).startsWith("HTTP/1.1 " + QByteArray::number(whole.reply.status) + ' '))
            std::abort();
        break;
    case HttpParse::Outcome::incomplete:
        if (peerClosed)
            std::abort();
        break;
    case HttpParse::Outcome::dropped:
        break;
    }

    // A prefix that settles the request settles it the same way.
    for (const qsizetype cut : {bytes.size() / 2, bytes.size() / 3, bytes.size() - 1}) {
        if (cut <= 0 || cut >= bytes.size())
            continue;
        const HttpParse early = parseHttpRequest(bytes.first(cut), false, limits);
        if (early.outcome == HttpParse::Outcome::incomplete)
            continue;
        if (!sameParse(early, parseHttpRequest(bytes, false, limits)))
            std::abort();
    }

    // The default limits never refuse what the small ones accepted.
    const HttpParse roomy = parseHttpRequest(bytes, peerClosed);
    if (whole.outcome == HttpParse::Outcome::complete && !sameParse(whole, roomy))
        std::abort();
    return 0;
}
