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

// What must agree: everything but the fresh id. Strokes read back from a
// file agree to the hundredth of a page point the file writes them with.
void expectSameSignature(const VectorElement& actual, const VectorElement& expected, const char* caller,
                         double pointTolerance = 0)
{
    EXPECT_EQ(actual.name, expected.name) << caller;
    EXPECT_EQ(actual.frame, expected.frame) << caller;
    EXPECT_EQ(actual.style, expected.style) << caller;
    EXPECT_EQ(actual.rotationDegrees, expected.rotationDegrees) << caller;
    const auto* read = std::get_if<SignaturePayload>(&actual.kind);
    const auto* made = std::get_if<SignaturePayload>(&expected.kind);
    ASSERT_TRUE(read && made) << caller;
    SignaturePayload strokesAside = *read;
    strokesAside.strokes = made->strokes;
    EXPECT_EQ(strokesAside, *made) << caller;
    ASSERT_EQ(read->strokes.size(), made->strokes.size()) << caller;
    for (qsizetype s = 0; s < made->strokes.size(); ++s) {
        ASSERT_EQ(read->strokes[s].size(), made->strokes[s].size()) << caller;
        for (qsizetype p = 0; p < made->strokes[s].size(); ++p) {
            EXPECT_NEAR(read->strokes[s][p].x * expected.frame.width, made->strokes[s][p].x * expected.frame.width,
                        pointTolerance)
                << caller;
            EXPECT_NEAR(read->strokes[s][p].y * expected.frame.height, made->strokes[s][p].y * expected.frame.height,
                        pointTolerance)
                << caller;
        }
    }
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
    expectSameSignature(onlySignature(viaCommandLine), reference, "command line", 0.00501);
}
