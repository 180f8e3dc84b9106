#pragma once

#include <QString>
#include <functional>

class QVBoxLayout;
class QWidget;

namespace zelvane {

class IconButton;
class TextButton;

// The top of a library section: its title with the folder, reload and
// import buttons (and any further ones), then the folder line.
struct LibraryHeader {
    IconButton* openFolder = nullptr;
    IconButton* reload = nullptr;
    TextButton* import = nullptr;

    // `folder` is the library folder; `folderName` the word the English
    // tooltip names it by ("Signatures", "Stamps").
    static LibraryHeader add(QVBoxLayout& layout, const QString& title, const QString& folder,
                             const QString& folderName, std::function<void()> openFolder,
                             std::function<void()> reload, std::function<void()> import,
                             QWidget* extraButton = nullptr);
};

}  // namespace zelvane
