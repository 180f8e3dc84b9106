#pragma once

#include "sheets/HelpManualSheet.h"

#include <QList>
#include <QString>

namespace zelvane {

// The text of one section of the user guide, in the current language.
struct HelpManualSection {
    struct Item {
        QString title;
        QString text;
    };
    QString heading;
    QString subtitle;
    // Numbered steps ("1", "2", ...) rather than one card of bullets.
    bool numbered = false;
    QList<Item> items;
};

HelpManualSection helpManualSection(HelpManualSheet::SectionID section);

}  // namespace zelvane
