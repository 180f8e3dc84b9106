// A draft typed in the inspector lands on the element it was typed for when
// the user moves through the layer list, and on no other.

#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "operations/VectorOperations.h"
#include "panels/InspectorView.h"
#include "panels/SidebarView.h"
#include "panels/inspector/ElementCommitField.h"
#include "panels/inspector/SelectedElementSection.h"
#include "window/ContentView.h"

#include <QListView>
#include <QTest>

using namespace zelvane;

namespace {

class InspectorDraftTest : public zelvane::testing::WindowTest {
protected:
    // Clicks the layer row of the element.
    void chooseLayer(const QUuid& id)
    {
        QListView* list = window->content()->sidebar()->layerList();
        QAbstractItemModel* layers = list->model();
        for (int row = 0; row < layers->rowCount(); ++row) {
            if (layers->index(row, 0).data(Qt::UserRole).toUuid() == id) {
                const QRect rect = list->visualRect(layers->index(row, 0));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.topLeft() + QPoint(40, rect.height() / 2));
                return;
            }
        }
        ADD_FAILURE() << "no layer " << id.toString().toStdString();
    }

    QString nameOf(const QUuid& id) const
    {
        for (const VectorElement& element : model->controller().document().pages[0].elements)
            if (element.id == id)
                return element.name;
        return {};
    }
};

}  // namespace

TEST_F(InspectorDraftTest, ANameTypedForOneLayerRenamesOnlyThatLayer)
{
    VectorController& controller = model->controller();
    VectorElement a = VectorOperations::makeStampElement(VectorStampKind::approved, {160, 160});
    a.name = QStringLiteral("Box A");
    VectorElement b = VectorOperations::makeStampElement(VectorStampKind::signed_, {320, 420});
    b.name = QStringLiteral("Box B");
    VectorDocument document = controller.document();
    document.pages[0].elements = {a, b};
    controller.setDocument(document);
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

    chooseLayer(a.id);
    ASSERT_EQ(controller.selection(), QSet<QUuid>{a.id});
    ElementCommitField* name = window->content()->inspector()->selectedElementSection()->nameField();
    QTest::mouseClick(name, Qt::LeftButton);
    ASSERT_TRUE(name->hasFocus());
    name->selectAll();
    QTest::keyClicks(name, QStringLiteral("Box2"));

    // The list takes the keys: the draft, leaving its field, lands on the
    // layer it was typed for, and the field shows the chosen one.
    chooseLayer(b.id);
    ASSERT_EQ(controller.selection(), QSet<QUuid>{b.id});
    EXPECT_TRUE(window->content()->sidebar()->layerList()->hasFocus());
    EXPECT_FALSE(name->hasFocus());
    EXPECT_EQ(nameOf(a.id), QStringLiteral("Box2"));
    EXPECT_EQ(nameOf(b.id), QStringLiteral("Box B"));
    EXPECT_EQ(name->text(), QStringLiteral("Box B"));

    // A key now acts on the list, never on the hidden draft.
    QTest::keyClick(window->windowHandle(), Qt::Key_Return);
    EXPECT_EQ(nameOf(b.id), QStringLiteral("Box B"));
    EXPECT_EQ(nameOf(a.id), QStringLiteral("Box2"));
    EXPECT_EQ(controller.history().undoStack().size(), 1);
}
