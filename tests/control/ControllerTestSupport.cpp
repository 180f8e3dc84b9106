#include "support/TestApplication.h"
#include "ControllerTestSupport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>

namespace zelvane::testing {

namespace {

class GuiApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ensureControllerGuiApplication(); }
};

const auto* const kGuiApplication = ::testing::AddGlobalTestEnvironment(new GuiApplicationEnvironment);

}  // namespace

bool ensureControllerGuiApplication()
{
    return ensureTestGuiApplication();
}

void ControllerTest::SetUp()
{
    if (!ensureControllerGuiApplication())
        GTEST_SKIP() << "another kind of application object exists";
    ASSERT_TRUE(m_dataHome.isValid());
    ASSERT_TRUE(m_scratch.isValid());
    ASSERT_TRUE(m_config.isValid());
    if (qEnvironmentVariableIsSet("XDG_DATA_HOME"))
        m_previousDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path()));
    environment = std::make_shared<FakeControllerEnvironment>(m_config.filePath(QStringLiteral("Zelvane.conf")));
    m_language = std::make_unique<ScopedLanguage>(AppLanguage::en);
}

void ControllerTest::TearDown()
{
    m_language.reset();
    if (m_previousDataHome)
        qputenv("XDG_DATA_HOME", *m_previousDataHome);
    else
        qunsetenv("XDG_DATA_HOME");
}

std::unique_ptr<VectorController> ControllerTest::makeController(bool persistEnabled, bool startServices)
{
    return std::make_unique<VectorController>(startServices, persistEnabled, environment);
}

QString ControllerTest::signaturesFolder() const
{
    return m_dataHome.filePath(QStringLiteral("Zelvane/Signatures"));
}

QString ControllerTest::stampsFolder() const
{
    return m_dataHome.filePath(QStringLiteral("Zelvane/Stamps"));
}

void ControllerTest::writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(data), data.size());
}

QByteArray ControllerTest::readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QByteArray pngImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::white);
    for (int x = width / 4; x < width * 3 / 4; ++x)
        image.setPixelColor(x, height / 2, Qt::black);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return data;
}

}  // namespace zelvane::testing
