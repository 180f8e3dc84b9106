#pragma once

#include "model/VectorDocument.h"

#include <QByteArray>
#include <QString>

namespace zelvane {

// The reports of "--info": a document's pages and counts as French text,
// as CSV or as JSON. Each report ends with a newline.
namespace InfoReport {

// "json", "csv", or anything else for the text report; the form is expected
// in lower case.
QByteArray render(const VectorDocument& document, const QString& form);

QString text(const VectorDocument& document);
QString csv(const VectorDocument& document);
// Pretty-printed, keys in sorted order.
QByteArray json(const VectorDocument& document);

// A CSV field between double quotes, inner double quotes doubled.
QString csvQuoted(const QString& field);

}  // namespace InfoReport

}  // namespace zelvane
