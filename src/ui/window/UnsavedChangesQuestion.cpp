#include "window/UnsavedChangesQuestion.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace zelvane {

UnsavedChangesAnswer askToSaveChanges(QWidget* window, const QString& documentTitle)
{
    QMessageBox box(window);
    box.setObjectName(QStringLiteral("UnsavedChangesQuestion"));
    box.setIcon(QMessageBox::Warning);
    box.setTextFormat(Qt::PlainText);
    box.setWindowTitle(QStringLiteral("Zelvane"));
    box.setText(L("Enregistrer les modifications de « %1 » ?", "Save the changes to \"%1\"?").arg(documentTitle));
    box.setInformativeText(L("Sans enregistrement, les modifications seront perdues.",
                             "Your changes will be lost if you don't save them."));
    for (QLabel* label : box.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    QPushButton* save = box.addButton(L("Enregistrer", "Save"), QMessageBox::AcceptRole);
    QPushButton* discard = box.addButton(L("Ne pas enregistrer", "Don't Save"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box.addButton(L("Annuler", "Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(save);
    box.setEscapeButton(cancel);
    // Cancelled, the keys go back to where they were typed.
    const QPointer<QWidget> typing = QApplication::focusWidget();
    box.exec();
    if (box.clickedButton() != save && box.clickedButton() != discard && typing && typing->isVisible()) {
        typing->window()->activateWindow();
        typing->setFocus(Qt::OtherFocusReason);
    }
    if (box.clickedButton() == save)
        return UnsavedChangesAnswer::save;
    if (box.clickedButton() == discard)
        return UnsavedChangesAnswer::discard;
    return UnsavedChangesAnswer::cancel;
}

}  // namespace zelvane
