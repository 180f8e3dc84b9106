#include "fonts/FontSubstitutions.h"

#include <QHash>

#include <algorithm>

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

QStringList substitutesForProgram(const QString& postScriptName)
{
    // TeX's Computer Modern programs all call their family "Computer
    // Modern"; the program's name tells roman, typewriter and sans apart.
    // Latin Modern (fonts-lmodern) is the same design, complete. European
    // Computer Modern (cm-super) programs start with "SF".
    static const std::pair<const char*, const char*> kPrograms[] = {
        {"cmsltt", "Latin Modern Mono Slanted"}, {"cmitt", "Latin Modern Mono"}, {"cmtt", "Latin Modern Mono"},
        {"cmvtt", "Latin Modern Mono Prop"},     {"cmcsc", "Latin Modern Roman Caps"},
        {"cmssbx", "Latin Modern Sans"},         {"cmssdc", "Latin Modern Sans"},
        {"cmssqi", "Latin Modern Sans Quotation"}, {"cmssq", "Latin Modern Sans Quotation"},
        {"cmssi", "Latin Modern Sans"},          {"cmss", "Latin Modern Sans"},
        {"cmsl", "Latin Modern Roman Slanted"},
        {"cmbx", "Latin Modern Roman"},          {"cmti", "Latin Modern Roman"},
        {"cmr", "Latin Modern Roman"},           {"cmb", "Latin Modern Roman"},
        {"sftt", "Latin Modern Mono"},           {"sfsl", "Latin Modern Roman Slanted"},
        {"sfss", "Latin Modern Sans"},           {"sfcc", "Latin Modern Roman Caps"},
        {"sfbx", "Latin Modern Roman"},          {"sfti", "Latin Modern Roman"},
        {"sfrm", "Latin Modern Roman"},
    };
    QString name = postScriptName.trimmed().toLower();
    if (const qsizetype plus = name.indexOf(QLatin1Char('+')); plus == 6)
        name = name.mid(plus + 1);
    for (const auto& [prefix, family] : kPrograms) {
        const QLatin1String start(prefix);
        // The name goes on with the design size alone.
        const QStringView size = QStringView(name).mid(start.size());
        if (name.startsWith(start) && !size.isEmpty() && size.size() <= 4
            && std::all_of(size.begin(), size.end(), [](QChar c) { return c.isDigit(); }))
            return {QString::fromLatin1(family)};
    }
    return {};
}

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
