#pragma once

#include "HeadlessRuntime.h"

#include <QByteArray>
#include <QSize>
#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace zelvane {

class AppModel;
class VectorController;

namespace Snapshot {

// The largest side, in points, an offscreen render accepts; larger sizes
// give no image instead of exhausting memory.
inline constexpr int kMaxSide = 4096;

// PNG bytes of the main window's content for `model` at `size` points, drawn
// at a device pixel ratio of 2 in the dark palette without showing anything
// on screen. The main loop runs for 0.3 s inside the call (user input held
// back), so queued main-thread work runs first. Nothing for a size under 1
// point, a size over kMaxSide, an image that cannot be made, or while
// another render is in progress. Main thread only.
std::optional<QByteArray> renderOffscreenPNG(AppModel& model, QSize size);

// The same for any widget (a sheet), which the call takes over and deletes;
// the loop runs for 0.25 s.
std::optional<QByteArray> renderOffscreenPNG(std::function<QWidget*()> makeView, QSize size);

// Whether a render is running (a second one is refused meanwhile).
bool isRendering();

// The renderer of GET /v1/snapshot.png: the main window at 1380×820 for a
// model of its own over a copy of the controller's document and current
// page, in the display mode the query names.
std::optional<QByteArray> renderForRemoteControl(const VectorController& controller, const QString& query);

// Writes `png` atomically to `outputPath` ("~" expanded, a relative path
// taken from the current folder, missing folders made) and says where, or
// why it could not.
HeadlessOutcome writeSnapshot(const QByteArray& png, const QString& outputPath);

// Renders the window (or one of its sheets, by `view`) offscreen to a PNG
// file and ends the process.
[[noreturn]] void runCLISnapshot(const QString& outputPath, const QString& view);

}  // namespace Snapshot

}  // namespace zelvane
