#pragma once

#include <QString>
#include <QUuid>

namespace zelvane {

// An alert waiting for the window: texts already in the interface language.
// Every alert gets a fresh id, so two alerts with the same texts differ.
struct AlertItem {
    QUuid id;
    QString title;
    QString message;

    static AlertItem make(QString title, QString message) { return {QUuid::createUuid(), std::move(title), std::move(message)}; }
    bool operator==(const AlertItem&) const = default;
};

}  // namespace zelvane
