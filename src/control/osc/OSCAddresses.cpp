#include "osc/OSCAddresses.h"

#include "EnumCases.h"
#include "remote/RemotePaths.h"

#include <array>
#include <utility>

namespace zelvane::OSCAddresses {
namespace {

constexpr std::array<std::pair<Command, const char16_t*>, 9> kAddresses{{
    {Command::page, u"/zelvane/page"},
    {Command::pageNext, u"/zelvane/page/next"},
    {Command::pagePrevious, u"/zelvane/page/prev"},
    {Command::sign, u"/zelvane/sign"},
    {Command::stamp, u"/zelvane/stamp"},
    {Command::open, u"/zelvane/open"},
    {Command::exportFile, u"/zelvane/export"},
    {Command::undo, u"/zelvane/undo"},
    {Command::redo, u"/zelvane/redo"},
}};

}  // namespace

std::optional<Command> commandFor(const QString& address)
{
    const QString lowered = address.toLower();
    for (const auto& [command, text] : kAddresses) {
        if (lowered == QStringView(text))
            return command;
    }
    return std::nullopt;
}

QString address(Command command)
{
    for (const auto& [candidate, text] : kAddresses) {
        if (candidate == command)
            return QString::fromUtf16(text);
    }
    return {};
}

QStringList helpLines()
{
    return {
        QStringLiteral("/zelvane/page <1..N>"),
        QStringLiteral("/zelvane/page/next"),
        QStringLiteral("/zelvane/page/prev"),
        QStringLiteral("/zelvane/sign <signerName>"),
        QStringLiteral("/zelvane/stamp <approved|signed|stagePlot|confidential|draft>"),
        QStringLiteral("/zelvane/open <filepath>"),
        QStringLiteral("/zelvane/export <filepath>"),
        QStringLiteral("/zelvane/undo"),
        QStringLiteral("/zelvane/redo"),
    };
}

const OSCCodec::Value* firstArgument(const OSCCodec::Message& message)
{
    return message.arguments.isEmpty() ? nullptr : &message.arguments.first();
}

std::optional<qint64> pageNumber(const OSCCodec::Message& message)
{
    const OSCCodec::Value* argument = firstArgument(message);
    return argument ? argument->intValue() : std::nullopt;
}

int pageIndexForNumber(qint64 number, int pageCount)
{
    if (pageCount < 1 || number < 1)
        return 0;
    // number >= 1 here, so number - 1 cannot overflow.
    return number - 1 >= pageCount ? pageCount - 1 : int(number - 1);
}

std::optional<QString> signerName(const OSCCodec::Message& message)
{
    const OSCCodec::Value* argument = firstArgument(message);
    if (!argument)
        return std::nullopt;
    QString name = argument->stringValue();
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

VectorStampKind stampKind(const OSCCodec::Message& message)
{
    const OSCCodec::Value* argument = firstArgument(message);
    if (!argument)
        return VectorStampKind::approved;
    return fromRawValue<VectorStampKind>(argument->stringValue()).value_or(VectorStampKind::approved);
}

std::optional<QString> filePath(const OSCCodec::Message& message)
{
    const OSCCodec::Value* argument = firstArgument(message);
    if (!argument)
        return std::nullopt;
    const QString text = argument->stringValue();
    if (text.isEmpty())
        return std::nullopt;
    return expandTildeInPath(text);
}

}  // namespace zelvane::OSCAddresses
