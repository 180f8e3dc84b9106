#include "pdf/PDFFunction.h"

#include <qpdf/Pipeline.hh>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>

namespace zelvane {

namespace {

// Functions inside stitching functions, as deep as readers follow them.
constexpr int kMostNesting = 8;
// A sampled function's samples, decoded.
constexpr size_t kMostSampleBytes = 16u * 1024 * 1024;
// A calculator's program, decoded.
constexpr size_t kMostProgramBytes = 64u * 1024;
// The calculator's operand stack, as deep as poppler's.
constexpr int kStackDepth = 100;

std::vector<double> numbers(QPDFObjectHandle array)
{
    std::vector<double> values;
    if (!array.isArray())
        return values;
    for (QPDFObjectHandle item : array.aitems()) {
        if (!item.isNumber())
            return {};
        const double value = item.getNumericValue();
        if (!std::isfinite(value))
            return {};
        values.push_back(value);
    }
    return values;
}

double interpolate(double x, double x0, double x1, double y0, double y1)
{
    return x1 == x0 ? y0 : y0 + (x - x0) * (y1 - y0) / (x1 - x0);
}

// Keeps the first `budget` bytes of a stream's decoded data and stops there.
class FirstBytes : public Pipeline {
public:
    explicit FirstBytes(size_t budget) : Pipeline("zelvane-first-bytes", nullptr), m_budget(budget) {}
    void write(unsigned char const* data, size_t length) override
    {
        const size_t taken = std::min(length, m_budget - m_bytes.size());
        m_bytes.append(reinterpret_cast<const char*>(data), taken);
        if (m_bytes.size() >= m_budget)
            throw Full();
    }
    void finish() override {}
    std::string& bytes() { return m_bytes; }
    struct Full {};

private:
    size_t m_budget;
    std::string m_bytes;
};

// Up to `budget` decoded bytes of the stream; nothing when it cannot be
// decoded.
std::optional<std::string> decodedStart(QPDFObjectHandle stream, size_t budget)
{
    FirstBytes sink(budget);
    try {
        if (!stream.pipeStreamData(&sink, 0, qpdf_dl_generalized, true))
            return std::nullopt;
    } catch (const FirstBytes::Full&) {
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return std::move(sink.bytes());
}

// Type 0: samples on a grid, interpolated linearly between neighbours.
class SampledFunction : public PDFFunction {
public:
    static std::unique_ptr<PDFFunction> read(QPDFObjectHandle function, std::vector<double> domain,
                                             std::vector<double> range)
    {
        if (!function.isStream() || range.empty())
            return nullptr;
        QPDFObjectHandle dictionary = function.getDict();
        const size_t inputs = domain.size() / 2;
        std::vector<double> size = numbers(dictionary.getKey("/Size"));
        QPDFObjectHandle bits = dictionary.getKey("/BitsPerSample");
        if (inputs < 1 || inputs > 4 || size.size() != inputs || !bits.isInteger())
            return nullptr;
        const long long bitsPerSample = bits.getIntValue();
        if (bitsPerSample != 1 && bitsPerSample != 2 && bitsPerSample != 4 && bitsPerSample != 8
            && bitsPerSample != 12 && bitsPerSample != 16 && bitsPerSample != 24 && bitsPerSample != 32)
            return nullptr;
        auto result = std::unique_ptr<SampledFunction>(new SampledFunction);
        result->m_domain = std::move(domain);
        result->m_range = std::move(range);
        result->m_outputs = int(result->m_range.size() / 2);
        result->m_bits = int(bitsPerSample);
        double samples = double(result->m_outputs);
        for (const double side : size) {
            if (side < 1 || side != std::floor(side))
                return nullptr;
            result->m_size.push_back(int(std::min(side, 1e9)));
            samples *= side;
        }
        const double bytes = std::ceil(samples * double(bitsPerSample) / 8);
        if (bytes > double(kMostSampleBytes))
            return nullptr;
        result->m_encode = numbers(dictionary.getKey("/Encode"));
        if (result->m_encode.size() != 2 * inputs) {
            result->m_encode.clear();
            for (const int side : result->m_size) {
                result->m_encode.push_back(0);
                result->m_encode.push_back(side - 1);
            }
        }
        result->m_decode = numbers(dictionary.getKey("/Decode"));
        if (result->m_decode.size() != result->m_range.size())
            result->m_decode = result->m_range;
        std::optional<std::string> data = decodedStart(function, size_t(bytes));
        if (!data || data->size() < size_t(bytes))
            return nullptr;
        result->m_samples = std::move(*data);
        return result;
    }

protected:
    void transform(const double* in, double* out) const override
    {
        const int inputs = inputCount();
        int low[4];
        double weight[4];
        for (int i = 0; i < inputs; ++i) {
            double e = interpolate(in[i], m_domain[2 * i], m_domain[2 * i + 1], m_encode[2 * i], m_encode[2 * i + 1]);
            e = std::clamp(e, 0.0, double(m_size[i] - 1));
            low[i] = std::min(int(std::floor(e)), std::max(m_size[i] - 2, 0));
            weight[i] = m_size[i] > 1 ? e - low[i] : 0;
        }
        const double largest = std::ldexp(1.0, m_bits) - 1;
        for (int j = 0; j < m_outputs; ++j) {
            double value = 0;
            for (int corner = 0; corner < (1 << inputs); ++corner) {
                double share = 1;
                size_t index = 0;
                size_t stride = 1;
                for (int i = 0; i < inputs; ++i) {
                    const bool high = corner & (1 << i);
                    share *= high ? weight[i] : 1 - weight[i];
                    index += size_t(std::min(low[i] + (high ? 1 : 0), m_size[i] - 1)) * stride;
                    stride *= size_t(m_size[i]);
                }
                if (share != 0)
                    value += share * double(sample(index * size_t(m_outputs) + size_t(j)));
            }
            out[j] = interpolate(value, 0, largest, m_decode[2 * j], m_decode[2 * j + 1]);
        }
    }

private:
    uint32_t sample(size_t index) const
    {
        const size_t firstBit = index * size_t(m_bits);
        uint64_t value = 0;
        for (int bit = 0; bit < m_bits; ++bit) {
            const size_t at = firstBit + size_t(bit);
            const unsigned char byte = static_cast<unsigned char>(m_samples[at / 8]);
            value = value << 1 | ((byte >> (7 - at % 8)) & 1);
        }
        return uint32_t(value);
    }

    std::vector<int> m_size;
    int m_bits = 8;
    std::vector<double> m_encode;
    std::vector<double> m_decode;
    std::string m_samples;
};

// Type 2: C0 + x^N × (C1 − C0).
class ExponentialFunction : public PDFFunction {
public:
    static std::unique_ptr<PDFFunction> read(QPDFObjectHandle function, std::vector<double> domain,
                                             std::vector<double> range)
    {
        QPDFObjectHandle dictionary = function.isStream() ? function.getDict() : function;
        auto result = std::unique_ptr<ExponentialFunction>(new ExponentialFunction);
        result->m_c0 = dictionary.hasKey("/C0") ? numbers(dictionary.getKey("/C0")) : std::vector<double>{0};
        result->m_c1 = dictionary.hasKey("/C1") ? numbers(dictionary.getKey("/C1")) : std::vector<double>{1};
        QPDFObjectHandle exponent = dictionary.getKey("/N");
        if (domain.size() != 2 || result->m_c0.empty() || result->m_c0.size() != result->m_c1.size()
            || !exponent.isNumber())
            return nullptr;
        result->m_n = exponent.getNumericValue();
        result->m_domain = std::move(domain);
        result->m_range = std::move(range);
        result->m_outputs = int(result->m_c0.size());
        if (!result->m_range.empty() && result->m_range.size() != result->m_c0.size() * 2)
            return nullptr;
        return result;
    }

protected:
    void transform(const double* in, double* out) const override
    {
        const double power = std::pow(in[0], m_n);
        for (int j = 0; j < m_outputs; ++j)
            out[j] = m_c0[size_t(j)] + (std::isfinite(power) ? power : 0) * (m_c1[size_t(j)] - m_c0[size_t(j)]);
    }

private:
    std::vector<double> m_c0;
    std::vector<double> m_c1;
    double m_n = 1;
};

// Type 3: one of several functions, by the part of the domain the input
// falls in.
class StitchingFunction : public PDFFunction {
public:
    static std::unique_ptr<PDFFunction> read(QPDFObjectHandle function, std::vector<double> domain,
                                             std::vector<double> range, int depth)
    {
        QPDFObjectHandle dictionary = function.isStream() ? function.getDict() : function;
        QPDFObjectHandle parts = dictionary.getKey("/Functions");
        if (domain.size() != 2 || !parts.isArray() || parts.getArrayNItems() < 1)
            return nullptr;
        auto result = std::unique_ptr<StitchingFunction>(new StitchingFunction);
        for (QPDFObjectHandle part : parts.aitems()) {
            std::unique_ptr<PDFFunction> read = PDFFunction::read(part, depth + 1);
            if (!read || read->inputCount() != 1)
                return nullptr;
            if (!result->m_parts.empty() && read->outputCount() != result->m_parts.front()->outputCount())
                return nullptr;
            result->m_parts.push_back(std::move(read));
        }
        const size_t count = result->m_parts.size();
        std::vector<double> bounds = numbers(dictionary.getKey("/Bounds"));
        result->m_encode = numbers(dictionary.getKey("/Encode"));
        if (bounds.size() != count - 1 || result->m_encode.size() != 2 * count)
            return nullptr;
        result->m_bounds.push_back(domain[0]);
        result->m_bounds.insert(result->m_bounds.end(), bounds.begin(), bounds.end());
        result->m_bounds.push_back(domain[1]);
        for (size_t i = 1; i < result->m_bounds.size(); ++i) {
            if (result->m_bounds[i] < result->m_bounds[i - 1])
                return nullptr;
        }
        result->m_domain = std::move(domain);
        result->m_range = std::move(range);
        result->m_outputs = result->m_parts.front()->outputCount();
        if (!result->m_range.empty() && result->m_range.size() != size_t(result->m_outputs) * 2)
            return nullptr;
        return result;
    }

protected:
    void transform(const double* in, double* out) const override
    {
        const double x = in[0];
        size_t part = 0;
        while (part + 1 < m_parts.size() && x >= m_bounds[part + 1])
            ++part;
        const double t = interpolate(x, m_bounds[part], m_bounds[part + 1], m_encode[2 * part], m_encode[2 * part + 1]);
        m_parts[part]->evaluate(&t, out);
    }

private:
    std::vector<std::unique_ptr<PDFFunction>> m_parts;
    std::vector<double> m_bounds;
    std::vector<double> m_encode;
};

// Type 4: a program in a small part of PostScript, compiled to a list of
// steps with jumps for its conditionals.
class CalculatorFunction : public PDFFunction {
public:
    static std::unique_ptr<PDFFunction> read(QPDFObjectHandle function, std::vector<double> domain,
                                             std::vector<double> range)
    {
        if (!function.isStream() || range.empty())
            return nullptr;
        std::optional<std::string> program = decodedStart(function, kMostProgramBytes + 1);
        if (!program || program->size() > kMostProgramBytes)
            return nullptr;
        auto result = std::unique_ptr<CalculatorFunction>(new CalculatorFunction);
        result->m_domain = std::move(domain);
        result->m_range = std::move(range);
        result->m_outputs = int(result->m_range.size() / 2);
        size_t at = 0;
        if (nextToken(*program, at) != "{" || !result->compile(*program, at, 0))
            return nullptr;
        return result;
    }

protected:
    void transform(const double* in, double* out) const override
    {
        Value stack[kStackDepth];
        int top = 0;
        for (int i = 0; i < inputCount() && top < kStackDepth; ++i)
            stack[top++] = {in[i], false};
        if (!run(stack, top))
            top = 0;
        for (int j = m_outputs - 1; j >= 0; --j)
            out[j] = top > 0 ? stack[--top].number : 0;
    }

private:
    enum class Op {
        push, jumpUnless, jump,
        abs, add, atan, ceiling, cos, cvi, cvr, div, exp, floor, idiv, ln, log, mod, mul, neg, round, sin, sqrt, sub,
        truncate, and_, bitshift, eq, false_, ge, gt, le, lt, ne, not_, or_, true_, xor_, copy, dup, exch, index, pop,
        roll
    };
    struct Step {
        Op op;
        double value = 0;
        size_t target = 0;
    };
    struct Value {
        double number = 0;
        bool isBool = false;
    };

    static bool isDelimiter(char c)
    {
        return c == '{' || c == '}' || c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f' || c == '\0'
               || c == '%';
    }

    static std::string nextToken(const std::string& text, size_t& at)
    {
        while (at < text.size()) {
            if (text[at] == '%') {
                while (at < text.size() && text[at] != '\n' && text[at] != '\r')
                    ++at;
            } else if (isDelimiter(text[at]) && text[at] != '{' && text[at] != '}') {
                ++at;
            } else {
                break;
            }
        }
        if (at >= text.size())
            return {};
        if (text[at] == '{' || text[at] == '}')
            return std::string(1, text[at++]);
        const size_t start = at;
        while (at < text.size() && !isDelimiter(text[at]))
            ++at;
        return text.substr(start, at - start);
    }

    static std::optional<Op> operatorNamed(const std::string& name)
    {
        static const std::pair<const char*, Op> kOperators[] = {
            {"abs", Op::abs},         {"add", Op::add},       {"atan", Op::atan},     {"ceiling", Op::ceiling},
            {"cos", Op::cos},         {"cvi", Op::cvi},       {"cvr", Op::cvr},       {"div", Op::div},
            {"exp", Op::exp},         {"floor", Op::floor},   {"idiv", Op::idiv},     {"ln", Op::ln},
            {"log", Op::log},         {"mod", Op::mod},       {"mul", Op::mul},       {"neg", Op::neg},
            {"round", Op::round},     {"sin", Op::sin},       {"sqrt", Op::sqrt},     {"sub", Op::sub},
            {"truncate", Op::truncate}, {"and", Op::and_},    {"bitshift", Op::bitshift}, {"eq", Op::eq},
            {"false", Op::false_},    {"ge", Op::ge},         {"gt", Op::gt},         {"le", Op::le},
            {"lt", Op::lt},           {"ne", Op::ne},         {"not", Op::not_},      {"or", Op::or_},
            {"true", Op::true_},      {"xor", Op::xor_},      {"copy", Op::copy},     {"dup", Op::dup},
            {"exch", Op::exch},       {"index", Op::index},   {"pop", Op::pop},       {"roll", Op::roll}};
        for (const auto& [known, op] : kOperators) {
            if (name == known)
                return op;
        }
        return std::nullopt;
    }

    // Compiles the procedure whose opening brace was just read, up to its
    // closing brace.
    bool compile(const std::string& text, size_t& at, int depth)
    {
        if (depth > 32)
            return false;
        for (;;) {
            const std::string token = nextToken(text, at);
            if (token.empty())
                return false;
            if (token == "}")
                return true;
            if (token == "{") {
                // "{ … } if" or "{ … } { … } ifelse".
                const size_t branch = m_steps.size();
                m_steps.push_back({Op::jumpUnless});
                if (!compile(text, at, depth + 1))
                    return false;
                std::string next = nextToken(text, at);
                if (next == "if") {
                    m_steps[branch].target = m_steps.size();
                    continue;
                }
                if (next != "{")
                    return false;
                const size_t skip = m_steps.size();
                m_steps.push_back({Op::jump});
                m_steps[branch].target = m_steps.size();
                if (!compile(text, at, depth + 1) || nextToken(text, at) != "ifelse")
                    return false;
                m_steps[skip].target = m_steps.size();
                continue;
            }
            if (const std::optional<Op> op = operatorNamed(token)) {
                m_steps.push_back({*op});
                continue;
            }
            char* end = nullptr;
            const double value = std::strtod(token.c_str(), &end);
            if (end != token.c_str() + token.size() || !std::isfinite(value))
                return false;
            m_steps.push_back({Op::push, value});
        }
    }

    static long long integer(double value)
    {
        return std::isfinite(value) ? (long long)std::clamp(value, -9.0e18, 9.0e18) : 0;
    }

    bool run(Value* stack, int& top) const
    {
        const auto need = [&](int count) { return top >= count; };
        const auto room = [&](int count) { return top + count <= kStackDepth; };
        size_t at = 0;
        while (at < m_steps.size()) {
            const Step& step = m_steps[at++];
            switch (step.op) {
            case Op::push:
                if (!room(1))
                    return false;
                stack[top++] = {step.value, false};
                break;
            case Op::jumpUnless:
                if (!need(1))
                    return false;
                if (stack[--top].number == 0)
                    at = step.target;
                break;
            case Op::jump:
                at = step.target;
                break;
            case Op::true_:
            case Op::false_:
                if (!room(1))
                    return false;
                stack[top++] = {step.op == Op::true_ ? 1.0 : 0.0, true};
                break;
            case Op::abs: case Op::ceiling: case Op::cos: case Op::cvi: case Op::cvr: case Op::floor: case Op::ln:
            case Op::log: case Op::neg: case Op::round: case Op::sin: case Op::sqrt: case Op::truncate:
            case Op::not_: {
                if (!need(1))
                    return false;
                Value& a = stack[top - 1];
                const double x = a.number;
                double r = x;
                switch (step.op) {
                case Op::abs: r = std::abs(x); break;
                case Op::ceiling: r = std::ceil(x); break;
                case Op::cos: r = std::cos(x * M_PI / 180); break;
                case Op::cvi: case Op::truncate: r = std::trunc(x); break;
                case Op::floor: r = std::floor(x); break;
                case Op::ln: r = x > 0 ? std::log(x) : 0; break;
                case Op::log: r = x > 0 ? std::log10(x) : 0; break;
                case Op::neg: r = -x; break;
                case Op::round: r = std::floor(x + 0.5); break;
                case Op::sin: r = std::sin(x * M_PI / 180); break;
                case Op::sqrt: r = x >= 0 ? std::sqrt(x) : 0; break;
                case Op::not_: r = a.isBool ? (x == 0 ? 1 : 0) : double(~integer(x)); break;
                default: break;
                }
                a.number = std::isfinite(r) ? r : 0;
                if (step.op != Op::not_)
                    a.isBool = false;
                break;
            }
            case Op::add: case Op::atan: case Op::div: case Op::exp: case Op::idiv: case Op::mod: case Op::mul:
            case Op::sub: case Op::and_: case Op::bitshift: case Op::eq: case Op::ge: case Op::gt: case Op::le:
            case Op::lt: case Op::ne: case Op::or_: case Op::xor_: {
                if (!need(2))
                    return false;
                const Value b = stack[--top];
                Value& a = stack[top - 1];
                const double x = a.number;
                const double y = b.number;
                double r = 0;
                bool isBool = false;
                switch (step.op) {
                case Op::add: r = x + y; break;
                case Op::atan: {
                    r = std::atan2(x, y) * 180 / M_PI;
                    if (r < 0)
                        r += 360;
                    break;
                }
                case Op::div: r = y == 0 ? 0 : x / y; break;
                case Op::exp: r = std::pow(x, y); break;
                case Op::idiv: r = integer(y) == 0 ? 0 : double(integer(x) / integer(y)); break;
                case Op::mod: r = integer(y) == 0 ? 0 : double(integer(x) % integer(y)); break;
                case Op::mul: r = x * y; break;
                case Op::sub: r = x - y; break;
                case Op::and_:
                    isBool = a.isBool && b.isBool;
                    r = isBool ? double(x != 0 && y != 0) : double(integer(x) & integer(y));
                    break;
                case Op::or_:
                    isBool = a.isBool && b.isBool;
                    r = isBool ? double(x != 0 || y != 0) : double(integer(x) | integer(y));
                    break;
                case Op::xor_:
                    isBool = a.isBool && b.isBool;
                    r = isBool ? double((x != 0) != (y != 0)) : double(integer(x) ^ integer(y));
                    break;
                case Op::bitshift: {
                    const long long shift = integer(y);
                    const long long value = integer(x);
                    r = shift >= 64 || shift <= -64 ? 0
                        : shift >= 0              ? double((unsigned long long)value << shift)
                                                  : double(value >> -shift);
                    break;
                }
                case Op::eq: isBool = true; r = x == y; break;
                case Op::ne: isBool = true; r = x != y; break;
                case Op::ge: isBool = true; r = x >= y; break;
                case Op::gt: isBool = true; r = x > y; break;
                case Op::le: isBool = true; r = x <= y; break;
                case Op::lt: isBool = true; r = x < y; break;
                default: break;
                }
                a = {std::isfinite(r) ? r : 0, isBool};
                break;
            }
            case Op::dup:
                if (!need(1) || !room(1))
                    return false;
                stack[top] = stack[top - 1];
                ++top;
                break;
            case Op::pop:
                if (!need(1))
                    return false;
                --top;
                break;
            case Op::exch:
                if (!need(2))
                    return false;
                std::swap(stack[top - 1], stack[top - 2]);
                break;
            case Op::copy: {
                if (!need(1))
                    return false;
                const long long n = integer(stack[--top].number);
                if (n < 0 || n > top || !room(int(n)))
                    return false;
                for (long long i = 0; i < n; ++i)
                    stack[top + i] = stack[top - n + i];
                top += int(n);
                break;
            }
            case Op::index: {
                if (!need(1))
                    return false;
                const long long n = integer(stack[top - 1].number);
                if (n < 0 || n >= top - 1)
                    return false;
                stack[top - 1] = stack[top - 2 - n];
                break;
            }
            case Op::roll: {
                if (!need(2))
                    return false;
                const long long j = integer(stack[--top].number);
                const long long n = integer(stack[--top].number);
                if (n < 0 || n > top)
                    return false;
                if (n > 0) {
                    long long shift = j % n;
                    if (shift < 0)
                        shift += n;
                    std::rotate(stack + top - n, stack + top - shift, stack + top);
                }
                break;
            }
            }
        }
        return true;
    }

    std::vector<Step> m_steps;
};

}  // namespace

std::unique_ptr<PDFFunction> PDFFunction::read(QPDFObjectHandle function)
{
    try {
        return read(function, 0);
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::unique_ptr<PDFFunction> PDFFunction::read(QPDFObjectHandle function, int depth)
{
    if (depth > kMostNesting || !(function.isDictionary() || function.isStream()))
        return nullptr;
    QPDFObjectHandle dictionary = function.isStream() ? function.getDict() : function;
    QPDFObjectHandle type = dictionary.getKey("/FunctionType");
    std::vector<double> domain = numbers(dictionary.getKey("/Domain"));
    std::vector<double> range = numbers(dictionary.getKey("/Range"));
    if (!type.isInteger() || domain.empty() || domain.size() % 2 != 0 || domain.size() > 8 || range.size() % 2 != 0)
        return nullptr;
    switch (type.getIntValue()) {
    case 0:
        return SampledFunction::read(function, std::move(domain), std::move(range));
    case 2:
        return ExponentialFunction::read(function, std::move(domain), std::move(range));
    case 3:
        return StitchingFunction::read(function, std::move(domain), std::move(range), depth);
    case 4:
        return CalculatorFunction::read(function, std::move(domain), std::move(range));
    default:
        return nullptr;
    }
}

void PDFFunction::evaluate(const double* in, double* out) const
{
    double clipped[4] = {0, 0, 0, 0};
    const int inputs = std::min(inputCount(), 4);
    for (int i = 0; i < inputs; ++i)
        clipped[i] = std::clamp(std::isfinite(in[i]) ? in[i] : 0.0, std::min(m_domain[2 * i], m_domain[2 * i + 1]),
                                std::max(m_domain[2 * i], m_domain[2 * i + 1]));
    transform(clipped, out);
    for (int j = 0; j < m_outputs; ++j) {
        if (!std::isfinite(out[j]))
            out[j] = 0;
        if (size_t(2 * j + 1) < m_range.size())
            out[j] = std::clamp(out[j], std::min(m_range[2 * j], m_range[2 * j + 1]),
                                std::max(m_range[2 * j], m_range[2 * j + 1]));
    }
}

}  // namespace zelvane
