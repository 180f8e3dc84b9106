#include "pdf/RawPDF.h"

namespace zelvane {

QByteArray rawPDF(const QList<QByteArray>& objects, const QByteArray& trailerKeys)
{
    QByteArray pdf = "%PDF-1.5\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < objects.size(); ++i) {
        offsets.append(pdf.size());
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    return pdf + "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R " + trailerKeys +
           " >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
}

}  // namespace zelvane
