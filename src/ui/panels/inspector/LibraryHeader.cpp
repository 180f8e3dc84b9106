#include "panels/inspector/LibraryHeader.h"

#include "Localization.h"
#include "controls/IconButton.h"
#include "controls/SectionHeader.h"
#include "controls/TextButton.h"
#include "panels/inspector/FolderLine.h"
#include "theme/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace zelvane {

LibraryHeader LibraryHeader::add(QVBoxLayout& layout, const QString& title, const QString& folder,
                                 const QString& folderName, std::function<void()> openFolder,
                                 std::function<void()> reload, std::function<void()> import, QWidget* extraButton)
{
    LibraryHeader header;
    auto* buttons = new QWidget;
    auto* row = new QHBoxLayout(buttons);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    header.openFolder = new IconButton(
        QStringLiteral("folder"),
        L(QStringLiteral("Ouvrir ") + FolderLine::homeAbbreviated(folder)
              + QStringLiteral(" dans le gestionnaire de fichiers"),
          QStringLiteral("Open ") + folderName + QStringLiteral(" folder in the file manager")),
        std::move(openFolder));
    header.reload = new IconButton(QStringLiteral("arrow.clockwise"),
                                   L(QStringLiteral("Actualiser le dossier ") + folderName,
                                     QStringLiteral("Reload ") + folderName + QStringLiteral(" folder")),
                                   std::move(reload));
    for (IconButton* button : {header.openFolder, header.reload}) {
        button->setTint(Theme::accent());
        row->addWidget(button);
    }
    // The title already begins with "+": no plus symbol beside it.
    header.import = new TextButton(L("+ Fichier…", "+ File…"), std::move(import));
    header.import->setCompact(true);
    row->addWidget(header.import);
    if (extraButton)
        row->addWidget(extraButton);

    auto* sectionHeader = new SectionHeader(title, buttons);
    // The title gives way before the buttons when the panel is narrow.
    sectionHeader->titleLabel()->setMinimumWidth(1);
    layout.addWidget(sectionHeader);
    layout.addWidget(new FolderLine(folder));
    return header;
}

}  // namespace zelvane
