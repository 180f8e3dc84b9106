#include "panels/inspector/PageDocumentSection.h"

#include "Localization.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "controls/CommitField.h"
#include "controls/FieldRow.h"
#include "controls/SectionHeader.h"
#include "controls/TextButton.h"
#include "theme/Theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <algorithm>
#include <QLabel>
#include <QVBoxLayout>

namespace zelvane {

namespace {

constexpr int kLabelWidth = 78;

}  // namespace

const QList<PageFormatPreset>& PageDocumentSection::formats()
{
    static const QList<PageFormatPreset> presets{PageFormatPreset::a4Portrait, PageFormatPreset::a4Landscape,
                                                 PageFormatPreset::stage16x9};
    return presets;
}

PageDocumentSection::PageDocumentSection(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    VectorController& controller = model.controller();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addWidget(new SectionHeader(L("Page & Document Multipage", "Page & Multi-Page Document")));

    m_documentTitle = new CommitField(controller.document().title, L("Titre du document", "Document title"), false,
                                      [&controller](const QString& title) { controller.setDocumentTitle(title); });
    layout->addWidget(new FieldRow(L("Document", "Document"), kLabelWidth, m_documentTitle));

    m_fieldPageID = controller.currentPage().id;
    m_pageTitle = new CommitField(controller.currentPage().title, QStringLiteral("Page 1"), false,
                                  [this](const QString& title) { commitPageTitle(title); });
    layout->addWidget(new FieldRow(L("Titre page", "Page title"), kLabelWidth, m_pageTitle));

    m_size = new QLabel;
    m_size->setTextFormat(Qt::PlainText);
    m_size->setFont(Theme::font(10.5, QFont::Normal, true));
    QPalette palette = m_size->palette();
    palette.setColor(QPalette::WindowText, Theme::textDim());
    m_size->setPalette(palette);
    layout->addWidget(new FieldRow(L("Dimensions", "Size"), kLabelWidth, m_size));

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(6);
    for (const PageFormatPreset preset : formats()) {
        auto* button = new TextButton(rawValue(preset), [&controller, preset] { controller.setCurrentPageFormat(preset); });
        button->setCompact(true);
        buttons->addWidget(button);
        m_formatButtons.append(button);
    }
    buttons->addStretch(1);
    layout->addLayout(buttons);

    connect(&controller, &VectorController::documentChanged, this, &PageDocumentSection::refresh);
    connect(&controller, &VectorController::currentPageIndexChanged, this, &PageDocumentSection::refresh);
    m_pageTitle->installEventFilter(this);
    refresh();
}

PageDocumentSection::~PageDocumentSection()
{
    // The page-title field commits through this section when it loses the
    // focus. It goes first, so that a focus change while the widgets are
    // torn down (a section shown as a window of its own closing) never
    // reaches a section already half destroyed.
    delete m_pageTitle;
}

bool PageDocumentSection::eventFilter(QObject* watched, QEvent* event)
{
    // Unfocused, the field always shows the current page: what is typed from
    // now on is meant for it.
    if (watched == m_pageTitle && event->type() == QEvent::FocusIn)
        m_fieldPageID = m_model.controller().currentPage().id;
    return QWidget::eventFilter(watched, event);
}

void PageDocumentSection::refresh()
{
    const VectorController& controller = m_model.controller();
    const VectorPage& page = controller.currentPage();
    m_documentTitle->setValue(controller.document().title);
    m_pageTitle->setValue(page.title);
    if (!m_pageTitle->hasFocus())
        m_fieldPageID = page.id;
    m_size->setText(page.dimensionsLabel());
}

void PageDocumentSection::commitPageTitle(const QString& title)
{
    VectorController& controller = m_model.controller();
    // No page to name while the current index points nowhere.
    if (!controller.hasValidCurrentPage())
        return;
    const QUuid target = m_fieldPageID;
    const bool typedForCurrent = target == controller.currentPage().id;
    if (!typedForCurrent) {
        // The field still holds text of a page that is no longer current.
        const QList<VectorPage>& pages = controller.document().pages;
        const auto page = std::find_if(pages.cbegin(), pages.cend(), [&target](const VectorPage& p) { return p.id == target; });
        if (page != pages.cend() && page->title != title)
            controller.setPageTitle(target, title);
        // From now on the field belongs to the current page.
        m_fieldPageID = controller.currentPage().id;
        m_pageTitle->setText(m_pageTitle->value());
        return;
    }
    controller.setPageTitle(target, title);
}

}  // namespace zelvane
