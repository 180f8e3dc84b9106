#include "QPDFPreparation.h"

#include <qpdf/QPDFCryptoProvider.hh>

namespace zelvane {

void prepareQPDF()
{
    static const bool prepared = [] {
        QPDFCryptoProvider::getImpl();
        return true;
    }();
    static_cast<void>(prepared);
}

}  // namespace zelvane
