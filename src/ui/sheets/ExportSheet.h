#pragma once

#include <QWidget>

class QHBoxLayout;

namespace zelvane {

class AppModel;
class TextButton;

// The export sheet: chooses PDF, SVG or PNG, shows the document's counts,
// and saves through the save panel or, for SVG, copies the code to the
// clipboard. Escape cancels, Return saves. Shown while showExportSheet is up.
class ExportSheet : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 470;

    explicit ExportSheet(AppModel& model, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void refreshFormat();
    void refreshChips();
    void fitHeight();
    void cancel();
    void copySVG();
    void save();

    AppModel& m_model;
    QHBoxLayout* m_chips = nullptr;
    TextButton* m_copy = nullptr;
};

}  // namespace zelvane
