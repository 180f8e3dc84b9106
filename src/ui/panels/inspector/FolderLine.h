#pragma once

#include <QWidget>

namespace zelvane {

// A library folder on one line, faint and monospaced, with the home folder
// written "~" and the middle elided when the panel is narrow. The whole path
// is the tooltip.
class FolderLine : public QWidget {
    Q_OBJECT

public:
    explicit FolderLine(const QString& path, QWidget* parent = nullptr);

    // The path as shown before eliding ("~/.local/share/...").
    const QString& text() const { return m_text; }
    static QString homeAbbreviated(const QString& path);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
};

}  // namespace zelvane
