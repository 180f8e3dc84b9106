#include "window/WindowEnvironment.h"

#include "Localization.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>

namespace zelvane {

WindowEnvironment::WindowEnvironment(QWidget* window) : m_window(window) {}

std::optional<QStringList> WindowEnvironment::chooseFiles(const FileChoiceRequest& request)
{
    QFileDialog dialog(m_window, request.title);
    dialog.setObjectName(QStringLiteral("OpenFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.allowsMultipleSelection ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setNameFilters(request.nameFilters);
    if (!request.startFolder.isEmpty())
        dialog.setDirectory(request.startFolder);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles();
}

std::optional<QString> WindowEnvironment::chooseSaveFile(const SaveFileRequest& request)
{
    QFileDialog dialog(m_window, request.title);
    dialog.setObjectName(QStringLiteral("SaveFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilter(request.nameFilter);
    dialog.setDefaultSuffix(request.suffix);
    if (!request.startFolder.isEmpty())
        dialog.setDirectory(request.startFolder);
    dialog.selectFile(request.proposedName);
    while (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()) {
        const QString path = pathWithSuffix(dialog.selectedFiles().first(), request.suffix);
        if (!QFileInfo::exists(path) || confirmReplacing(&dialog, path))
            return path;
        // Asked again, with the refused name still in place.
        dialog.selectFile(QFileInfo(path).fileName());
    }
    return std::nullopt;
}

bool WindowEnvironment::confirmReplacing(QWidget* parent, const QString& path)
{
    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("ReplaceFileQuestion"));
    box.setIcon(QMessageBox::Warning);
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(QStringLiteral("Zelvane"));
    const QString name = QFileInfo(path).fileName();
    box.setText(L("« %1 » existe déjà. Voulez-vous le remplacer ?", "\"%1\" already exists. Do you want to replace it?")
                    .arg(name));
    QPushButton* replace = box.addButton(L("Remplacer", "Replace"), QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(L("Annuler", "Cancel"), QMessageBox::RejectRole);
    box.setEscapeButton(cancel);
    box.setDefaultButton(cancel);
    box.exec();
    return box.clickedButton() == replace;
}

}  // namespace zelvane
