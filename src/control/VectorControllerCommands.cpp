// The page and element commands: each is one perform() with a fixed label.

#include "VectorController.h"

#include <algorithm>

#include "Graphemes.h"
#include "Localization.h"
#include "fonts/TextFonts.h"
#include "operations/VectorOperations.h"
#include "render/ArtworkRenderer.h"

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

void VectorController::setPageTitle(const QUuid& pageID, const QString& title)
{
    const QList<VectorPage>& pages = m_document.pages;
    const auto page = std::find_if(pages.cbegin(), pages.cend(), [&pageID](const VectorPage& p) { return p.id == pageID; });
    if (page == pages.cend())
        return;
    const qsizetype pageIndex = page - pages.cbegin();
    perform(QString(), [pageIndex, &title](VectorDocument& document) { document.pages[pageIndex].title = title; });
}

bool VectorController::updateCurrentPageElement(const QUuid& id, const QString& label,
                                                const std::function<void(VectorElement&)>& mutate)
{
    if (!hasValidCurrentPage())
        return false;
    const ElementList& elements = m_document.pages.at(m_currentPageIndex).elements;
    if (std::none_of(elements.cbegin(), elements.cend(), [&id](const VectorElement& e) { return e.id == id; }))
        return false;
    perform(label, [this, &id, &mutate](VectorDocument& document) {
        VectorOperations::updateElement(id, m_currentPageIndex, document, mutate);
    });
    return true;
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
    if (const std::optional<QUuid> id =
            addText(text, m_currentPageIndex, point, 15, L("Bloc de texte ajouté", "Text block added")))
        setSelection({*id});
}

void VectorController::addShape(VectorShapeType type, const std::optional<VectorRect>& frame,
                                const std::optional<QList<VectorPoint>>& points)
{
    if (!hasValidCurrentPage())
        return;
    const VectorPage& page = currentPage();
    const bool isStroke = type == VectorShapeType::line || type == VectorShapeType::arrow;
    const QString name = label(type);

    ShapePayload shape{type, type == VectorShapeType::roundedRectangle ? 8.0 : 0.0, false, type == VectorShapeType::arrow};
    if (isStroke)
        shape.points = points;
    const VectorElement element = VectorElement::make(
        name, shape, frame.value_or(VectorRect(page.width * 0.32, page.height * 0.36, 140, 84)), 0,
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
    const VectorPoint point = at.value_or(defaultSignaturePoint(currentPage()));
    const SignaturePreset preset = activeSignaturePreset();
    // Artwork that cannot be drawn would place an empty frame.
    if (preset.assetData && !ArtworkRenderer::canDraw(*preset.assetData, preset.assetExtension)) {
        reportFailure(L("Signature impossible : ", "Signature failed: "), unreadableFile(preset.title));
        return;
    }
    const VectorElement element =
        VectorOperations::makeSignatureElement(preset, point, !preset.assetData.has_value());
    placeElement(element, L(QStringLiteral("Signature apposée (") + preset.title + QStringLiteral(")"),
                            QStringLiteral("Signature placed (") + preset.title + QStringLiteral(")")));
}

// ---- Commands shared by every caller ----------------------------------------------

SignaturePreset VectorController::namedSignaturePreset(const QString& signerName)
{
    SignaturePreset preset;
    preset.id = QUuid::createUuid();
    preset.title = signerName.isEmpty() ? QStringLiteral("Signature") : signerName;
    preset.signerName = signerName;
    preset.colorHex = VectorStyle::inkColorHex();
    preset.strokes = SignaturePreset::calligraphicStrokes(std::max<qint64>(1, graphemeCount(signerName)));
    preset.removeWhiteBackground = true;
    return preset;
}

VectorPoint VectorController::defaultSignaturePoint(const VectorPage& page)
{
    return {page.width * 0.68, page.height * 0.82};
}

std::optional<QUuid> VectorController::signAsName(const QString& signerName, qsizetype pageIndex,
                                                  const QString& label, const std::optional<VectorPoint>& at,
                                                  const std::optional<VectorStampKind>& stamp)
{
    if (!isPageIndex(pageIndex))
        return std::nullopt;
    const VectorPoint point = at.value_or(defaultSignaturePoint(m_document.pages[pageIndex]));
    const VectorElement signature =
        VectorOperations::makeSignatureElement(namedSignaturePreset(signerName), point, true);
    std::optional<VectorElement> stampElement;
    if (stamp) {
        // std::max picks 100 when x - 210 is not a number.
        stampElement = VectorOperations::makeStampElement(*stamp, {std::max(point.x - 210, 100.0), point.y});
    }
    perform(label, [&](VectorDocument& document) {
        VectorOperations::addElement(signature, pageIndex, document);
        if (stampElement)
            VectorOperations::addElement(*stampElement, pageIndex, document);
    });
    return signature.id;
}

std::optional<QUuid> VectorController::addText(const QString& text, qsizetype pageIndex, const VectorPoint& at,
                                               double fontSize, const QString& label)
{
    if (!isPageIndex(pageIndex))
        return std::nullopt;
    const VectorElement element =
        VectorOperations::makeTextElement(text, at, fontSize, QStringLiteral("#111317"), false);
    perform(label, [&](VectorDocument& document) { VectorOperations::addElement(element, pageIndex, document); });
    return element.id;
}

std::optional<QUuid> VectorController::replaceMatchedText(qsizetype pageIndex, const QString& match,
                                                          const QString& text, const QString& label)
{
    if (!isPageIndex(pageIndex) || match.isEmpty())
        return std::nullopt;
    for (const VectorElement& element : std::as_const(m_document.pages)[pageIndex].elements) {
        const TextPayload* payload = element.text();
        if (!payload || !payload->text.contains(match, Qt::CaseInsensitive))
            continue;
        const QUuid id = element.id;
        perform(label, [&](VectorDocument& document) {
            VectorOperations::updateElement(id, pageIndex, document, [&](VectorElement& target) {
                if (TextPayload* edited = target.text())
                    edited->text = text;
            });
        });
        return id;
    }
    return std::nullopt;
}

qsizetype VectorController::replaceTextEverywhere(const QString& oldText, const QString& newText,
                                                  const QString& label)
{
    if (oldText.isEmpty())
        return 0;
    using ElementAddress = std::pair<qsizetype, QUuid>;
    const auto textElements = [this](const auto& matches) {
        QList<ElementAddress> found;
        for (qsizetype pageIndex = 0; pageIndex < m_document.pages.size(); ++pageIndex) {
            for (const VectorElement& element : std::as_const(m_document.pages)[pageIndex].elements) {
                if (const TextPayload* text = element.text(); text && matches(text->text))
                    found.append({pageIndex, element.id});
            }
        }
        return found;
    };
    QList<ElementAddress> targets = textElements([&](const QString& text) { return text.trimmed() == oldText; });
    if (targets.isEmpty())
        targets = textElements([&](const QString& text) { return text.contains(oldText, Qt::CaseInsensitive); });
    if (targets.isEmpty())
        return 0;
    perform(label, [&](VectorDocument& document) {
        for (const auto& [pageIndex, id] : std::as_const(targets)) {
            VectorOperations::updateElement(id, pageIndex, document, [&](VectorElement& element) {
                if (TextPayload* text = element.text()) {
                    text->text = newText;
                    PDFCodec::updateTextFrameForEditedContent(element);
                }
            });
        }
    });
    return targets.size();
}

}  // namespace zelvane
