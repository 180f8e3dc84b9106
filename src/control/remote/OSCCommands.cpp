#include "remote/OSCCommands.h"

#include "CodecError.h"
#include "VectorController.h"
#include "osc/OSCAddresses.h"
#include "remote/RemotePaths.h"

#include <QUrl>

namespace zelvane {

void handleOSCMessage(VectorController& controller, const OSCCodec::Message& message)
{
    const VectorController::RemoteEditScope remote(controller);
    const std::optional<OSCAddresses::Command> command = OSCAddresses::commandFor(message.address);
    if (!command) {
        return;
    }
    const qsizetype pageCount = controller.document().pages.size();
    switch (*command) {
    case OSCAddresses::Command::page: {
        const std::optional<qint64> number = OSCAddresses::pageNumber(message);
        if (!number || pageCount < 1) {
            return;
        }
        const int index = OSCAddresses::pageIndexForNumber(*number, int(std::min<qsizetype>(pageCount, INT_MAX)));
        controller.setCurrentPageIndex(index);
        controller.setStatusMessage(QStringLiteral("OSC · Page %1/%2").arg(index + 1).arg(pageCount));
        return;
    }
    case OSCAddresses::Command::pageNext:
        if (controller.currentPageIndex() + 1 < pageCount) {
            controller.setCurrentPageIndex(controller.currentPageIndex() + 1);
        }
        return;
    case OSCAddresses::Command::pagePrevious:
        if (controller.currentPageIndex() >= 1) {
            controller.setCurrentPageIndex(controller.currentPageIndex() - 1);
        }
        return;
    case OSCAddresses::Command::sign:
        if (const std::optional<QString> name = OSCAddresses::signerName(message)) {
            controller.signAsName(*name, controller.currentPageIndex(), QStringLiteral("OSC · Signature ") + *name);
        } else {
            controller.stampActiveSignature();
        }
        return;
    case OSCAddresses::Command::stamp:
        controller.stampApprovalBadge(OSCAddresses::stampKind(message));
        return;
    case OSCAddresses::Command::open:
        if (const std::optional<QString> path = OSCAddresses::filePath(message)) {
            // Imported off the main thread; OSC has no reply: a failure
            // shows in the status line.
            controller.openFileInBackground(QUrl::fromLocalFile(*path).toLocalFile());
        }
        return;
    case OSCAddresses::Command::exportFile:
        if (const std::optional<QString> path = OSCAddresses::filePath(message)) {
            // A sender may write documents, not replace other kinds of files.
            if (const QString refusal = remoteExportRefusal(*path); !refusal.isEmpty()) {
                controller.setStatusMessage(QStringLiteral("OSC · ") + refusal);
                return;
            }
            // Written on a worker; OSC has no reply: the outcome shows in
            // the status line.
            controller.saveFileInBackground(QUrl::fromLocalFile(*path).toLocalFile());
        }
        return;
    case OSCAddresses::Command::undo:
        controller.undo();
        return;
    case OSCAddresses::Command::redo:
        controller.redo();
        return;
    }
}

}  // namespace zelvane
