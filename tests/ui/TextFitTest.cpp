#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "sheets/HelpManualSheet.h"
#include "window/ContentView.h"
#include "window/MainWindow.h"
#include "window/SettingsWindow.h"
#include "window/SheetPresenter.h"
#include "window/SheetTable.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QStyleOptionFrame>
#include <QTextDocument>

using namespace zelvane;

namespace {

// Where a widget sits, for the failure message.
QString describe(const QWidget* widget)
{
    QStringList names;
    for (const QWidget* each = widget; each; each = each->parentWidget()) {
        if (!each->objectName().isEmpty())
            names.prepend(each->objectName());
    }
    return QString::fromLatin1(widget->metaObject()->className()) + QLatin1Char(' ') + names.join(QLatin1Char('/'));
}

// Every text under `root` that its widget cuts: a label line wider than the
// label, a wrapped label taller than its room or with a word wider than it,
// a button narrower than it asks for, a placeholder wider than its field.
// A label that ends in "…" was shortened on purpose and is not counted.
QStringList cutTexts(QWidget* root)
{
    QStringList cut;
    const auto report = [&cut](const QWidget* widget, const QString& text, int needed, int given) {
        cut.append(QStringLiteral("%1 \"%2\": needs %3, has %4").arg(describe(widget), text).arg(needed).arg(given));
    };
    for (QWidget* widget : root->findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(root) || widget->width() <= 0)
            continue;
        if (auto* label = qobject_cast<QLabel*>(widget)) {
            QString text = label->text();
            if (text.isEmpty() || text.endsWith(QChar(0x2026)))
                continue;
            if (label->textFormat() == Qt::RichText ||
                (label->textFormat() == Qt::AutoText && Qt::mightBeRichText(text))) {
                QTextDocument document;
                document.setHtml(text);
                text = document.toPlainText();
            }
            const QFontMetrics metrics(label->font());
            const int width = label->contentsRect().width() - 2 * label->margin() - std::max(label->indent(), 0);
            if (label->wordWrap()) {
                for (const QString& word : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts)) {
                    if (metrics.horizontalAdvance(word) > width)
                        report(label, word, metrics.horizontalAdvance(word), width);
                }
                const int needed = label->heightForWidth(label->width());
                if (needed > label->height())
                    report(label, text.left(40), needed, label->height());
            } else {
                for (const QString& line : text.split(QLatin1Char('\n'))) {
                    if (metrics.horizontalAdvance(line) > width)
                        report(label, line, metrics.horizontalAdvance(line), width);
                }
            }
        } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            if (!button->text().isEmpty() && button->sizeHint().width() > button->width())
                report(button, button->text(), button->sizeHint().width(), button->width());
        } else if (auto* field = qobject_cast<QLineEdit*>(widget)) {
            const QString placeholder = field->placeholderText();
            if (placeholder.isEmpty() || !field->text().isEmpty())
                continue;
            QStyleOptionFrame option;
            option.initFrom(field);
            option.lineWidth = field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
            const QMargins margins = field->textMargins();
            // Qt's line edit keeps two pixels clear on each side.
            const int width = field->style()->subElementRect(QStyle::SE_LineEditContents, &option, field).width() -
                              margins.left() - margins.right() - 4;
            const int needed = field->fontMetrics().horizontalAdvance(placeholder);
            if (needed > width)
                report(field, placeholder, needed, width);
        }
    }
    return cut;
}

class TextFitTest : public zelvane::testing::WindowTest,
                    public ::testing::WithParamInterface<AppLanguage> {
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        model->setLanguage(GetParam());
        QApplication::processEvents();
    }

    // Waits for the panels and layouts to settle, then walks.
    QStringList settledCuts(QWidget* root)
    {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !window->content()->isAnimating(); }, 5000))
            << "the panels are still moving";
        QApplication::processEvents();
        QApplication::processEvents();
        const QStringList cuts = cutTexts(root);
        lastCuts = cuts.join(QLatin1Char('\n')).toStdString() + '\n';
        return cuts;
    }

    // The cuts found last, one a line, for the failure message.
    std::string lastCuts;

    QString language() const { return GetParam() == AppLanguage::fr ? QStringLiteral("fr") : QStringLiteral("en"); }
};

}  // namespace

TEST_P(TextFitTest, TheWindowShowsEveryTextWholeAtItsDefaultSize)
{
    ASSERT_EQ(window->size(), QSize(1380, 820));
    VectorController& controller = model->controller();
    EXPECT_TRUE(settledCuts(window.get()).isEmpty()) << lastCuts << language().toStdString() << " nothing selected";
    // Each kind of element the inspector has controls for.
    controller.addTextBlock(QStringLiteral("Texte"));
    EXPECT_TRUE(settledCuts(window.get()).isEmpty()) << lastCuts << language().toStdString() << " text";
    controller.addShape(VectorShapeType::arrow);
    EXPECT_TRUE(settledCuts(window.get()).isEmpty()) << lastCuts << language().toStdString() << " arrow";
    controller.stampActiveSignature();
    EXPECT_TRUE(settledCuts(window.get()).isEmpty()) << lastCuts << language().toStdString() << " signature";
}

TEST_P(TextFitTest, EverySheetShowsEveryTextWhole)
{
    for (const SheetEntry& entry : sheetEntries()) {
        (model.get()->*entry.setShown)(true);
        QDialog* sheet = window->sheets().topmost();
        ASSERT_TRUE(sheet) << entry.name;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(sheet)) << entry.name;
        EXPECT_TRUE(settledCuts(sheet).isEmpty()) << lastCuts << language().toStdString() << ' ' << entry.name;
        if (auto* manual = sheet->findChild<HelpManualSheet*>()) {
            for (HelpManualSheet::SectionID section : HelpManualSheet::allSections()) {
                manual->selectSection(section);
                EXPECT_TRUE(settledCuts(sheet).isEmpty())
                    << lastCuts << language().toStdString() << " manual section " << HelpManualSheet::rawValue(section).toStdString();
            }
        }
        (model.get()->*entry.setShown)(false);
        ASSERT_TRUE(QTest::qWaitFor([sheet = QPointer<QDialog>(sheet)] { return !sheet || !sheet->isVisible(); }, 5000))
            << entry.name;
    }
}

TEST_P(TextFitTest, TheSettingsWindowShowsEveryTextWhole)
{
    window->showSettingsWindow();
    SettingsWindow* settings = window->settingsWindow();
    ASSERT_TRUE(settings);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(settings));
    EXPECT_TRUE(settledCuts(settings).isEmpty()) << lastCuts << language().toStdString();
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, TextFitTest, ::testing::Values(AppLanguage::fr, AppLanguage::en),
                         [](const ::testing::TestParamInfo<AppLanguage>& paramInfo) {
                             return paramInfo.param == AppLanguage::fr ? std::string("French") : std::string("English");
                         });
