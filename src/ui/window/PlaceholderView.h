#pragma once

#include <QString>
#include <QWidget>

namespace zelvane {

// A labelled, dashed box standing where a view is still to come.
class PlaceholderView : public QWidget {
    Q_OBJECT

public:
    explicit PlaceholderView(const QString& name, QWidget* parent = nullptr);

    const QString& name() const { return m_name; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
};

// Fills `host` with a placeholder of that name (the host's only content).
void fillWithPlaceholder(QWidget* host, const QString& name);

}  // namespace zelvane
