#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "controls/Chip.h"
#include "export/SVGExport.h"
#include "svg/SVGCodec.h"
#include "sheets/ExportSheet.h"
#include "window/SheetPresenter.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QDir>
#include <QTimer>
#include <QGuiApplication>
#include <QTest>

using namespace zelvane;

namespace {

class ExportSheetTest : public zelvane::testing::WindowTest {
protected:
    // The export sheet's dialog once it is open.
    QDialog* openSheet() const
    {
        model->setShowExportSheet(true);
        QDialog* dialog = nullptr;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                dialog = window->sheets().dialog(0);
                return dialog && dialog->isVisible();
            },
            3000));
        return dialog;
    }
    ExportSheet* sheet() const
    {
        QDialog* dialog = window->sheets().dialog(0);
        return dialog ? dialog->findChild<ExportSheet*>() : nullptr;
    }
    template <class T = QAbstractButton>
    T* part(const char* name) const
    {
        T* found = sheet() ? sheet()->findChild<T*>(QLatin1String(name)) : nullptr;
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void click(const char* name) const
    {
        QAbstractButton* button = part(name);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
    // Answers the next file dialog with a path, or cancels it without one.
    static void answerFileDialog(const std::optional<QString>& path)
    {
        auto* poll = new QTimer;
        poll->setInterval(10);
        QObject::connect(poll, &QTimer::timeout, poll, [poll, path] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll->stop();
            poll->deleteLater();
            if (path) {
                dialog->selectFile(*path);
                QMetaObject::invokeMethod(dialog, "accept");
            } else {
                dialog->reject();
            }
        });
        poll->start();
    }
    QStringList chipTexts() const
    {
        QStringList texts;
        for (const Chip* chip : sheet()->findChildren<Chip*>())
            texts.append(chip->text());
        return texts;
    }
};

}  // namespace

TEST_F(ExportSheetTest, TheRowsChooseTheFormatAndOnlySVGOffersTheCopy)
{
    ASSERT_NE(openSheet(), nullptr);
    EXPECT_EQ(sheet()->width(), ExportSheet::kWidth);
    EXPECT_EQ(model->exportFormat(), ExportFormat::pdf);
    EXPECT_FALSE(part("copySVG")->isVisible());
    click("format.svg");
    EXPECT_EQ(model->exportFormat(), ExportFormat::svg);
    EXPECT_TRUE(part("copySVG")->isVisible());
    click("format.png");
    EXPECT_EQ(model->exportFormat(), ExportFormat::png);
    EXPECT_FALSE(part("copySVG")->isVisible());
    // Every control stays usable, whatever the document.
    EXPECT_TRUE(part("save")->isEnabled());
    EXPECT_TRUE(part("cancel")->isEnabled());
}

TEST_F(ExportSheetTest, TheChipsCountPagesElementsAndSignatures)
{
    ASSERT_NE(openSheet(), nullptr);
    EXPECT_EQ(chipTexts(), QStringList({"1 pages", "0 elements"}));
    model->controller().stampActiveSignature();
    model->controller().addBlankPage(PageFormatPreset::a4Portrait);
    EXPECT_EQ(chipTexts(), QStringList({"2 pages", "1 elements", "1 signatures"}));
}

TEST_F(ExportSheetTest, EscapeClosesKeepsTheFormatAndTheSheetOpensAgain)
{
    QDialog* dialog = openSheet();
    ASSERT_NE(dialog, nullptr);
    click("format.svg");
    QTest::keyClick(sheet(), Qt::Key_Escape);
    EXPECT_FALSE(model->showExportSheet());
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->sheets().dialog(0) == nullptr; }, 3000));

    // Closed by the window manager: the flag comes down too.
    dialog = openSheet();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(model->exportFormat(), ExportFormat::svg);
    dialog->close();
    EXPECT_FALSE(model->showExportSheet());
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->sheets().dialog(0) == nullptr; }, 3000));

    // Cancel, then once more open.
    ASSERT_NE(openSheet(), nullptr);
    click("cancel");
    EXPECT_FALSE(model->showExportSheet());
    EXPECT_NE(openSheet(), nullptr);
}

TEST_F(ExportSheetTest, CopySVGPutsTheWholeDocumentOnTheClipboardAndCloses)
{
    VectorController& controller = model->controller();
    controller.addBlankPage(PageFormatPreset::a4Portrait);
    controller.addBlankPage(PageFormatPreset::a4Landscape);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    model->setExportFormat(ExportFormat::svg);
    ASSERT_NE(openSheet(), nullptr);
    click("copySVG");
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied.contains(QStringLiteral("data-multipage=\"true\"")));
    EXPECT_EQ(SVGCodec::importSVG(copied, QStringLiteral("copy"), std::nullopt).pages.size(), 3);
    EXPECT_EQ(copied, SVGCodec::exportSVG(controller.document()));
    EXPECT_FALSE(model->showExportSheet());
    EXPECT_EQ(model->flashMessage(), QStringLiteral("SVG code copied to clipboard"));
}

TEST_F(ExportSheetTest, ReturnSavesInTheChosenFormatAndCloses)
{
    model->setExportFormat(ExportFormat::png);
    ASSERT_NE(openSheet(), nullptr);
    const QString path = settingsFolder.filePath(QStringLiteral("out.png"));
    answerFileDialog(path);
    QTest::keyClick(sheet(), Qt::Key_Return);
    EXPECT_TRUE(QFileInfo(path).size() > 0);
    EXPECT_FALSE(model->showExportSheet());
    EXPECT_EQ(model->flashMessage(), QStringLiteral("Saved: out.png"));
    // Only PDF and SVG count as recent files.
    EXPECT_TRUE(model->recentURLs().isEmpty());
}

TEST_F(ExportSheetTest, ACancelledOrFailedSaveKeepsTheSheetOpen)
{
    ASSERT_NE(openSheet(), nullptr);
    answerFileDialog(std::nullopt);
    click("save");
    EXPECT_TRUE(model->showExportSheet());
    EXPECT_FALSE(model->alert().has_value());

    // A file where the folder should be: the save fails.
    QFile plain(settingsFolder.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    answerFileDialog(settingsFolder.filePath(QStringLiteral("plain/out.pdf")));
    click("save");
    EXPECT_TRUE(model->showExportSheet());
    ASSERT_TRUE(model->alert().has_value());
    EXPECT_EQ(model->alert()->title, QStringLiteral("Save Error"));
    EXPECT_FALSE(model->flashMessage().has_value());
    EXPECT_NE(window->sheets().dialog(0), nullptr);
}
