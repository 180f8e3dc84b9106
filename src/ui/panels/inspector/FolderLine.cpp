#include "panels/inspector/FolderLine.h"

#include "theme/Theme.h"

#include <QDir>
#include <QFontMetricsF>
#include <QPainter>
#include <cmath>

namespace zelvane {

namespace {

QFont lineFont()
{
    return Theme::font(9.5, QFont::Normal, true);
}

}  // namespace

FolderLine::FolderLine(const QString& path, QWidget* parent) : QWidget(parent), m_text(homeAbbreviated(path))
{
    setToolTip(QDir::toNativeSeparators(path));
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

QString FolderLine::homeAbbreviated(const QString& path)
{
    const QString home = QDir::cleanPath(QDir::homePath());
    const QString clean = QDir::cleanPath(path);
    if (home.isEmpty() || home == QStringLiteral("/"))
        return clean;
    if (clean == home)
        return QStringLiteral("~");
    if (clean.startsWith(home + QLatin1Char('/')))
        return QStringLiteral("~") + clean.mid(home.size());
    return clean;
}

QSize FolderLine::sizeHint() const
{
    const QFontMetricsF metrics(lineFont());
    return QSize(int(std::ceil(metrics.horizontalAdvance(m_text))), int(std::ceil(metrics.height())));
}

QSize FolderLine::minimumSizeHint() const
{
    return QSize(20, sizeHint().height());
}

void FolderLine::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QFont font = lineFont();
    painter.setFont(font);
    painter.setPen(Theme::textFaint());
    const QFontMetricsF metrics(font);
    painter.drawText(QRectF(rect()), Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(m_text, Qt::ElideMiddle, width()));
}

}  // namespace zelvane
