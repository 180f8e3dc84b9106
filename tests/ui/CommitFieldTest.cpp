#include "UiTestSupport.h"
#include "controls/CommitField.h"
#include "theme/Theme.h"

#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QVBoxLayout>

using namespace zelvane;

namespace {

// A panel with a commit field and another field to move the focus to.
class CommitFieldTest : public zelvane::testing::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        panel = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(panel.get());
        field = new CommitField(
            QStringLiteral("Plan"), QStringLiteral("Title"), false,
            [this](const QString& text) {
                commits.append(text);
                if (onCommit)
                    onCommit(text);
            },
            [this](const QString& text) { submits.append(text); }, panel.get());
        other = new QLineEdit(panel.get());
        layout->addWidget(field);
        layout->addWidget(other);
        panel->show();
        panel->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(panel.get()));
    }

    void focusField()
    {
        QTest::mouseClick(field, Qt::LeftButton);
        ASSERT_TRUE(field->hasFocus());
    }

    void leaveField()
    {
        QTest::mouseClick(other, Qt::LeftButton);
        ASSERT_FALSE(field->hasFocus());
    }

    std::unique_ptr<QWidget> panel;
    QPointer<CommitField> field;
    QLineEdit* other = nullptr;
    QStringList commits;
    QStringList submits;
    std::function<void(const QString&)> onCommit;
};

}  // namespace

TEST_F(CommitFieldTest, TheBorderTakesTheAccentWhileFocused)
{
    EXPECT_EQ(field->borderColor(), Theme::white(0.08));
    focusField();
    ASSERT_TRUE(QTest::qWaitFor([this] { return field->borderColor() == Theme::withOpacity(Theme::accent(), 0.6); }));
    leaveField();
    ASSERT_TRUE(QTest::qWaitFor([this] { return field->borderColor() == Theme::white(0.08); }));
}

TEST_F(CommitFieldTest, ReturnCommitsAndSubmitsEvenWhenUnchanged)
{
    focusField();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(commits, QStringList{QStringLiteral("Plan")});
    EXPECT_EQ(submits, QStringList{QStringLiteral("Plan")});
    // Return keeps the field in editing.
    EXPECT_TRUE(field->hasFocus());
}

TEST_F(CommitFieldTest, LeavingCommitsOnlyChangedTextAndNeverSubmits)
{
    focusField();
    leaveField();
    EXPECT_TRUE(commits.isEmpty());

    focusField();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("Site"));
    leaveField();
    EXPECT_EQ(commits, QStringList{QStringLiteral("Site")});
    EXPECT_TRUE(submits.isEmpty());
}

TEST_F(CommitFieldTest, ANewValueWaitsWhileTheUserTypes)
{
    focusField();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("Typed"));
    field->setValue(QStringLiteral("Remote"));
    EXPECT_EQ(field->text(), QStringLiteral("Typed"));
    onCommit = [this](const QString& text) { field->setValue(text); };
    leaveField();
    EXPECT_EQ(commits, QStringList{QStringLiteral("Typed")});
    EXPECT_EQ(field->text(), QStringLiteral("Typed"));
    field->setValue(QStringLiteral("Later"));
    EXPECT_EQ(field->text(), QStringLiteral("Later"));
}

TEST_F(CommitFieldTest, ARefusedOrNormalisedCommitShowsTheCallersValueOnceFocusLeaves)
{
    // Refused: the caller keeps its value.
    focusField();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("   "));
    leaveField();
    EXPECT_EQ(commits.size(), 1);
    EXPECT_EQ(field->text(), QStringLiteral("Plan"));

    // Normalised: the caller answers with its own form of the text.
    onCommit = [this](const QString& text) { field->setValue(text.trimmed()); };
    focusField();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("  Site  "));
    leaveField();
    EXPECT_EQ(field->text(), QStringLiteral("Site"));
    EXPECT_EQ(field->value(), QStringLiteral("Site"));

    // Return refused while typing: the text stays until focus leaves.
    onCommit = nullptr;
    focusField();
    field->selectAll();
    QTest::keyClicks(field, QStringLiteral("Nope"));
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(field->text(), QStringLiteral("Nope"));
    leaveField();
    EXPECT_EQ(field->text(), QStringLiteral("Site"));
}

TEST_F(CommitFieldTest, ACommitThatDeletesTheFieldOnReturnIsSafe)
{
    onCommit = [this](const QString&) { delete field.data(); };
    focusField();
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_TRUE(field.isNull());
    // The submit still runs: the user pressed Return.
    EXPECT_EQ(submits.size(), 1);
    QTest::keyClick(other, Qt::Key_A);
}

TEST_F(CommitFieldTest, ACommitThatDeletesTheFieldOnFocusLossIsSafe)
{
    onCommit = [this](const QString&) { delete field.data(); };
    focusField();
    QTest::keyClicks(field, QStringLiteral("x"));
    QTest::mouseClick(other, Qt::LeftButton);
    EXPECT_TRUE(field.isNull());
    EXPECT_EQ(commits.size(), 1);
    EXPECT_TRUE(other->hasFocus());
}

TEST_F(CommitFieldTest, ACommitThatRebuildsLaterIsSafeToo)
{
    onCommit = [this](const QString&) { field->deleteLater(); };
    focusField();
    QTest::keyClicks(field, QStringLiteral("x"));
    QTest::keyClick(field, Qt::Key_Return);
    leaveField();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(field.isNull());
}
