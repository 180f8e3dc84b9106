#include "Snapshot.h"

#include "HeadlessRuntime.h"

namespace zelvane::Snapshot {

void runCLISnapshot(const QString& outputPath, const QString& view)
{
    Q_UNUSED(outputPath);
    Q_UNUSED(view);
    HeadlessRuntime::finish(
        HeadlessRuntime::failure(QStringLiteral("--snapshot needs the editor window, which this build does not have yet")));
}

}  // namespace zelvane::Snapshot
