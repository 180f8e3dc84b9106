#include "panels/inspector/QuickStampsSection.h"

#include "LibraryFolders.h"
#include "Localization.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "controls/IconButton.h"
#include "controls/TextButton.h"
#include "model/RGBAColor.h"
#include "panels/inspector/LibraryRowList.h"
#include "panels/inspector/LibraryHeader.h"
#include "panels/inspector/LibraryMiniatures.h"
#include "panels/inspector/LibraryRow.h"
#include "theme/Theme.h"

#include <QFontMetricsF>
#include <QGridLayout>
#include <QLabel>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <cmath>

namespace zelvane {

namespace {

QFont chipFont()
{
    return Theme::font(9.5, QFont::Bold, true);
}

}  // namespace

// ---- Built-in chips --------------------------------------------------------------

StampChip::StampChip(VectorStampKind kind, QWidget* parent) : QAbstractButton(parent), m_kind(kind)
{
    setText(defaultTitle(kind));
    setAccessibleName(text());
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QColor StampChip::chipColor(VectorStampKind kind)
{
    const std::optional<RGBAColor> parsed = RGBAColor::fromHex(defaultColorHex(kind));
    QColor color = parsed ? parsed->toQColor() : QColor::fromRgbF(0.2f, 0.7f, 0.4f);
    color.setAlphaF(1.0f);
    return color;
}

QSize StampChip::sizeHint() const
{
    const QFontMetricsF metrics(chipFont());
    return QSize(int(std::ceil(metrics.horizontalAdvance(text()))) + 8, int(std::ceil(metrics.height())) + 10);
}

QSize StampChip::minimumSizeHint() const
{
    return QSize(10, sizeHint().height());
}

void StampChip::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = chipColor(m_kind);
    QPainterPath fill;
    fill.addRoundedRect(QRectF(rect()), 5, 5);
    painter.fillPath(fill, Theme::withOpacity(color, underMouse() ? 0.2 : 0.12));
    QPainterPath border;
    border.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4.5, 4.5);
    painter.strokePath(border, QPen(Theme::withOpacity(color, 0.45), 1));
    const QFont font = chipFont();
    painter.setFont(font);
    painter.setPen(color);
    const QRectF inner = QRectF(rect()).adjusted(4, 5, -4, -5);
    painter.drawText(inner, Qt::AlignCenter | Qt::TextSingleLine,
                     QFontMetricsF(font).elidedText(text(), Qt::ElideRight, inner.width()));
}

// ---- The section -------------------------------------------------------------------

const QList<VectorStampKind>& QuickStampsSection::chipKinds()
{
    static const QList<VectorStampKind> kinds{VectorStampKind::approved,     VectorStampKind::signed_,
                                              VectorStampKind::stagePlot,    VectorStampKind::confidential,
                                              VectorStampKind::check,        VectorStampKind::draft};
    return kinds;
}

QuickStampsSection::QuickStampsSection(AppModel& model, QWidget* parent) : QWidget(parent), m_model(model)
{
    VectorController& controller = model.controller();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    const LibraryHeader header = LibraryHeader::add(
        *layout, L("Tampons & Visas", "Stamps & Visas"), LibraryFolders::stampsFolder(), QStringLiteral("Stamps"),
        [&controller] { controller.openStampsFolderInFileManager(); },
        [&controller] { controller.reloadSignaturesAndStampsFromDisk(); },
        [&controller] { controller.importStampFileInteractive(); });
    m_openFolder = header.openFolder;
    m_reload = header.reload;
    m_import = header.import;

    m_rows = new LibraryRowList;
    layout->addWidget(m_rows);

    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(6);
    for (qsizetype i = 0; i < chipKinds().size(); ++i) {
        const VectorStampKind kind = chipKinds().at(i);
        auto* chip = new StampChip(kind);
        connect(chip, &QAbstractButton::clicked, this, [&controller, kind] {
            controller.setActiveCustomStampPresetID(std::nullopt);
            controller.setActiveStampKind(kind);
            controller.stampApprovalBadge(kind);
        });
        grid->addWidget(chip, int(i / 2), int(i % 2));
        m_chips.append(chip);
    }
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    connect(&controller, &VectorController::customStampsChanged, this, &QuickStampsSection::rebuildRows);
    connect(&controller, &VectorController::activeCustomStampPresetIDChanged, this, &QuickStampsSection::markActive);
    rebuildRows();
}

void QuickStampsSection::rebuildRows()
{
    m_rows->clear();
    VectorController& controller = m_model.controller();
    const QList<StampPreset>& presets = controller.customStamps();
    m_rows->setVisible(!presets.isEmpty());
    for (const StampPreset& preset : presets) {
        auto* row = new LibraryRow(
            QSize(56, 32),
            [preset](QPainter& painter, const QRectF& tile) { LibraryMiniatures::paintStamp(painter, tile, preset); },
            [&controller, preset] {
                controller.setActiveCustomStampPresetID(preset.id);
                controller.stampCustomStamp(preset);
            });
        const QString ext = preset.assetExtension.toUpper();
        row->setTitle(preset.title);
        row->setSubtitle(L(QStringLiteral("Fichier ") + ext + QStringLiteral(" · Cliquer pour apposer"),
                           QStringLiteral("File ") + ext + QStringLiteral(" · Click to place")),
                         9.5);
        row->setTrailingSymbols(QStringLiteral("checkmark.circle.fill"), QStringLiteral("seal.fill"));
        m_rows->add(row, preset.id);
    }
    markActive();
}

void QuickStampsSection::markActive()
{
    m_rows->markActive(m_model.controller().activeCustomStampPresetID());
}

const QList<LibraryRow*>& QuickStampsSection::rows() const
{
    return m_rows->rows();
}

}  // namespace zelvane
