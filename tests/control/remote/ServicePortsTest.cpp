#include "remote/ServicePorts.h"

#include <gtest/gtest.h>

#include <QString>
#include <cstdlib>

namespace zelvane {
namespace {

TEST(ServicePortsTest, ReadsPlainDecimalPorts)
{
    EXPECT_EQ(parsePortText(u"9300"), 9300);
    EXPECT_EQ(parsePortText(u"+9300"), 9300);
    EXPECT_EQ(parsePortText(u"0"), 0);
    EXPECT_EQ(parsePortText(u"-0"), 0);
    EXPECT_EQ(parsePortText(u"-000"), 0);
    EXPECT_EQ(parsePortText(u"65535"), 65535);
    EXPECT_EQ(parsePortText(u"0009160"), 9160);
    for (const char16_t* bad : {u"", u"+", u"-", u"-1", u"65536", u"70000", u" 9300", u"9300 ", u"93a0", u"abc",
                                u"1e3", u"99999999999999999999999"}) {
        EXPECT_EQ(parsePortText(bad), std::nullopt) << QString::fromUtf16(bad).toStdString();
    }
}

class PortVariableTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        ::unsetenv(kOSCInPortVariable);
        ::unsetenv(kAPIPortVariable);
    }
};

TEST_F(PortVariableTest, ExplicitThenEnvironmentThenDefault)
{
    ::unsetenv(kOSCInPortVariable);
    ::unsetenv(kAPIPortVariable);
    EXPECT_EQ(chooseOSCInPort(), 9160);
    EXPECT_EQ(chooseHTTPPort(), 17960);

    ::setenv(kOSCInPortVariable, "9300", 1);
    ::setenv(kAPIPortVariable, "18000", 1);
    EXPECT_EQ(chooseOSCInPort(), 9300);
    EXPECT_EQ(chooseHTTPPort(), 18000);
    EXPECT_EQ(chooseOSCInPort(9400), 9400);
    EXPECT_EQ(chooseHTTPPort(0), 0);

    ::setenv(kOSCInPortVariable, "0", 1);
    EXPECT_EQ(chooseOSCInPort(), 0);
}

TEST_F(PortVariableTest, UnreadableVariablesFallBackToTheDefault)
{
    for (const char* bad : {"", " 9300", "9300 ", "70000", "letters", "-5"}) {
        ::setenv(kOSCInPortVariable, bad, 1);
        ::setenv(kAPIPortVariable, bad, 1);
        EXPECT_EQ(chooseOSCInPort(), kZelvaneDefaultOSCInPort) << bad;
        EXPECT_EQ(chooseHTTPPort(), kZelvaneDefaultHTTPPort) << bad;
    }
}

}  // namespace
}  // namespace zelvane
