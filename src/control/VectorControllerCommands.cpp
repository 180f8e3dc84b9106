// The page and element commands: each is one perform() with a fixed label.

#include "VectorController.h"

#include "Localization.h"
#include "operations/VectorOperations.h"

namespace zelvane {

VectorPoint VectorController::defaultPoint(double widthFraction, double heightFraction) const
{
    const VectorPage& page = currentPage();
    return {page.width * widthFraction, page.height * heightFraction};
}

void VectorController::placeElement(const VectorElement& element, const QString& label)
{
    const qsizetype pageIndex = m_currentPageIndex;
    perform(label, [&element, pageIndex](VectorDocument& document) {
        VectorOperations::addElement(element, pageIndex, document);
    });
    setSelection({element.id});
}

// ---- Pages -----------------------------------------------------------------------

void VectorController::addBlankPage(PageFormatPreset preset)
{
    perform(L("Page ajoutée", "Page added"), [this, preset](VectorDocument& document) {
        m_currentPageIndex = VectorOperations::addPage(document, m_currentPageIndex, preset, std::nullopt);
    });
    setSelection({});
}

void VectorController::deleteCurrentPage()
{
    if (m_document.pages.size() < 2 || !hasValidCurrentPage())
        return;
    perform(L("Page supprimée", "Page deleted"), [this](VectorDocument& document) {
        m_currentPageIndex = VectorOperations::deletePage(document, m_currentPageIndex);
    });
    setSelection({});
}

void VectorController::duplicateCurrentPage()
{
    if (!hasValidCurrentPage())
        return;
    perform(L("Page dupliquée", "Page duplicated"), [this](VectorDocument& document) {
        m_currentPageIndex = VectorOperations::duplicatePage(document, m_currentPageIndex);
    });
    setSelection({});
}

void VectorController::rotateCurrentPage(bool clockwise)
{
    if (!hasValidCurrentPage())
        return;
    const qsizetype pageIndex = m_currentPageIndex;
    perform(L("Page pivotée de 90°", "Page rotated 90°"), [pageIndex, clockwise](VectorDocument& document) {
        VectorOperations::rotatePage(document, pageIndex, clockwise);
    });
}

void VectorController::moveCurrentPage(qsizetype offset)
{
    if (!hasValidCurrentPage())
        return;
    // target = current + offset, refused outside 0 ... count - 1 (written so
    // that no sum can overflow).
    const qsizetype count = m_document.pages.size();
    if (offset < -m_currentPageIndex || offset >= count - m_currentPageIndex)
        return;
    const qsizetype target = m_currentPageIndex + offset;
    perform(L("Page déplacée", "Page moved"), [this, target](VectorDocument& document) {
        m_currentPageIndex = VectorOperations::movePage(document, m_currentPageIndex, target);
    });
}

void VectorController::setCurrentPageTitle(const QString& title)
{
    if (!hasValidCurrentPage())
        return;
    const qsizetype pageIndex = m_currentPageIndex;
    perform(QString(), [pageIndex, &title](VectorDocument& document) { document.pages[pageIndex].title = title; });
}

void VectorController::setCurrentPageFormat(PageFormatPreset preset)
{
    if (!hasValidCurrentPage())
        return;
    const qsizetype pageIndex = m_currentPageIndex;
    const PageSize size = sizePoints(preset);
    perform(L("Format de page changé en ", "Page format changed to ") + rawValue(preset),
            [pageIndex, size](VectorDocument& document) {
                VectorPage& page = document.pages[pageIndex];
                page.width = size.width;
                page.height = size.height;
            });
}

// ---- The selection ---------------------------------------------------------------

void VectorController::deleteSelectedElements()
{
    if (m_selection.isEmpty() || !hasValidCurrentPage())
        return;
    const QSet<QUuid> ids = m_selection;
    const qsizetype pageIndex = m_currentPageIndex;
    perform(L("Sélection supprimée", "Selection deleted"), [&ids, pageIndex](VectorDocument& document) {
        VectorOperations::deleteElements(ids, pageIndex, document);
    });
    setSelection({});
}

void VectorController::duplicateSelectedElements()
{
    if (m_selection.isEmpty() || !hasValidCurrentPage())
        return;
    const QSet<QUuid> ids = m_selection;
    const qsizetype pageIndex = m_currentPageIndex;
    QSet<QUuid> copies;
    perform(L("Sélection dupliquée", "Selection duplicated"), [&ids, &copies, pageIndex](VectorDocument& document) {
        copies = VectorOperations::duplicateElements(ids, pageIndex, document);
    });
    setSelection(copies);
}

// ---- Placing new elements --------------------------------------------------------

void VectorController::addTextBlock(const QString& text, const std::optional<VectorPoint>& at)
{
    if (!hasValidCurrentPage())
        return;
    const VectorPoint point = at.value_or(defaultPoint(0.25, 0.35));
    const VectorElement element =
        VectorOperations::makeTextElement(text, point, 15, QStringLiteral("#111317"), false);
    placeElement(element, L("Bloc de texte ajouté", "Text block added"));
}

void VectorController::addShape(VectorShapeType type, const std::optional<VectorRect>& frame)
{
    if (!hasValidCurrentPage())
        return;
    const VectorPage& page = currentPage();
    const bool isStroke = type == VectorShapeType::line || type == VectorShapeType::arrow;
    const QString name = label(type);

    const VectorElement element = VectorElement::make(
        name,
        ShapePayload{type, type == VectorShapeType::roundedRectangle ? 8.0 : 0.0, false, type == VectorShapeType::arrow},
        frame.value_or(VectorRect(page.width * 0.32, page.height * 0.36, 140, 84)), 0,
        isStroke ? VectorStyle(QStringLiteral("#D97706"), std::nullopt, 2.2, 1.0, false)
                 : VectorStyle(QStringLiteral("#1E3A8A"), QStringLiteral("#DBEAFE"), 1.8, 1.0, false));
    placeElement(element, L(name + QStringLiteral(" ajouté"), name + QStringLiteral(" added")));
}

void VectorController::stampApprovalBadge(const std::optional<VectorStampKind>& kind,
                                          const std::optional<VectorPoint>& at)
{
    if (!hasValidCurrentPage())
        return;
    if (!kind && m_activeCustomStampPresetID) {
        for (const StampPreset& preset : m_customStamps) {
            if (preset.id == *m_activeCustomStampPresetID) {
                stampCustomStamp(preset, at);
                return;
            }
        }
    }
    const VectorStampKind stampKind = kind.value_or(m_activeStampKind);
    const VectorPoint point = at.value_or(defaultPoint(0.3, 0.82));
    const VectorElement element = VectorOperations::makeStampElement(stampKind, point);
    const QString title = defaultTitle(stampKind);
    placeElement(element, L(QStringLiteral("Tampon « ") + title + QStringLiteral(" » ajouté"),
                            QStringLiteral("Stamp \"") + title + QStringLiteral("\" added")));
}

void VectorController::stampActiveSignature(const std::optional<VectorPoint>& at)
{
    if (!hasValidCurrentPage())
        return;
    const VectorPoint point = at.value_or(defaultPoint(0.68, 0.82));
    const SignaturePreset preset = activeSignaturePreset();
    const VectorElement element =
        VectorOperations::makeSignatureElement(preset, point, !preset.assetData.has_value());
    placeElement(element, L(QStringLiteral("Signature apposée (") + preset.title + QStringLiteral(")"),
                            QStringLiteral("Signature placed (") + preset.title + QStringLiteral(")")));
}

}  // namespace zelvane
