#include "UiTestSupport.h"
#include "window/WindowEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>

using namespace zelvane;

namespace {

// Answers whatever modal dialog comes up next, one after another.
class DialogDriver {
public:
    explicit DialogDriver(QList<std::function<void(QWidget*)>> steps) : m_steps(std::move(steps))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == m_last || m_steps.isEmpty())
                return;
            m_last = modal;
            titles.append(modal->windowTitle());
            m_steps.takeFirst()(modal);
        });
        m_timer.start();
    }

    QStringList titles;

private:
    QList<std::function<void(QWidget*)>> m_steps;
    QPointer<QWidget> m_last;
    QTimer m_timer;
};

class WindowEnvironmentTest : public zelvane::testing::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(files.isValid());
        parent = std::make_unique<QWidget>();
        parent->show();
    }

    std::function<void(QWidget*)> choose(const QString& name)
    {
        return [this, name](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            ASSERT_TRUE(dialog);
            proposed.append(dialog->selectedFiles().value(0));
            shownFolders.append(dialog->directory().absolutePath());
            dialog->setDirectory(files.path());
            dialog->selectFile(files.filePath(name));
            QMetaObject::invokeMethod(dialog, "accept");
        };
    }

    static std::function<void(QWidget*)> answerReplace(bool replace)
    {
        return [replace](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_TRUE(box);
            for (QAbstractButton* button : box->buttons()) {
                if ((box->buttonRole(button) == QMessageBox::AcceptRole) == replace) {
                    button->click();
                    return;
                }
            }
        };
    }

    SaveFileRequest svgRequest() const
    {
        return {QStringLiteral("Save Document (SVG)"), QStringLiteral("Plan.svg"), QStringLiteral("SVG (*.svg)"),
                QStringLiteral("svg")};
    }

    QTemporaryDir files;
    std::unique_ptr<QWidget> parent;
    QStringList proposed;
    QStringList shownFolders;
};

}  // namespace

TEST_F(WindowEnvironmentTest, TheSaveDialogAppendsTheFormatsExtension)
{
    WindowEnvironment environment(parent.get());
    DialogDriver driver({choose(QStringLiteral("a.pdf"))});
    const std::optional<QString> chosen = environment.chooseSaveFile(svgRequest());
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, files.filePath(QStringLiteral("a.pdf.svg")));
    EXPECT_EQ(driver.titles, QStringList{QStringLiteral("Save Document (SVG)")});
    ASSERT_EQ(proposed.size(), 1);
    EXPECT_TRUE(proposed.first().endsWith(QStringLiteral("Plan.svg")));
}

TEST_F(WindowEnvironmentTest, AnExistingFileIsReplacedOnlyWhenConfirmed)
{
    QFile existing(files.filePath(QStringLiteral("b.svg")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.close();
    WindowEnvironment environment(parent.get());
    {
        // Refused: the dialog comes back; cancelled there, nothing is chosen.
        DialogDriver driver({choose(QStringLiteral("b")), answerReplace(false),
                             [](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); }});
        EXPECT_FALSE(environment.chooseSaveFile(svgRequest()));
        EXPECT_EQ(driver.titles.size(), 3);
    }
    {
        DialogDriver driver({choose(QStringLiteral("b.svg")), answerReplace(true)});
        EXPECT_EQ(environment.chooseSaveFile(svgRequest()), files.filePath(QStringLiteral("b.svg")));
    }
}

TEST_F(WindowEnvironmentTest, TheOpenDialogReturnsTheChosenFiles)
{
    QFile file(files.filePath(QStringLiteral("stamp.png")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    WindowEnvironment environment(parent.get());
    DialogDriver driver({choose(QStringLiteral("stamp.png"))});
    const std::optional<QStringList> chosen =
        environment.chooseFiles({QStringLiteral("Import"), {QStringLiteral("Images (*.png)")}, true});
    ASSERT_TRUE(chosen);
    EXPECT_EQ(*chosen, QStringList{files.filePath(QStringLiteral("stamp.png"))});
}

TEST_F(WindowEnvironmentTest, DialogsOpenInTheFolderAsked)
{
    QTemporaryDir start;
    ASSERT_TRUE(start.isValid());
    WindowEnvironment environment(parent.get());
    {
        SaveFileRequest request = svgRequest();
        request.startFolder = start.path();
        DialogDriver saver({choose(QStringLiteral("c.svg"))});
        EXPECT_EQ(environment.chooseSaveFile(request), files.filePath(QStringLiteral("c.svg")));
        ASSERT_EQ(shownFolders.size(), 1);
        EXPECT_EQ(shownFolders[0], QDir(start.path()).absolutePath());
        EXPECT_TRUE(proposed[0].endsWith(QStringLiteral("/Plan.svg")));
    }
    FileChoiceRequest request{QStringLiteral("Open"), {QStringLiteral("PDF, SVG (*.pdf *.svg)")}, false,
                              start.path()};
    QFile file(files.filePath(QStringLiteral("d.svg")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    DialogDriver driver({choose(QStringLiteral("d.svg"))});
    EXPECT_EQ(environment.chooseFiles(request), QStringList{files.filePath(QStringLiteral("d.svg"))});
    ASSERT_EQ(shownFolders.size(), 2);
    EXPECT_EQ(shownFolders[1], QDir(start.path()).absolutePath());
}
