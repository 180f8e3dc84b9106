// The export's own stream compression: what it makes is a zlib stream that
// zlib inflates back to the very bytes given (as PDF readers inflate
// /FlateDecode), for empty, tiny, large and incompressible data, on many
// threads at once, and it is no larger than zlib's default level makes it.

#include "export/StreamDeflate.h"

#include <gtest/gtest.h>

#include <zlib.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

using namespace zelvane::PDFCodec;

namespace {

// What zlib's inflate makes of `compressed`, expecting `size` bytes; fails
// the test when it is not a whole zlib stream of exactly that size.
std::string inflated(const std::string& compressed, size_t size)
{
    std::string out(size + 1, '\0');  // one byte over, to see a longer result
    uLongf outSize = uLongf(out.size());
    const int status = uncompress(reinterpret_cast<Bytef*>(out.data()), &outSize,
                                  reinterpret_cast<const Bytef*>(compressed.data()), uLong(compressed.size()));
    EXPECT_EQ(status, Z_OK);
    out.resize(outSize);
    return out;
}

// A page's text drawing, as the export writes one.
std::string pageContent(int lines, int seed)
{
    std::string content;
    for (int i = 0; i < lines; ++i) {
        content += "q 1 0 0 1 " + std::to_string(72 + (i * seed) % 13) + "." + std::to_string(i % 10) + " "
                   + std::to_string(800 - i * 11) + " cm 0 0 0 rg\nBT\n/ZT" + std::to_string(i % 3)
                   + " 10.9091 Tf 1 0 0 -1 0 0 Tm [<0" + std::to_string(i % 10) + "><1A> -" + std::to_string(i % 97)
                   + "<2B><3C>] TJ\nET Q\n";
    }
    return content;
}

// Bytes that do not compress (a fixed sequence, the same every run).
std::string noise(size_t size, uint32_t seed)
{
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1664525u + 1013904223u;
        byte = char(seed >> 24);
    }
    return bytes;
}

std::vector<std::string> samples()
{
    return {std::string(), std::string("\nQ\n"), std::string(1, '\0'), pageContent(3000, 7),
            noise(1 << 20, 1),  std::string(3 << 20, 'x')};
}

}  // namespace

TEST(StreamDeflateTest, ZlibInflatesEveryStreamBackToTheBytesGiven)
{
    for (const std::string& data : samples()) {
        SCOPED_TRACE(data.size());
        const std::string compressed = deflated(data);
        ASSERT_FALSE(compressed.empty());
        // A zlib stream (deflate, 32 KiB window), as /FlateDecode holds it.
        EXPECT_EQ(uint8_t(compressed[0]), 0x78);
        EXPECT_EQ(inflated(compressed, data.size()), data);
        // The overloads compress the same bytes the same way.
        EXPECT_EQ(deflated(QByteArray::fromStdString(data)), compressed);
    }
    // Incompressible data grows by no more than zlib's own bound allows.
    const std::string random = noise(1 << 20, 2);
    EXPECT_LE(deflated(random).size(), compressBound(uLong(random.size())));
}

TEST(StreamDeflateTest, PageContentIsNoLargerThanAtZlibsDefaultLevel)
{
    for (const std::string& content : {pageContent(60, 3), pageContent(400, 5), pageContent(5000, 11)}) {
        uLongf zlibSize = compressBound(uLong(content.size()));
        std::string zlib(zlibSize, '\0');
        ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(zlib.data()), &zlibSize,
                            reinterpret_cast<const Bytef*>(content.data()), uLong(content.size()),
                            Z_DEFAULT_COMPRESSION),
                  Z_OK);
        EXPECT_LE(deflated(content).size(), size_t(zlibSize)) << content.size();
    }
}

TEST(StreamDeflateTest, ThreadsCompressAtOnceEachTheirOwnData)
{
    const std::vector<std::string> inputs = samples();
    std::vector<std::string> expected;
    for (const std::string& data : inputs) {
        expected.push_back(deflated(data));
    }
    // Twice, so that threads made after others ended compress too.
    for (int round = 0; round < 2; ++round) {
        constexpr int kThreads = 8;
        std::vector<int> wrong(kThreads, 0);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (int repeat = 0; repeat < 4; ++repeat) {
                    for (size_t k = 0; k < inputs.size(); ++k) {
                        const size_t i = (k + size_t(t)) % inputs.size();
                        const std::string compressed = deflated(inputs[i]);
                        if (compressed != expected[i]) {
                            ++wrong[size_t(t)];
                        }
                    }
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        for (int t = 0; t < kThreads; ++t) {
            EXPECT_EQ(wrong[size_t(t)], 0) << "thread " << t;
        }
    }
    for (size_t i = 0; i < inputs.size(); ++i) {
        EXPECT_EQ(inflated(expected[i], inputs[i].size()), inputs[i]);
    }
}
