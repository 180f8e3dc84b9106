#include "window/AlertPresenter.h"

#include "appmodel/AppModel.h"
#include "window/SheetPresenter.h"

#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>

namespace zelvane {

AlertPresenter::AlertPresenter(AppModel& model, QWidget* window, SheetPresenter& sheets)
    : QObject(window), m_model(model), m_window(window), m_sheets(sheets)
{
    connect(&model, &AppModel::alertChanged, this, &AlertPresenter::present);
    // An alert shown over a sheet that closes moves over what stays.
    connect(&sheets, &SheetPresenter::sheetsChanged, this, [this] {
        if (!m_box)
            return;
        const QWidget* parent = m_box->parentWidget();
        if (parent == m_window || m_sheets.isOpenSheet(parent))
            return;
        closeBox();
        present();
    });
    present();
}

AlertPresenter::~AlertPresenter()
{
    if (m_box) {
        m_box->disconnect(this);
        delete m_box.data();
    }
}

void AlertPresenter::present()
{
    const std::optional<AlertItem>& alert = m_model.alert();
    if (!alert) {
        closeBox();
        return;
    }
    if (m_box && m_shownID == alert->id)
        return;
    closeBox();

    QWidget* parent = m_sheets.topmost() ? static_cast<QWidget*>(m_sheets.topmost()) : m_window;
    auto* box = new QMessageBox(parent);
    box->setObjectName(QStringLiteral("AlertBox"));
    box->setIcon(QMessageBox::Warning);
    box->setTextFormat(Qt::PlainText);
    box->setWindowTitle(alert->title);
    box->setText(alert->title);
    box->setInformativeText(alert->message);
    // The message may hold anything a file name or an error carries.
    for (QLabel* label : box->findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    box->setStandardButtons(QMessageBox::Ok);
    box->setDefaultButton(QMessageBox::Ok);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    const QUuid id = alert->id;
    connect(box, &QMessageBox::finished, this, [this, id] {
        m_box = nullptr;
        m_model.dismissAlert(id);
    });
    // Should the box go with its parent all the same, show the alert again
    // rather than lose it.
    connect(box, &QObject::destroyed, this, [this, id] {
        if (m_shownID == id && m_model.alert() && m_model.alert()->id == id) {
            m_shownID = QUuid();
            QTimer::singleShot(0, this, &AlertPresenter::present);
        }
    });
    m_box = box;
    m_shownID = id;
    box->open();
}

void AlertPresenter::closeBox()
{
    m_shownID = QUuid();
    if (!m_box)
        return;
    QMessageBox* box = m_box.data();
    m_box = nullptr;
    box->disconnect(this);
    box->close();
}

}  // namespace zelvane
