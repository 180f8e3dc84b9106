#pragma once

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDFObjectHandle.hh>

#include <memory>
#include <vector>

namespace zelvane {

// A PDF function (sampled, exponential, stitching or PostScript calculator)
// evaluated as poppler evaluates it: inputs clipped to its domain, outputs
// to its range, a calculator that fails leaving zeros.
class PDFFunction {
public:
    // Nothing for a function that cannot be read, or whose data is larger
    // than anything drawn needs.
    static std::unique_ptr<PDFFunction> read(QPDFObjectHandle function);

    virtual ~PDFFunction() = default;
    int inputCount() const { return int(m_domain.size() / 2); }
    int outputCount() const { return m_outputs; }
    // `in` holds at least inputCount() values; `out` gets outputCount().
    void evaluate(const double* in, double* out) const;

protected:
    PDFFunction() = default;
    virtual void transform(const double* in, double* out) const = 0;
    static std::unique_ptr<PDFFunction> read(QPDFObjectHandle function, int depth);

    std::vector<double> m_domain;
    // Empty when the function states none.
    std::vector<double> m_range;
    int m_outputs = 0;
};

}  // namespace zelvane
