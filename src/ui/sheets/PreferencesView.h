#pragma once

#include <QWidget>

class QAbstractButton;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace zelvane {

class AppModel;

// The settings window's content: language, automatic update check, panels,
// and the remote-control ports. The port fields are filled from the running
// servers each time the page is shown; Apply or Return in either field moves
// the servers, and the outcome of each side is reported as it is.
class PreferencesView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 500;
    static constexpr int kHeight = 500;

    explicit PreferencesView(AppModel& model, QWidget* parent = nullptr);

    QComboBox* languagePicker() const { return m_language; }
    QCheckBox* autoCheckToggle() const { return m_autoCheck; }
    QAbstractButton* checkNowButton() const { return m_checkNow; }
    QCheckBox* pdfFramesToggle() const { return m_pdfFrames; }
    QCheckBox* sidebarToggle() const { return m_sidebar; }
    QCheckBox* inspectorToggle() const { return m_inspector; }
    QLineEdit* oscPortField() const { return m_oscPort; }
    QLineEdit* httpPortField() const { return m_httpPort; }
    QAbstractButton* applyButton() const { return m_apply; }
    // The outcome of the last apply, under the port fields.
    QLabel* portFeedback() const { return m_feedback; }

    // Both fields from the running servers; unapplied text is replaced.
    void fillPortFields();
    void applyPorts();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QCheckBox* toggle(const QString& title, bool on, void (*apply)(AppModel&, bool));
    QLineEdit* portField(const QString& placeholder);
    void refreshToggles();

    AppModel& m_model;
    QComboBox* m_language = nullptr;
    QCheckBox* m_autoCheck = nullptr;
    QAbstractButton* m_checkNow = nullptr;
    QCheckBox* m_pdfFrames = nullptr;
    QCheckBox* m_sidebar = nullptr;
    QCheckBox* m_inspector = nullptr;
    QLineEdit* m_oscPort = nullptr;
    QLineEdit* m_httpPort = nullptr;
    QAbstractButton* m_apply = nullptr;
    QLabel* m_feedback = nullptr;
};

}  // namespace zelvane
