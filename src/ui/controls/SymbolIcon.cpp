#include "controls/SymbolIcon.h"

#include <QFile>
#include <QHash>
#include <QPainter>
#include <QStandardPaths>

namespace zelvane::SymbolIcon {

namespace {

// Symbol names used by the views, with the freedesktop icon that shows the
// same idea.
const QHash<QString, QString>& freedesktopNames()
{
    static const QHash<QString, QString> names{
        {QStringLiteral("plus"), QStringLiteral("list-add")},
        {QStringLiteral("minus"), QStringLiteral("list-remove")},
        {QStringLiteral("trash"), QStringLiteral("edit-delete")},
        {QStringLiteral("doc"), QStringLiteral("document-new")},
        {QStringLiteral("doc.badge.plus"), QStringLiteral("document-new")},
        {QStringLiteral("folder"), QStringLiteral("document-open")},
        {QStringLiteral("square.and.arrow.down"), QStringLiteral("document-save")},
        {QStringLiteral("square.and.arrow.up"), QStringLiteral("document-send")},
        {QStringLiteral("arrow.uturn.backward"), QStringLiteral("edit-undo")},
        {QStringLiteral("arrow.uturn.forward"), QStringLiteral("edit-redo")},
        {QStringLiteral("magnifyingglass"), QStringLiteral("edit-find")},
        {QStringLiteral("plus.magnifyingglass"), QStringLiteral("zoom-in")},
        {QStringLiteral("minus.magnifyingglass"), QStringLiteral("zoom-out")},
        {QStringLiteral("arrow.up.left.and.arrow.down.right"), QStringLiteral("zoom-fit-best")},
        {QStringLiteral("doc.on.doc"), QStringLiteral("edit-copy")},
        {QStringLiteral("rotate.left"), QStringLiteral("object-rotate-left")},
        {QStringLiteral("rotate.right"), QStringLiteral("object-rotate-right")},
        {QStringLiteral("chevron.left"), QStringLiteral("go-previous")},
        {QStringLiteral("chevron.right"), QStringLiteral("go-next")},
        {QStringLiteral("chevron.up"), QStringLiteral("go-up")},
        {QStringLiteral("chevron.down"), QStringLiteral("go-down")},
        {QStringLiteral("xmark"), QStringLiteral("window-close")},
        {QStringLiteral("checkmark"), QStringLiteral("object-select")},
        {QStringLiteral("gearshape"), QStringLiteral("preferences-system")},
        {QStringLiteral("questionmark.circle"), QStringLiteral("help-browser")},
        {QStringLiteral("info.circle"), QStringLiteral("help-about")},
        {QStringLiteral("keyboard"), QStringLiteral("input-keyboard")},
        {QStringLiteral("eye"), QStringLiteral("view-reveal")},
        {QStringLiteral("eye.slash"), QStringLiteral("view-conceal")},
        {QStringLiteral("lock"), QStringLiteral("changes-prevent")},
        {QStringLiteral("lock.open"), QStringLiteral("changes-allow")},
        {QStringLiteral("textformat"), QStringLiteral("insert-text")},
        {QStringLiteral("photo"), QStringLiteral("insert-image")},
        {QStringLiteral("pencil"), QStringLiteral("document-edit")},
        {QStringLiteral("arrow.down.circle"), QStringLiteral("software-update-available")},
        {QStringLiteral("arrow.down.circle.fill"), QStringLiteral("software-update-available")},
        {QStringLiteral("arrow.clockwise"), QStringLiteral("view-refresh")},
        {QStringLiteral("checkmark.seal.fill"), QStringLiteral("emblem-ok")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("dialog-warning")},
    };
    return names;
}

// Without a desktop (offscreen, a bare X server) Qt knows no icon folders
// and no theme: look in the XDG data folders, and use Adwaita when no theme
// is set or the theme lacks a symbol.
void prepareIconTheme()
{
    static const bool prepared = [] {
        QStringList paths = QIcon::themeSearchPaths();
        const QStringList folders = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                              QStringLiteral("icons"), QStandardPaths::LocateDirectory);
        for (const QString& folder : folders) {
            if (!paths.contains(folder))
                paths.append(folder);
        }
        QIcon::setThemeSearchPaths(paths);
        // A bare X server reports "hicolor", which holds application icons
        // only: count it as no theme at all.
        const auto unset = [](const QString& theme) {
            return theme.isEmpty() || theme == QLatin1String("hicolor");
        };
        if (unset(QIcon::themeName()))
            QIcon::setThemeName(QStringLiteral("Adwaita"));
        if (unset(QIcon::fallbackThemeName()))
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        return true;
    }();
    Q_UNUSED(prepared);
}

QIcon themeIcon(const QString& name)
{
    if (name.isEmpty())
        return {};
    if (QIcon::hasThemeIcon(name + QStringLiteral("-symbolic")))
        return QIcon::fromTheme(name + QStringLiteral("-symbolic"));
    if (QIcon::hasThemeIcon(name))
        return QIcon::fromTheme(name);
    return {};
}

}  // namespace

QIcon icon(const QString& symbol)
{
    prepareIconTheme();
    QIcon found = themeIcon(symbol);
    if (found.isNull())
        found = themeIcon(freedesktopNames().value(symbol));
    if (found.isNull()) {
        const QString bundled = QStringLiteral(":/zelvane/icons/") + symbol + QStringLiteral(".svg");
        if (QFile::exists(bundled))
            found = QIcon(bundled);
    }
    return found;
}

QPixmap tinted(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio)
{
    const int pixels = qMax(1, qRound(size * devicePixelRatio));
    QPixmap pixmap(pixels, pixels);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QIcon found = icon(symbol);
    if (!found.isNull()) {
        found.paint(&painter, QRect(0, 0, pixels, pixels));
        // Keep the shape, take the colour.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(pixmap.rect(), color);
    } else {
        // An unknown symbol still shows where the button is.
        QPen pen(color, qMax(1.0, pixels / 10.0));
        painter.setPen(pen);
        const qreal inset = pixels * 0.25;
        painter.drawEllipse(QRectF(inset, inset, pixels - 2 * inset, pixels - 2 * inset));
    }
    painter.end();
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

}  // namespace zelvane::SymbolIcon
