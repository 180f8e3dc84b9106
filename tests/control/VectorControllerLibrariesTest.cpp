#include "ControllerTestSupport.h"

#include "core/support/TestPDF.h"

#include "LibraryFolders.h"
#include "SavedSignatureStore.h"
#include "model/ModelCoding.h"
#include "operations/VectorOperations.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sys/stat.h>
#include <sys/types.h>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

QStringList titlesOf(const QList<SignaturePreset>& presets)
{
    QStringList titles;
    for (const SignaturePreset& preset : presets)
        titles.append(preset.title);
    return titles;
}

QStringList titlesOf(const QList<StampPreset>& presets)
{
    QStringList titles;
    for (const StampPreset& preset : presets)
        titles.append(preset.title);
    return titles;
}

VectorElement inkSignature(const QString& signerName)
{
    VectorElement element;
    element.id = QUuid::createUuid();
    element.name = QStringLiteral("Signature");
    SignaturePayload payload;
    payload.signerName = signerName;
    payload.caption = QStringLiteral("Director");
    payload.strokes = {{{0.1, 0.2}, {0.3, 0.4}}, {{0.5, 0.6}, {0.7, 0.8}}};
    payload.assetData = QByteArray("image bytes");
    payload.assetExtension = QStringLiteral("png");
    element.kind = payload;
    element.frame = VectorRect(10, 10, 100, 40);
    element.style = VectorStyle(QStringLiteral("#112233"), std::nullopt, 1, 1, false);
    return element;
}

}  // namespace

class VectorControllerLibrariesTest : public ControllerTest {
protected:
    QString signatureFile(const QString& name) const { return QDir(signaturesFolder()).filePath(name); }
    QString stampFile(const QString& name) const { return QDir(stampsFolder()).filePath(name); }
};

// ---- Ids and order -----------------------------------------------------------------------

TEST_F(VectorControllerLibrariesTest, FolderIdsComeFromTheFileName)
{
    EXPECT_EQ(VectorController::deterministicUUID(QStringLiteral("sig:abc")),
              QUuid(QStringLiteral("73D235E8-E54C-4500-8000-000000000000")));
    EXPECT_EQ(VectorController::deterministicUUID(QString()),
              QUuid(QStringLiteral("00000000-0000-4000-8000-000000000000")));
    // Seventeen bytes: the last one folds onto the first byte.
    const QString longKey = QStringLiteral("stamp:0123456789a");
    const QUuid id = VectorController::deterministicUUID(longKey);
    const QByteArray bytes = id.toRfc4122();
    const QByteArray utf8 = longKey.toUtf8();
    EXPECT_EQ(quint8(bytes[0]), quint8(quint8(utf8[0]) * 1 + quint8(utf8[16]) * (1 + 16 % 7)));
    EXPECT_EQ(id, VectorController::deterministicUUID(longKey));
    // Non-ASCII names are hashed over their UTF-8 bytes.
    EXPECT_NE(VectorController::deterministicUUID(QStringLiteral("sig:é")),
              VectorController::deterministicUUID(QStringLiteral("sig:e")));
    EXPECT_NE(VectorController::deterministicUUID(QStringLiteral("sig:a.png")),
              VectorController::deterministicUUID(QStringLiteral("stamp:a.png")));
}

TEST_F(VectorControllerLibrariesTest, FileNamesCompareAsAFileManagerShowsThem)
{
    EXPECT_LT(LibraryFolders::compareFileNames(QStringLiteral("scan 2.png"), QStringLiteral("scan 10.png")), 0);
    EXPECT_GT(LibraryFolders::compareFileNames(QStringLiteral("scan 10.png"), QStringLiteral("scan 9.png")), 0);
    EXPECT_LT(LibraryFolders::compareFileNames(QStringLiteral("apple.png"), QStringLiteral("Banana.png")), 0);
    EXPECT_LT(LibraryFolders::compareFileNames(QStringLiteral("Apple.png"), QStringLiteral("banana.png")), 0);
    EXPECT_EQ(LibraryFolders::compareFileNames(QStringLiteral("Logo.png"), QStringLiteral("logo.png")), 0);
    EXPECT_LT(LibraryFolders::compareFileNames(QStringLiteral("a.png"), QStringLiteral("a1.png")), 0);
    EXPECT_LT(LibraryFolders::compareFileNames(QStringLiteral("ab1.png"), QStringLiteral("abc.png")), 0);
    EXPECT_LT(LibraryFolders::compareFileNames(QStringLiteral("Scan 2.png"), QStringLiteral("scan 10.png")), 0);
    EXPECT_LT(LibraryFolders::compareFileNames(QStringLiteral("x99999999999999999999.png"),
                                               QStringLiteral("x100000000000000000000.png")),
              0);
}

// ---- Rebuilding -----------------------------------------------------------------------------

TEST_F(VectorControllerLibrariesTest, EmptyFoldersGiveEmptyLibrariesAndAGeneratedSignature)
{
    const auto controller = makeController();
    EXPECT_TRUE(QFileInfo(signaturesFolder()).isDir());
    EXPECT_TRUE(QFileInfo(stampsFolder()).isDir());
    EXPECT_TRUE(controller->signatures().isEmpty());
    EXPECT_TRUE(controller->customStamps().isEmpty());
    EXPECT_FALSE(controller->activeCustomStampPresetID().has_value());
    const QUuid active = controller->activeSignaturePresetID();
    EXPECT_FALSE(active.isNull());

    const SignaturePreset first = controller->activeSignaturePreset();
    const SignaturePreset second = controller->activeSignaturePreset();
    EXPECT_EQ(first.title, QStringLiteral("Signature"));
    EXPECT_EQ(first.colorHex, QStringLiteral("#1E3A8A"));
    EXPECT_EQ(first.strokes, SignaturePreset::calligraphicStrokes(1));
    EXPECT_TRUE(first.signerName.isEmpty());
    EXPECT_TRUE(first.caption.isEmpty());
    EXPECT_TRUE(first.removeWhiteBackground);
    EXPECT_FALSE(first.assetData.has_value());
    EXPECT_FALSE(first.fileURL.has_value());
    EXPECT_NE(first.id, second.id);
    EXPECT_NE(first.id, active);

    controller->reloadSignaturesAndStampsFromDisk();
    EXPECT_EQ(controller->activeSignaturePresetID(), active);
}

TEST_F(VectorControllerLibrariesTest, AskingForTheFoldersCreatesNothing)
{
    EXPECT_EQ(VectorController::signaturesDirectoryURL().toLocalFile(), signaturesFolder());
    EXPECT_EQ(VectorController::stampsDirectoryURL().toLocalFile(), stampsFolder());
    EXPECT_FALSE(QFileInfo::exists(signaturesFolder()));
}

TEST_F(VectorControllerLibrariesTest, OnlyReadableAssetFilesEnterTheLibraryInNameOrder)
{
    writeFile(signatureFile(QStringLiteral("b.png")), pngImage(40, 20));
    writeFile(signatureFile(QStringLiteral("a.svg")), "<svg xmlns=\"http://www.w3.org/2000/svg\"/>");
    writeFile(signatureFile(QStringLiteral("c.gif")), "GIF89a");
    writeFile(signatureFile(QStringLiteral("d.png")), QByteArray());
    writeFile(signatureFile(QStringLiteral(".hidden.png")), pngImage(10, 10));
    QDir().mkpath(signatureFile(QStringLiteral("folder.png")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(signatureFile(QStringLiteral("pipe.png"))).constData(), 0600), 0);

    const auto controller = makeController();
    const QList<SignaturePreset>& signatures = controller->signatures();
    ASSERT_EQ(titlesOf(signatures), (QStringList{"a", "b"}));
    const SignaturePreset& a = signatures[0];
    EXPECT_EQ(a.id, VectorController::deterministicUUID(QStringLiteral("sig:a.svg")));
    EXPECT_EQ(a.signerName, QStringLiteral("a"));
    EXPECT_EQ(a.caption, QStringLiteral("SVG"));
    EXPECT_EQ(a.colorHex, QStringLiteral("#1E3A8A"));
    EXPECT_TRUE(a.strokes.isEmpty());
    EXPECT_EQ(a.assetExtension, QStringLiteral("svg"));
    EXPECT_EQ(a.assetData, QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\"/>"));
    EXPECT_TRUE(a.removeWhiteBackground);
    EXPECT_EQ(a.fileURL, QUrl::fromLocalFile(signatureFile(QStringLiteral("a.svg"))));
    EXPECT_EQ(signatures[1].caption, QStringLiteral("PNG"));
    // The first entry becomes the chosen signature.
    EXPECT_EQ(controller->activeSignaturePresetID(), a.id);
}

TEST_F(VectorControllerLibrariesTest, AnUnreadableSignatureFileIsNeverActive)
{
    // Nine bytes named .png sort first, a PDF without a page, an SVG that is not.
    writeFile(signatureFile(QStringLiteral("broken.png")), "\x89PNG\r\n\x1a\n!");
    writeFile(signatureFile(QStringLiteral("c.pdf")), "%PDF-1.4 stub");
    writeFile(signatureFile(QStringLiteral("d.svg")), "<html>");
    writeFile(signatureFile(QStringLiteral("Jane.png")), pngImage(300, 100));
    writeFile(stampFile(QStringLiteral("a.png")), "\x89PNG\r\n\x1a\n!");
    const auto controller = makeController();
    EXPECT_EQ(titlesOf(controller->signatures()), QStringList{QStringLiteral("Jane")});
    EXPECT_EQ(controller->activeSignaturePresetID(), controller->signatures()[0].id);
    EXPECT_TRUE(controller->customStamps().isEmpty());
    controller->reloadSignaturesAndStampsFromDisk();
    EXPECT_EQ(controller->activeSignaturePresetID(), controller->signatures()[0].id);

    // Signing places the readable signature.
    controller->stampActiveSignature();
    ASSERT_EQ(controller->currentPage().elements.size(), 1);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Signature placed (Jane)"));

    // Once the readable file is gone, the broken one is still not chosen:
    // the generated signature is placed instead.
    QFile::remove(signatureFile(QStringLiteral("Jane.png")));
    controller->reloadSignaturesAndStampsFromDisk();
    EXPECT_TRUE(controller->signatures().isEmpty());
    const SignaturePreset active = controller->activeSignaturePreset();
    EXPECT_FALSE(active.assetData.has_value());
    EXPECT_FALSE(active.strokes.isEmpty());

    // Importing an unreadable file copies nothing and says why.
    const QString source = scratchPath(QStringLiteral("scan.png"));
    writeFile(source, "\x89PNG\r\n\x1a\n!");
    controller->importSignatureFiles({source});
    EXPECT_FALSE(QFileInfo::exists(signatureFile(QStringLiteral("scan.png"))));
    EXPECT_TRUE(controller->signatures().isEmpty());
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Import failed: scan.png: unreadable file"));
    controller->importStampFiles({source});
    EXPECT_FALSE(QFileInfo::exists(stampFile(QStringLiteral("scan.png"))));
    EXPECT_EQ(controller->currentPage().elements.size(), 1);

    // Artwork that cannot be drawn is never placed, and no success is told.
    StampPreset stamp;
    stamp.id = QUuid::createUuid();
    stamp.title = QStringLiteral("broken");
    stamp.assetData = QByteArray("\x89PNG\r\n\x1a\n!");
    stamp.assetExtension = QStringLiteral("png");
    const qsizetype steps = controller->history().undoStack().size();
    controller->stampCustomStamp(stamp);
    EXPECT_EQ(controller->currentPage().elements.size(), 1);
    EXPECT_EQ(controller->history().undoStack().size(), steps);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Stamp failed: broken: unreadable file"));
    Localization::setCurrent(AppLanguage::fr);
    controller->importSignatureFiles({source});
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Import impossible : scan.png : fichier illisible"));
}

TEST_F(VectorControllerLibrariesTest, NumbersInNamesSortByValue)
{
    for (const char* name : {"sig10.png", "sig2.png", "Sig1.png", "sig1b.png"})
        writeFile(signatureFile(QString::fromLatin1(name)), pngImage(10, 10));
    for (const char* name : {"stamp 10.pdf", "stamp 9.pdf", "Stamp 1.pdf"})
        writeFile(stampFile(QString::fromLatin1(name)), makeFilledTestPDF(60, 40));
    const auto controller = makeController();
    EXPECT_EQ(titlesOf(controller->signatures()), (QStringList{"Sig1", "sig1b", "sig2", "sig10"}));
    EXPECT_EQ(titlesOf(controller->customStamps()), (QStringList{"Stamp 1", "stamp 9", "stamp 10"}));
}

TEST_F(VectorControllerLibrariesTest, StampEntriesFromTheFolder)
{
    writeFile(stampFile(QStringLiteral("Seal.PNG")), pngImage(20, 20));
    writeFile(stampFile(QStringLiteral("Seal.pdf")), makeFilledTestPDF(60, 40));
    writeFile(signatureFile(QStringLiteral("Seal.PNG")), pngImage(20, 20));
    const auto controller = makeController();
    const QList<StampPreset>& stamps = controller->customStamps();
    ASSERT_EQ(stamps.size(), 2);
    EXPECT_EQ(stamps[0].title, QStringLiteral("Seal"));
    EXPECT_EQ(stamps[1].title, QStringLiteral("Seal"));
    EXPECT_NE(stamps[0].id, stamps[1].id);
    const StampPreset& png = stamps[0].assetExtension == QStringLiteral("png") ? stamps[0] : stamps[1];
    EXPECT_EQ(png.id, VectorController::deterministicUUID(QStringLiteral("stamp:Seal.PNG")));
    EXPECT_EQ(png.assetExtension, QStringLiteral("png"));
    EXPECT_TRUE(png.removeWhiteBackground);
    EXPECT_EQ(png.fileURL, QUrl::fromLocalFile(stampFile(QStringLiteral("Seal.PNG"))));
    EXPECT_NE(png.id, controller->signatures()[0].id);
    // Nothing was chosen, so nothing is chosen now.
    EXPECT_FALSE(controller->activeCustomStampPresetID().has_value());
}

TEST_F(VectorControllerLibrariesTest, IdsSurviveARestart)
{
    writeFile(signatureFile(QStringLiteral("Jane.png")), pngImage(10, 10));
    const QUuid first = makeController()->signatures()[0].id;
    EXPECT_EQ(makeController()->signatures()[0].id, first);
}

TEST_F(VectorControllerLibrariesTest, LosingTheActiveSignatureFileChoosesTheFirstRemaining)
{
    writeFile(signatureFile(QStringLiteral("a.png")), pngImage(10, 10));
    writeFile(signatureFile(QStringLiteral("b.png")), pngImage(10, 10));
    const auto controller = makeController();
    const QUuid b = controller->signatures()[1].id;
    controller->setActiveSignaturePresetID(b);
    controller->reloadSignaturesAndStampsFromDisk();
    EXPECT_EQ(controller->activeSignaturePresetID(), b);

    QFile::remove(signatureFile(QStringLiteral("b.png")));
    controller->reloadSignaturesAndStampsFromDisk();
    EXPECT_EQ(controller->activeSignaturePresetID(), controller->signatures()[0].id);

    const QUuid a = controller->activeSignaturePresetID();
    QFile::remove(signatureFile(QStringLiteral("a.png")));
    controller->reloadSignaturesAndStampsFromDisk();
    EXPECT_TRUE(controller->signatures().isEmpty());
    EXPECT_EQ(controller->activeSignaturePresetID(), a);
}

TEST_F(VectorControllerLibrariesTest, LosingTheChosenStampFileChoosesTheFirstRemainingOrNone)
{
    writeFile(stampFile(QStringLiteral("a.png")), pngImage(10, 10));
    writeFile(stampFile(QStringLiteral("b.png")), pngImage(10, 10));
    const auto controller = makeController();
    controller->setActiveCustomStampPresetID(controller->customStamps()[1].id);
    QFile::remove(stampFile(QStringLiteral("b.png")));
    controller->reloadSignaturesAndStampsFromDisk();
    EXPECT_EQ(controller->activeCustomStampPresetID(), controller->customStamps()[0].id);
    QFile::remove(stampFile(QStringLiteral("a.png")));
    controller->reloadSignaturesAndStampsFromDisk();
    EXPECT_FALSE(controller->activeCustomStampPresetID().has_value());
}

// ---- Saved signatures ----------------------------------------------------------------------------

TEST_F(VectorControllerLibrariesTest, ASavedSignatureKeepsOnlyTheInk)
{
    writeFile(signatureFile(QStringLiteral("folder.png")), pngImage(10, 10));
    const auto controller = makeController(true);
    const VectorElement element = inkSignature(QStringLiteral("  Jane Doe "));
    controller->saveCustomSignature(element);

    ASSERT_EQ(controller->signatures().size(), 2);
    const SignaturePreset saved = controller->signatures()[1];
    EXPECT_EQ(saved.title, QStringLiteral("  Jane Doe "));
    EXPECT_EQ(saved.signerName, QStringLiteral("  Jane Doe "));
    EXPECT_EQ(saved.caption, QStringLiteral("Director"));
    EXPECT_EQ(saved.colorHex, QStringLiteral("#112233"));
    EXPECT_EQ(saved.strokes, std::get<SignaturePayload>(element.kind).strokes);
    EXPECT_FALSE(saved.assetData.has_value());
    EXPECT_FALSE(saved.assetExtension.has_value());
    EXPECT_TRUE(saved.removeWhiteBackground);
    EXPECT_FALSE(saved.fileURL.has_value());
    EXPECT_EQ(controller->activeSignaturePresetID(), saved.id);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Signature saved to library"));
    EXPECT_FALSE(controller->canUndo());

    // Saved signatures stay after the folder entries through a rebuild.
    controller->reloadSignaturesAndStampsFromDisk();
    EXPECT_EQ(titlesOf(controller->signatures()), (QStringList{"folder", "  Jane Doe "}));
    EXPECT_EQ(controller->activeSignaturePresetID(), saved.id);
}

TEST_F(VectorControllerLibrariesTest, ABlankSignerGetsAGenericTitle)
{
    const auto controller = makeController();
    VectorElement element = inkSignature(QStringLiteral(" \n "));
    element.style.strokeColorHex.reset();
    std::get<SignaturePayload>(element.kind).caption.reset();
    controller->saveCustomSignature(element);
    EXPECT_EQ(controller->signatures().last().title, QStringLiteral("Handwritten Signature"));
    EXPECT_EQ(controller->signatures().last().signerName, QStringLiteral(" \n "));
    EXPECT_EQ(controller->signatures().last().colorHex, QStringLiteral("#1E3A8A"));
    EXPECT_TRUE(controller->signatures().last().caption.isEmpty());

    Localization::setCurrent(AppLanguage::fr);
    controller->saveCustomSignature(element);
    EXPECT_EQ(controller->signatures().last().title, QStringLiteral("Signature manuscrite"));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Signature enregistrée dans la bibliothèque"));
    EXPECT_NE(controller->signatures()[0].id, controller->signatures()[1].id);
}

TEST_F(VectorControllerLibrariesTest, OnlySignatureElementsCanBeSaved)
{
    const auto controller = makeController(true);
    const QString status = controller->statusMessage();
    controller->saveCustomSignature(VectorOperations::makeTextElement(QStringLiteral("x"), {0, 0}, 12,
                                                                      QStringLiteral("#000000"), false));
    EXPECT_TRUE(controller->signatures().isEmpty());
    EXPECT_EQ(controller->statusMessage(), status);
}

TEST_F(VectorControllerLibrariesTest, SavedSignaturesPersistAcrossControllers)
{
    writeFile(signatureFile(QStringLiteral("folder.png")), pngImage(10, 10));
    {
        const auto controller = makeController(true);
        controller->saveCustomSignature(inkSignature(QStringLiteral("Jane")));
    }
    const auto next = makeController(true);
    EXPECT_EQ(titlesOf(next->signatures()), (QStringList{"folder", "Jane"}));
    // Start-up chooses the first saved signature, and the rebuild keeps it.
    EXPECT_EQ(next->activeSignaturePresetID(), next->signatures()[1].id);

    QSettings settings(environment->settingsPath, QSettings::IniFormat);
    const QJsonDocument json =
        QJsonDocument::fromJson(settings.value(QLatin1String(SavedSignatureStore::kCustomSignaturesKey)).toByteArray());
    ASSERT_TRUE(json.isArray());
    ASSERT_EQ(json.array().size(), 1);
    const QJsonObject stored = json.array()[0].toObject();
    for (const char* key : {"id", "title", "signerName", "caption", "colorHex", "strokes", "removeWhiteBackground"})
        EXPECT_TRUE(stored.contains(QLatin1String(key))) << key;
    EXPECT_FALSE(stored.contains(QStringLiteral("fileURL")));
    EXPECT_FALSE(stored.contains(QStringLiteral("assetData")));
    EXPECT_EQ(stored[QStringLiteral("id")].toString(), stored[QStringLiteral("id")].toString().toUpper());
    EXPECT_EQ(stored[QStringLiteral("strokes")].toArray()[0].toArray()[0].toObject()[QStringLiteral("x")].toDouble(),
              0.1);
}

TEST_F(VectorControllerLibrariesTest, WithoutPersistenceTheSettingsAreNotTouched)
{
    {
        QSettings settings(environment->settingsPath, QSettings::IniFormat);
        settings.setValue(QLatin1String(SavedSignatureStore::kRetiredSignaturesKey), QStringLiteral("old"));
    }
    const auto controller = makeController(false);
    controller->saveCustomSignature(inkSignature(QStringLiteral("Jane")));
    EXPECT_EQ(controller->signatures().size(), 1);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Signature saved to library"));
    EXPECT_EQ(environment->settingsOpened, 0);
    EXPECT_TRUE(makeController(true)->signatures().isEmpty());
}

TEST_F(VectorControllerLibrariesTest, TheRetiredKeyGoesAndUnreadableDataCountsAsEmpty)
{
    {
        QSettings settings(environment->settingsPath, QSettings::IniFormat);
        settings.setValue(QLatin1String(SavedSignatureStore::kRetiredSignaturesKey), QStringLiteral("old"));
        settings.setValue(QLatin1String(SavedSignatureStore::kCustomSignaturesKey),
                          QByteArray("[{\"id\":\"not complete\"}]"));
    }
    const auto controller = makeController(true);
    EXPECT_TRUE(controller->signatures().isEmpty());
    QSettings settings(environment->settingsPath, QSettings::IniFormat);
    EXPECT_FALSE(settings.contains(QLatin1String(SavedSignatureStore::kRetiredSignaturesKey)));
    // The unreadable data stays until the next save replaces it.
    EXPECT_TRUE(settings.contains(QLatin1String(SavedSignatureStore::kCustomSignaturesKey)));
}

// ---- Importing ---------------------------------------------------------------------------------

TEST_F(VectorControllerLibrariesTest, ImportingTwoSignaturesChoosesTheLast)
{
    const auto controller = makeController();
    const QString x = scratchPath(QStringLiteral("x.png"));
    const QString y = scratchPath(QStringLiteral("y.png"));
    writeFile(x, pngImage(10, 10));
    writeFile(y, pngImage(20, 10));
    environment->nextChoice = QStringList{x, y};
    controller->importSignatureFileInteractive();

    ASSERT_EQ(environment->requests.size(), 1);
    EXPECT_EQ(environment->requests[0].title, QStringLiteral("Import a Signature (PDF, PNG, JPG, SVG…)"));
    EXPECT_TRUE(environment->requests[0].allowsMultipleSelection);
    EXPECT_TRUE(environment->requests[0].nameFilters.join(' ').contains(QStringLiteral("*.svg")));
    EXPECT_EQ(readFile(signatureFile(QStringLiteral("x.png"))), readFile(x));
    EXPECT_EQ(titlesOf(controller->signatures()), (QStringList{"x", "y"}));
    EXPECT_EQ(controller->activeSignaturePresetID(), VectorController::deterministicUUID(QStringLiteral("sig:y.png")));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Signature imported: y.png"));
    EXPECT_FALSE(controller->lastError().has_value());
    // The sources stay where they were.
    EXPECT_TRUE(QFileInfo::exists(x));
}

TEST_F(VectorControllerLibrariesTest, ImportingOverAFileReplacesItAndKeepsItsId)
{
    writeFile(signatureFile(QStringLiteral("x.png")), pngImage(10, 10));
    const auto controller = makeController();
    const QUuid id = controller->signatures()[0].id;
    const QString source = scratchPath(QStringLiteral("x.png"));
    writeFile(source, pngImage(30, 30));
    controller->importSignatureFiles({source});
    ASSERT_EQ(controller->signatures().size(), 1);
    EXPECT_EQ(controller->signatures()[0].id, id);
    EXPECT_EQ(controller->signatures()[0].assetData, pngImage(30, 30));
    // No temporary file is left behind in the folder.
    EXPECT_EQ(QDir(signaturesFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("x.png")});
}

TEST_F(VectorControllerLibrariesTest, AFailedCopyKeepsThePreviousFile)
{
    writeFile(signatureFile(QStringLiteral("x.png")), pngImage(10, 10));
    const auto controller = makeController();
    const QString source = scratchPath(QStringLiteral("x.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(source).constData(), 0600), 0);
    controller->importSignatureFiles({source});
    EXPECT_EQ(readFile(signatureFile(QStringLiteral("x.png"))), pngImage(10, 10));
    ASSERT_EQ(controller->signatures().size(), 1);
    ASSERT_TRUE(controller->lastError().has_value());
    EXPECT_EQ(*controller->lastError(), QStringLiteral("\"x.png\" is not a regular file."));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Import failed: \"x.png\" is not a regular file."));

    // A missing source fails the same way and deletes nothing either.
    controller->importSignatureFiles({scratchPath(QStringLiteral("gone/x.png"))});
    EXPECT_EQ(readFile(signatureFile(QStringLiteral("x.png"))), pngImage(10, 10));
    EXPECT_TRUE(controller->lastError().has_value());
}

TEST_F(VectorControllerLibrariesTest, ImportingAFileAlreadyInTheFolderLeavesItAlone)
{
    const QString inside = signatureFile(QStringLiteral("mine.png"));
    writeFile(inside, pngImage(12, 12));
    const auto controller = makeController();
    controller->importSignatureFiles({inside});
    EXPECT_EQ(readFile(inside), pngImage(12, 12));
    EXPECT_EQ(controller->signatures().size(), 1);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Signature imported: mine.png"));
    EXPECT_FALSE(controller->lastError().has_value());

    // Reached through another spelling of the same path.
    controller->importSignatureFiles({QDir(signaturesFolder()).filePath(QStringLiteral("./mine.png"))});
    EXPECT_EQ(readFile(inside), pngImage(12, 12));
}

TEST_F(VectorControllerLibrariesTest, AnUnacceptedFileIsCopiedButNotChosen)
{
    const auto controller = makeController();
    const QString gif = scratchPath(QStringLiteral("anim.gif"));
    writeFile(gif, pngImage(10, 10));
    const QUuid active = controller->activeSignaturePresetID();
    controller->importSignatureFiles({gif});
    EXPECT_TRUE(QFileInfo::exists(signatureFile(QStringLiteral("anim.gif"))));
    EXPECT_TRUE(controller->signatures().isEmpty());
    EXPECT_EQ(controller->activeSignaturePresetID(), active);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Signature imported: anim.gif"));
}

TEST_F(VectorControllerLibrariesTest, ACancelledPanelDoesNothing)
{
    const auto controller = makeController();
    const QString status = controller->statusMessage();
    environment->nextChoice.reset();
    controller->importSignatureFileInteractive();
    controller->importStampFileInteractive();
    EXPECT_EQ(environment->requests.size(), 2);
    EXPECT_EQ(environment->requests[1].title, QStringLiteral("Import a Stamp (PDF, PNG, JPG, SVG…)"));
    EXPECT_EQ(controller->statusMessage(), status);
    EXPECT_FALSE(controller->canUndo());
}

TEST_F(VectorControllerLibrariesTest, AnImportedStampIsPlacedAndCanBeUndone)
{
    const auto controller = makeController();
    const QString source = scratchPath(QStringLiteral("Approved by.png"));
    writeFile(source, pngImage(200, 100));
    environment->nextChoice = QStringList{source};
    controller->importStampFileInteractive();

    const QUuid id = VectorController::deterministicUUID(QStringLiteral("stamp:Approved by.png"));
    EXPECT_EQ(controller->activeCustomStampPresetID(), id);
    const ElementList& elements = controller->currentPage().elements;
    ASSERT_EQ(elements.size(), 1);
    const VectorElement& stamp = elements[0];
    EXPECT_NEAR(stamp.frame.midX(), 595.28 * 0.3, 0.6);
    EXPECT_NEAR(stamp.frame.midY(), 841.89 * 0.82, 0.6);
    EXPECT_DOUBLE_EQ(stamp.rotationDegrees, -4.0);
    EXPECT_EQ(stamp.name, QStringLiteral("Approved by"));
    EXPECT_EQ(controller->selection(), QSet<QUuid>{stamp.id});
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Stamp \"Approved by\" added"));

    controller->undo();
    EXPECT_TRUE(controller->currentPage().elements.isEmpty());
    EXPECT_FALSE(controller->canUndo());
}

TEST_F(VectorControllerLibrariesTest, AStampWhoseCopyFailedIsNotPlaced)
{
    const auto controller = makeController();
    const QString status = controller->statusMessage();
    controller->importStampFiles({scratchPath(QStringLiteral("missing.png"))});
    EXPECT_TRUE(controller->currentPage().elements.isEmpty());
    EXPECT_FALSE(controller->canUndo());
    EXPECT_FALSE(controller->activeCustomStampPresetID().has_value());
    ASSERT_TRUE(controller->lastError().has_value());
    EXPECT_NE(controller->statusMessage(), status);
}

TEST_F(VectorControllerLibrariesTest, ImportFailuresSpeakFrench)
{
    Localization::setCurrent(AppLanguage::fr);
    const auto controller = makeController();
    controller->importStampFiles({scratchPath(QStringLiteral("absent.png"))});
    EXPECT_EQ(controller->lastError(), QStringLiteral("Impossible de lire « absent.png » : fichier introuvable."));
    EXPECT_EQ(controller->statusMessage(),
              QStringLiteral("Import impossible : Impossible de lire « absent.png » : fichier introuvable."));
}

// ---- Showing the folders ---------------------------------------------------------------------

TEST_F(VectorControllerLibrariesTest, ShowingAFolderCreatesItFirst)
{
    const auto controller = makeController();
    QDir(signaturesFolder()).removeRecursively();
    controller->openSignaturesFolderInFileManager();
    EXPECT_TRUE(QFileInfo(signaturesFolder()).isDir());
    controller->openStampsFolderInFileManager();
    EXPECT_EQ(environment->revealed, (QStringList{signaturesFolder(), stampsFolder()}));
}
