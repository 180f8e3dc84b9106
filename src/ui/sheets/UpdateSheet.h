#pragma once

#include <QWidget>
#include <functional>
#include <optional>

class QVBoxLayout;
class QHBoxLayout;

namespace zelvane {

class AppModel;
class OsselUpdater;
class VectorHeroGraphic;

// The update sheet: follows the updater's state (checking, up to date, a
// newer release with its notes, download, installation, failure) and lets
// the user check again, install the offered release or close. Return
// installs while an installable release is offered and closes otherwise.
class UpdateSheet : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 440;

    // Closing lowers the model's showUpdater flag.
    explicit UpdateSheet(AppModel& model, QWidget* parent = nullptr);
    UpdateSheet(OsselUpdater& updater, std::function<void()> close, QWidget* parent = nullptr);

    // Why the offered release cannot be installed from this program (no
    // checksum to verify it, no installation to replace), or nothing when
    // it can or when none is offered.
    std::optional<QString> installBlocker() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void rebuild();
    QWidget* makeStateRegion();
    void makeButtons();
    void confirm();

    OsselUpdater& m_updater;
    std::function<void()> m_close;
    VectorHeroGraphic* m_hero = nullptr;
    QVBoxLayout* m_regionSlot = nullptr;
    // Check Again on a row of its own, above the others, when one row
    // cannot hold every button whole.
    QHBoxLayout* m_checkRow = nullptr;
    QHBoxLayout* m_buttonRow = nullptr;
};

}  // namespace zelvane
