#include "fonts/FontSubstitutions.h"

#include <QHash>

namespace zelvane::fonts {

namespace {

const QHash<QString, QStringList>& substitutionTable()
{
    static const QHash<QString, QStringList> table = [] {
        const QStringList sans = {"Liberation Sans", "Nimbus Sans", "DejaVu Sans"};
        const QStringList helvetica = {"Nimbus Sans", "Liberation Sans", "DejaVu Sans"};
        const QStringList serif = {"Liberation Serif", "Nimbus Roman", "DejaVu Serif"};
        const QStringList times = {"Nimbus Roman", "Liberation Serif", "DejaVu Serif"};
        const QStringList mono = {"Liberation Mono", "Nimbus Mono PS", "DejaVu Sans Mono"};
        const QStringList courier = {"Nimbus Mono PS", "Liberation Mono", "DejaVu Sans Mono"};
        // Wide-coverage families for faces without a close free relative:
        // they also serve as the fallback cascade for missing characters.
        const QStringList humanist = {"DejaVu Sans", "Liberation Sans"};
        const QStringList bookSerif = {"DejaVu Serif", "Liberation Serif"};
        QHash<QString, QStringList> t;
        t.insert("helvetica neue", helvetica);
        t.insert("helvetica", helvetica);
        t.insert("arial", sans);
        t.insert("arial narrow", {"Liberation Sans Narrow", "Nimbus Sans Narrow", "DejaVu Sans Condensed"});
        t.insert("times new roman", serif);
        t.insert("times", times);
        t.insert("courier new", mono);
        t.insert("courier", courier);
        t.insert("georgia", bookSerif);
        t.insert("verdana", humanist);
        t.insert("tahoma", humanist);
        t.insert("trebuchet ms", humanist);
        t.insert("avenir next", humanist);
        t.insert("avenir", humanist);
        t.insert("gill sans", humanist);
        t.insert("segoe ui", humanist);
        t.insert("calibri", {"Carlito", "Liberation Sans", "DejaVu Sans"});
        t.insert("cambria", {"Caladea", "Liberation Serif", "DejaVu Serif"});
        t.insert("symbol", {"Standard Symbols PS"});
        t.insert("zapfdingbats", {"D050000L"});
        t.insert("zapf dingbats", {"D050000L"});
        t.insert("palatino", {"P052", "Liberation Serif"});
        t.insert("palatino linotype", {"P052", "Liberation Serif"});
        t.insert("book antiqua", {"P052", "Liberation Serif"});
        t.insert("new century schoolbook", {"C059", "Liberation Serif"});
        t.insert("century schoolbook", {"C059", "Liberation Serif"});
        t.insert("bookman", {"URW Bookman", "Liberation Serif"});
        t.insert("bookman old style", {"URW Bookman", "Liberation Serif"});
        t.insert("avant garde", {"URW Gothic", "DejaVu Sans"});
        t.insert("itc avant garde gothic", {"URW Gothic", "DejaVu Sans"});
        t.insert("zapf chancery", {"Z003"});
        t.insert("itc zapf chancery", {"Z003"});
        return t;
    }();
    return table;
}

}  // namespace

QStringList substituteFamilies(const QString& family)
{
    QStringList families{family};
    for (const QString& substitute : substitutionTable().value(family.trimmed().toLower())) {
        if (!families.contains(substitute, Qt::CaseInsensitive))
            families.append(substitute);
    }
    return families;
}

}  // namespace zelvane::fonts
