// A signature asked for by name lands the same way over OSC, HTTP and the
// command line.

#include "HeadlessCLI.h"
#include "HeadlessRuntime.h"
#include "Localization.h"
#include "VectorController.h"
#include "remote/ApiRoutes.h"
#include "remote/OSCCommands.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace zelvane;

namespace {

const QString kSigner = QStringLiteral("Direction Technique");

VectorElement onlySignature(const VectorController& controller)
{
    const ElementList& elements = controller.document().pages[0].elements;
    EXPECT_EQ(elements.size(), 1);
    return elements.isEmpty() ? VectorElement() : elements[0];
}

// What must agree: everything but the fresh id.
void expectSameSignature(const VectorElement& actual, const VectorElement& expected, const char* caller)
{
    EXPECT_EQ(actual.name, expected.name) << caller;
    EXPECT_EQ(actual.frame, expected.frame) << caller;
    EXPECT_EQ(actual.style, expected.style) << caller;
    EXPECT_EQ(actual.rotationDegrees, expected.rotationDegrees) << caller;
    EXPECT_EQ(actual.kind, expected.kind) << caller;
}

}  // namespace

TEST(SignatureCallersTest, OSCHTTPAndTheCommandLineSignAlike)
{
    HeadlessRuntime::ensureGuiApplication();
    zelvane::testing::ScopedLanguage english(AppLanguage::en);

    VectorController viaOSC(false, false);
    handleOSCMessage(viaOSC, OSCCodec::Message{QStringLiteral("/zelvane/sign"), {OSCCodec::Value::string(kSigner)}});
    const VectorElement reference = onlySignature(viaOSC);
    EXPECT_EQ(viaOSC.statusMessage(), QStringLiteral("OSC · Signature ") + kSigner);
    ASSERT_TRUE(std::holds_alternative<SignaturePayload>(reference.kind));
    EXPECT_EQ(reference.style.strokeColorHex, QStringLiteral("#1E3A8A"));

    VectorController viaHTTP(false, false);
    HttpRequest request;
    request.method = QStringLiteral("POST");
    request.path = QStringLiteral("/v1/sign");
    request.args = QJsonObject{{"signer", kSigner}};
    const HttpReply reply = dispatchHTTPRequest(viaHTTP, request, ApiContext{});
    EXPECT_EQ(reply.status, 200);
    expectSameSignature(onlySignature(viaHTTP), reference, "HTTP");
    EXPECT_EQ(viaHTTP.statusMessage(), QStringLiteral("HTTP · Signature ") + kSigner);

    // The command line writes its result; reading it back gives the element.
    QTemporaryDir folder;
    const QString output = folder.filePath(QStringLiteral("signed.svg"));
    const HeadlessOutcome outcome = HeadlessCLI::runConvert(
        {QStringLiteral("demo"), QStringLiteral("--output"), output, QStringLiteral("--sign"), kSigner});
    ASSERT_EQ(outcome.status, 0) << outcome.standardError.constData();
    VectorController viaCommandLine(false, false);
    viaCommandLine.openFile(output);
    expectSameSignature(onlySignature(viaCommandLine), reference, "command line");
}
