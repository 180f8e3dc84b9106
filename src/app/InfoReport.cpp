#include "InfoReport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <cmath>

namespace zelvane::InfoReport {

namespace {

// Whole points, halves away from zero. Only a value inside qint64's range
// converts to one; a larger one (or one that is not finite) is written as
// a decimal instead of going through an out-of-range conversion.
QString wholePoints(double value)
{
    const double rounded = std::round(value);
    if (rounded >= -0x1p63 && rounded < 0x1p63)
        return QString::number(qint64(rounded));
    return QString::number(rounded, 'f', 0);
}

}  // namespace

QByteArray render(const VectorDocument& document, const QString& form)
{
    if (form == QLatin1String("json")) {
        return json(document);
    }
    if (form == QLatin1String("csv")) {
        return csv(document).toUtf8();
    }
    return text(document).toUtf8();
}

QString text(const VectorDocument& document)
{
    // Concatenated rather than filled in with arg(): a title may hold "%1".
    QString report = document.title + QStringLiteral(" (") + rawValue(document.sourceFormat) +
                     QStringLiteral(") — ") + QString::number(document.pages.size()) + QStringLiteral(" pages · ") +
                     QString::number(document.totalElementsCount()) + QStringLiteral(" éléments · ") +
                     QString::number(document.pdfTextElementCount()) + QStringLiteral(" textes PDF\n");
    for (qsizetype i = 0; i < document.pages.size(); ++i) {
        const VectorPage& page = document.pages.at(i);
        report += QStringLiteral("  Page ") + QString::number(i + 1) + QStringLiteral(": ") + page.title +
                  QStringLiteral(" — ") + page.dimensionsLabel() + QStringLiteral(" — ") +
                  QString::number(page.elements.size()) + QStringLiteral(" éléments\n");
    }
    return report;
}

QString csv(const VectorDocument& document)
{
    QString report = QStringLiteral("page,title,width_pt,height_pt,elements,pdf_stream\n");
    for (qsizetype i = 0; i < document.pages.size(); ++i) {
        const VectorPage& page = document.pages.at(i);
        const QStringList fields{
            QString::number(i + 1),
            csvQuoted(page.title),
            wholePoints(page.width),
            wholePoints(page.height),
            QString::number(page.elements.size()),
            page.pdfPageData ? QStringLiteral("true") : QStringLiteral("false"),
        };
        report += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return report;
}

QByteArray json(const VectorDocument& document)
{
    const QJsonObject report{
        {QStringLiteral("title"), document.title},
        {QStringLiteral("sourceFormat"), rawValue(document.sourceFormat)},
        {QStringLiteral("pageCount"), qint64(document.pages.size())},
        {QStringLiteral("totalElementsCount"), document.totalElementsCount()},
        {QStringLiteral("pdfTextElementCount"), document.pdfTextElementCount()},
        {QStringLiteral("signatureCount"), document.signatureCount()},
    };
    // The writer keeps an object's keys sorted and ends with a newline.
    return QJsonDocument(report).toJson(QJsonDocument::Indented);
}

QString csvQuoted(const QString& field)
{
    QString quoted = field;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

}  // namespace zelvane::InfoReport
