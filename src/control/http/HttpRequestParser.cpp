#include "http/HttpRequestParser.h"

#include <QJsonDocument>
#include <QString>

#include <limits>

namespace zelvane {
namespace {

HttpParse rejected(int status, const char* error)
{
    HttpParse parse;
    parse.outcome = HttpParse::Outcome::rejected;
    parse.reply = HttpReply::error(QString::fromLatin1(error), status);
    return parse;
}

HttpParse dropped()
{
    HttpParse parse;
    parse.outcome = HttpParse::Outcome::dropped;
    return parse;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmedBlanks(QByteArrayView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

QByteArrayView withoutCarriageReturn(QByteArrayView line)
{
    return line.endsWith('\r') ? line.chopped(1) : line;
}

// Where the head ends: the index of the blank line's first byte past the
// last header line, and the first byte after the blank line.
struct HeadEnd {
    qsizetype headSize;
    qsizetype bodyStart;
    bool crlf;  // the head ended with "\r\n\r\n"
};

std::optional<HeadEnd> findHeadEnd(QByteArrayView bytes, qsizetype start, qsizetype searchLimit)
{
    const qsizetype last = std::min(bytes.size(), searchLimit);
    for (qsizetype index = start; index + 1 < last; ++index) {
        if (bytes[index] != '\n')
            continue;
        const qsizetype lineEnd = index > start && bytes[index - 1] == '\r' ? index - 1 : index;
        if (bytes[index + 1] == '\n')
            return HeadEnd{lineEnd, index + 2, false};
        if (bytes[index + 1] == '\r' && index + 2 < bytes.size() && bytes[index + 2] == '\n')
            return HeadEnd{lineEnd, index + 3, lineEnd != index};
    }
    return std::nullopt;
}

bool isLineBreak(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

// The request line's words; the line ends at any line break, empty lines
// before it skipped.
QStringList requestLineWords(QByteArrayView firstLine)
{
    const QString text = QString::fromUtf8(firstLine);
    qsizetype begin = 0;
    while (begin < text.size() && isLineBreak(text[begin]))
        ++begin;
    qsizetype end = begin;
    while (end < text.size() && !isLineBreak(text[end]))
        ++end;
    return text.mid(begin, end - begin).split(u' ', Qt::SkipEmptyParts);
}

std::optional<qint64> parseLength(QByteArrayView text)
{
    if (text.isEmpty() || text.size() > 18)
        return std::nullopt;
    qint64 value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

}  // namespace

HttpParse parseHttpRequest(QByteArrayView bytes, bool peerClosed, const HttpLimits& limits)
{
    qsizetype start = 0;
    while (start < bytes.size() && (bytes[start] == '\r' || bytes[start] == '\n'))
        ++start;
    if (start == bytes.size())
        return peerClosed ? dropped() : HttpParse{};

    // A bad request line is known as soon as its line has arrived.
    const qsizetype firstBreak = bytes.indexOf('\n', start);
    const QByteArrayView firstLine =
        withoutCarriageReturn(bytes.sliced(start, (firstBreak < 0 ? bytes.size() : firstBreak) - start));
    if (firstLine.size() > limits.maxHeadBytes)
        return rejected(431, "request headers too large");
    if (firstBreak < 0 && !peerClosed)
        return HttpParse{};
    const QStringList words = requestLineWords(firstLine);
    if (words.size() < 2)
        return dropped();

    std::optional<HeadEnd> end = findHeadEnd(bytes, start, start + limits.maxHeadBytes + 4);
    if (end && end->headSize - start > limits.maxHeadBytes)
        return rejected(431, "request headers too large");
    if (!end) {
        // A head within the limit would have ended, blank line included, in
        // this many bytes.
        if (bytes.size() - start >= limits.maxHeadBytes + 4)
            return rejected(431, "request headers too large");
        if (!peerClosed)
            return HttpParse{};
        end = HeadEnd{bytes.size(), bytes.size(), false};
    }

    HttpParse parse;
    HttpRequest& request = parse.request;
    request.method = words[0].toUpper();
    request.target = words[1];
    request.version = words.value(2);
    const qsizetype question = request.target.indexOf(u'?');
    request.path = question < 0 ? request.target : request.target.left(question);
    request.query = question < 0 ? QString() : request.target.mid(question + 1);

    const QByteArrayView head = bytes.sliced(start, end->headSize - start);
    const qsizetype headersStart = head.indexOf('\n');
    if (headersStart >= 0) {
        for (QByteArrayView rest = head.sliced(headersStart + 1); !rest.isEmpty();) {
            const qsizetype lineEnd = rest.indexOf('\n');
            const QByteArrayView line = withoutCarriageReturn(lineEnd < 0 ? rest : rest.first(lineEnd));
            rest = lineEnd < 0 ? QByteArrayView() : rest.sliced(lineEnd + 1);
            // Folded continuation lines and lines without a colon carry no field.
            const qsizetype colon = line.indexOf(':');
            if (line.isEmpty() || isBlank(line.front()) || colon <= 0)
                continue;
            const QByteArrayView name = trimmedBlanks(line.first(colon));
            if (name.isEmpty())
                continue;
            request.headers.append({name.toByteArray().toLower(), trimmedBlanks(line.sliced(colon + 1)).toByteArray()});
        }
    }

    if (request.headerCount("transfer-encoding") > 0)
        return rejected(501, "Transfer-Encoding is not supported; send a Content-Length");
    std::optional<qint64> length;
    for (const auto& [name, value] : request.headers) {
        if (name != "content-length")
            continue;
        const std::optional<qint64> parsed = parseLength(value);
        if (!parsed || (length && *length != *parsed))
            return rejected(400, "invalid Content-Length");
        length = parsed;
    }
    const qint64 bodySize = length.value_or(0);
    if (bodySize > limits.maxBodyBytes)
        return rejected(413, "request body too large");

    const qsizetype available = bytes.size() - end->bodyStart;
    if (available < bodySize) {
        if (peerClosed)
            return rejected(400, "incomplete request body");
        parse.outcome = HttpParse::Outcome::incomplete;
        parse.headRead = true;
        parse.expectsContinue = request.header("expect").toLower() == "100-continue";
        return parse;
    }

    request.body = bytes.sliced(end->bodyStart, qsizetype(bodySize)).toByteArray();
    if (end->crlf && !request.body.isEmpty()) {
        // Invalid UTF-8 is repaired before the JSON is read.
        const QJsonDocument document = QJsonDocument::fromJson(QString::fromUtf8(request.body).toUtf8());
        if (document.isObject())
            request.args = document.object();
    }
    parse.outcome = HttpParse::Outcome::complete;
    parse.requestSize = end->bodyStart + qsizetype(bodySize);
    return parse;
}

std::optional<HttpReply> refuseForeignRequest(const HttpRequest& request, quint16 port)
{
    if (request.headerCount("origin") > 0)
        return HttpReply::error(QStringLiteral("requests from web pages are refused"), 403);
    const qsizetype hosts = request.headerCount("host");
    if (hosts == 0)
        return std::nullopt;
    if (hosts == 1) {
        const QByteArray host = request.header("host").toLower();
        const QByteArray suffix = ':' + QByteArray::number(port);
        for (const QByteArray& name : {QByteArrayLiteral("127.0.0.1"), QByteArrayLiteral("localhost")}) {
            if (host == name + suffix || (port == 80 && host == name))
                return std::nullopt;
        }
    }
    return HttpReply::error(QStringLiteral("requests for another host are refused"), 403);
}

}  // namespace zelvane
