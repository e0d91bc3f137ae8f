#include "tools/datadir.h"
#include "app/protect.h"
#include "engine/errors.h"
#include "engine/session.h"
#include "engine/journal.h"
#include "reportdef/schema.h"
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariantList>

namespace kvt::datadir {
namespace {

class Writer {
public:
    explicit Writer(QSqlDatabase &db) : m_db(db) {}

    void exec(const QString &sql)
    {
        QSqlQuery q(m_db);
        if (!q.exec(sql))
            throw EngineError(sql + QStringLiteral(": ") + q.lastError().text());
    }

    void insert(const QString &table, const QVariantList &values)
    {
        QSqlQuery &q = prepared(table, int(values.size()));
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec())
            throw EngineError(QStringLiteral("insert into %1: %2").arg(table, q.lastError().text()));
    }

private:
    QSqlQuery &prepared(const QString &table, int n)
    {
        auto it = m_queries.find(table);
        if (it != m_queries.end())
            return **it;
        auto q = std::make_shared<QSqlQuery>(m_db);
        QStringList marks;
        for (int i = 0; i < n; ++i)
            marks << QStringLiteral("?");
        q->prepare(QStringLiteral("insert into %1 values (%2)").arg(table, marks.join(QLatin1Char(','))));
        return *m_queries.insert(table, q).value();
    }

    QSqlDatabase &m_db;
    QHash<QString, std::shared_ptr<QSqlQuery>> m_queries;
};

struct Ctrl {
    const char *name;
    int type;
    const char *label;
    double width;
    double labelWidth;
    bool include;
    int sortIdx;
};

// Control groups of the demo reports, in the order they are stored (not print order).
const Ctrl companyGroup[] = {
    {"RepCompName", 1, "Company", 40, 0, true, 1},
    {"RepCompAddr:1", 1, "Address", 40, 0, true, 2},
    {"RepCompAddr:2", 1, "", 40, 0, false, 3},
    {"CompPhone", 2, "Phone", 30, 12, true, 4},
    {"Logo", 4, "", 20, 0, true, 5},
};
const Ctrl headGroup[] = {
    {"DocTitle", 5, "Quotation", 100, 0, true, 1},
    {"DocNo", 2, "No.", 25, 10, true, 2},
    {"DocDate", 3, "Date", 25, 0, true, 3},
    {"CustName:1", 1, "Customer", 50, 0, true, 4},
    {"CustName:2", 1, "", 50, 0, false, 5},
    {"CustAddr", 2, "Address", 50, 15, true, 12},
};
const Ctrl linesGroup[] = {
    {"Amount", 2, "Amount", 15, 8, true, 120},
    {"ItemNo", 1, "Item", 10, 0, true, 1},
    {"ItemDesc", 1, "Description", 40, 0, true, 2},
    {"Qty", 3, "Qty", 10, 5, true, 3},
    {"Price", 3, "Price", 15, 6, true, 10},
    {"Discount", 2, "Disc.", 10, 0, false, 15},
};
const Ctrl footGroup[] = {
    {"Terms", 6, "terms.txt", 100, 0, true, 1},
    {"PageNo", 1, "Page", 10, 0, true, 2},
    {"Signature", 4, "sign.bmp", 30, 0, false, 3},
    {"Remark", 5, "Thank you for your order", 100, 0, true, 100},
};

template <size_t N> void addGroup(Writer &w, const QString &rep, const QString &group, const Ctrl (&ctrls)[N])
{
    for (const Ctrl &c : ctrls) {
        const bool hasField = c.type >= 1 && c.type <= 3;
        w.insert(QStringLiteral("RepCtrl"),
                 {rep, group, QString::fromLatin1(c.name), c.type, QString::fromLatin1(c.label), c.width,
                  QStringLiteral("Arial,9,B,0"), hasField ? QStringLiteral("Arial,9,,0") : QString(), c.labelWidth,
                  c.sortIdx % 4, c.include, c.sortIdx, QString(), c.sortIdx % 16, 0.5, 0.5, 0.0, 0.0,
                  c.sortIdx % 3 == 0});
    }
}

void addDemoReports(Writer &w)
{
    const QStringList cats = {QStringLiteral("Quotes"), QStringLiteral("Orders"), QStringLiteral("Purchases"),
                              QStringLiteral("Templates")};
    for (const QString &c : cats)
        w.insert(QStringLiteral("RepCat"), {c});

    struct Rep {
        const char *name;
        const char *title;
        const char *cat;
    } reports[] = {
        {"QuoteStd", "Standard Quotation", "Quotes"},   {"QuoteShort", "Short Quotation", "Quotes"},
        {"QuoteLong", "Detailed Quotation", "Quotes"},  {"QuoteLabels", "Quotation Labels", "Quotes"},
        {"OrderConf", "Order Confirmation", "Orders"},  {"OrderPick", "Picking List", "Orders"},
        {"OrderInvoice", "Invoice", "Orders"},          {"OrderDelivery", "Delivery Note", "Orders"},
        {"PurchOrder", "Purchase Order", "Purchases"},  {"PurchRequest", "Request for Quotation", "Purchases"},
        {"PurchReturn", "Return Note", "Purchases"},    {"PurchSummary", "Purchase Summary", "Purchases"},
    };
    int i = 0;
    for (const Rep &r : reports) {
        const QString rep = QString::fromLatin1(r.name);
        w.insert(QStringLiteral("Reports"), {rep, QString::fromLatin1(r.title), 5.0 + i % 3, 5.0, 8.0, 6.0,
                                             QString::fromLatin1(r.cat), i % 2 ? QStringLiteral("L") : QStringLiteral("P")});
        // Bands: all band types and both content types; "Detail" and "DetailLabels" share the group Lines.
        w.insert(QStringLiteral("RepBand"), {rep, QStringLiteral("PageHeader"), QStringLiteral("Head"), 1, 0.0, 0.0, 2.0, 1.0, 2, 4});
        w.insert(QStringLiteral("RepBand"), {rep, QStringLiteral("Company"), QStringLiteral("Company"), 1, 0.0, 0.0, 0.0, 2.0, 1, 0});
        w.insert(QStringLiteral("RepBand"), {rep, QStringLiteral("Detail"), QStringLiteral("Lines"), 3, 1.0, 1.0, 0.5, 0.5, 2, 5});
        w.insert(QStringLiteral("RepBand"), {rep, QStringLiteral("DetailLabels"), QStringLiteral("Lines"), 3, 1.0, 1.0, 0.5, 0.5, 1, 15});
        w.insert(QStringLiteral("RepBand"), {rep, QStringLiteral("PageFooter"), QStringLiteral("Foot"), 2, 0.0, 0.0, 1.0, 2.0, 0, 1});
        if (i == 0)
            w.insert(QStringLiteral("RepBand"), {rep, QStringLiteral("Unused"), QStringLiteral("None"), 0, 0.0, 0.0, 0.0, 0.0, 0, 0});
        addGroup(w, rep, QStringLiteral("Company"), companyGroup);
        addGroup(w, rep, QStringLiteral("Head"), headGroup);
        addGroup(w, rep, QStringLiteral("Lines"), linesGroup);
        addGroup(w, rep, QStringLiteral("Foot"), footGroup);
        ++i;
    }
}

void addTexts(Writer &w)
{
    // Field labels: name, label, column label, column width, include.
    struct Txf {
        const char *name, *label, *clm;
        int width;
        bool inc;
    } fields[] = {
        {"RepCatName", "Category", "Category", 100, true},
        {"RepTitle", "Report Title", "Title", 150, true},
        {"RepOrient", "Orientation", "Orient.", 40, true},
        {"RepTopY", "Top", "Top", 40, true},
        {"RepLeftX", "Left", "Left", 40, true},
        {"RepRightX", "Right", "Right", 40, true},
        {"RepBottomY", "Bottom", "Bottom", 40, true},
        {"RbdName", "Band Name", "Band", 100, true},
        {"RbdBox", "Band Frame", "Frame", 40, true},
        {"RbdTopY", "Top", "Top", 40, true},
        {"RbdLeftX", "Left", "Left", 40, true},
        {"RbdRightX", "Right", "Right", 40, true},
        {"RbdBottomY", "Bottom", "Bottom", 40, true},
        {"RctName", "Control Name", "Control", 100, true},
        {"RctInclude", "Include", "Incl.", 30, true},
        {"RctWidth", "Width", "Width", 40, true},
        {"RctType", "Control Type", "Type", 40, true},
        {"RctLabel", "Label Text", "Label", 100, true},
        {"RctLabelWidth", "Label Width", "Lbl W.", 40, true},
        {"RctLabelFnt", "Label Font", "Lbl Font", 80, true},
        {"RctFieldFnt", "Field Font", "Fld Font", 80, true},
        {"RctBox", "Frame", "Frame", 40, true},
        {"RctAlignHorPage", "Alignment", "Align", 40, true},
        {"RctNewLine", "New Line", "NL", 30, true},
        {"RctSpTop", "Top", "Top", 40, true},
        {"RctSpLeft", "Left", "Left", 40, true},
        {"RctSpRight", "Right", "Right", 40, true},
        {"RctSpBottom", "Bottom", "Bottom", 40, true},
        {"_Reports", "Report Layout", "", 0, true},
        {"_RepBand", "Print Band", "", 0, true},
        {"_RepCtrl", "Field/Label/Image", "", 0, true},
        {"_BoxFrameTop", "Top", "", 0, true},
        {"_BoxFrameBottom", "Bottom", "", 0, true},
        {"_BoxFrameLeft", "Left", "", 0, true},
        {"_BoxFrameRight", "Right", "", 0, true},
        // Labels of the fields that report controls print.
        {"RepCompName", "Company Name", "Company", 100, true},
        {"RepCompAddr", "Company Address", "Address", 100, true},
        {"CompPhone", "Company Phone", "Phone", 60, true},
        {"DocNo", "Document Number", "No.", 50, true},
        {"DocDate", "Document Date", "Date", 50, true},
        {"CustName", "Customer Name", "Customer", 100, true},
        {"CustAddr", "Customer Address", "Address", 100, true},
        {"ItemNo", "Item Number", "Item", 50, true},
        {"ItemDesc", "Item Description", "Description", 150, true},
        {"Qty", "Quantity", "Qty", 40, true},
        {"Price", "Unit Price", "Price", 50, true},
        {"Amount", "Line Amount", "Amount", 50, true},
        {"Discount", "Discount", "Disc.", 40, false},
        {"PageNo", "Page Number", "Page", 30, true},
    };
    for (const Txf &f : fields)
        w.insert(QStringLiteral("TextField"), {QString::fromLatin1(f.name), QString::fromLatin1(f.label),
                                               QString::fromLatin1(f.clm), f.width, f.inc});

    struct Txb {
        const char *name, *label, *hint, *desc;
        int cat;
    } buttons[] = {
        {"btnRepEdtMenu", "", "Pop-up menu: expand or collapse the tree", "Picture button pop-up menu", 73},
        {"PmRepEdtExpand", "Expand All", "Expand every report, band and control", "Menu expand all", 73},
        {"PmRepEdtCollapse", "Collapse All", "Collapse the whole tree", "Menu collapse all", 73},
        {"OKBtn", "OK", "", "Text button ok", 40},
        {"CancelBtn", "Cancel", "", "Text button cancel", 40},
    };
    for (const Txb &b : buttons)
        w.insert(QStringLiteral("TextBtn"), {QString::fromLatin1(b.name), QString::fromLatin1(b.label),
                                             QString::fromLatin1(b.hint), QString::fromLatin1(b.desc), b.cat});

    const char *const fonts[][2] = {
        {"fntLabel", "DejaVu Sans,8,,-2147483640"},
        {"fntField", "DejaVu Sans,8,,-2147483640"},
        {"fntClmLabel", "DejaVu Sans,8,B,-2147483640"},
        {"fntClmField", "DejaVu Sans,8,,-2147483640"},
    };
    for (const auto &f : fonts)
        w.insert(QStringLiteral("TextMsg"),
                 {QString::fromLatin1(f[0]), QString::fromLatin1(f[1]), QString::fromLatin1(f[0]) + QLatin1Char('+')});
}

void addBench(Writer &w, const Options &o)
{
    w.insert(QStringLiteral("RepCat"), {QStringLiteral("Bench")});
    for (int r = 1; r <= o.benchReports; ++r) {
        const QString rep = QStringLiteral("Bench%1").arg(r, 4, 10, QLatin1Char('0'));
        w.insert(QStringLiteral("Reports"), {rep, QStringLiteral("Bench report %1").arg(r), 1.0, 1.0, 1.0, 1.0,
                                             QStringLiteral("Bench"), r % 2 ? QStringLiteral("P") : QStringLiteral("L")});
        for (int b = 1; b <= o.benchBands; ++b) {
            const QString group = QStringLiteral("G%1").arg(b, 3, 10, QLatin1Char('0'));
            w.insert(QStringLiteral("RepBand"), {rep, QStringLiteral("Band%1").arg(b, 3, 10, QLatin1Char('0')), group,
                                                 b % 4, 0.0, 0.0, 0.0, 0.0, b % 3, b % 16});
            for (int c = 1; c <= o.benchControls; ++c)
                w.insert(QStringLiteral("RepCtrl"),
                         {rep, group, QStringLiteral("Fld%1:%2").arg(c % 50).arg(c), 1 + c % 6, QStringLiteral("Label"),
                          10.0, QStringLiteral("Arial,9,,0"), QStringLiteral("Arial,9,,0"), 5.0, c % 4, c % 5 != 0,
                          c, QString(), c % 16, 0.0, 0.0, 0.0, 0.0, false});
        }
    }
    for (int f = 0; f < 50; ++f)
        w.insert(QStringLiteral("TextField"), {QStringLiteral("Fld%1").arg(f), QStringLiteral("Bench field %1").arg(f),
                                               QStringLiteral("F%1").arg(f), 40, true});
}

} // namespace

bool parseGenerate(const QString &text, Options &options)
{
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 3)
        return false;
    int v[3];
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || v[i] < 1 || v[i] > 100000)
            return false;
    }
    options.benchReports = v[0];
    options.benchBands = v[1];
    options.benchControls = v[2];
    return true;
}

QString create(const QString &dir, const Options &options)
{
    const QString store = QDir(dir).filePath(QString::fromLatin1(Database::StoreFileName));
    if (QFileInfo::exists(store))
        return QStringLiteral("'%1' already holds a store (%2); nothing was changed").arg(dir, store);
    if (QFileInfo::exists(dir) && !QFileInfo(dir).isDir())
        return QStringLiteral("'%1' exists and is not a directory").arg(dir);
    if (!QDir().mkpath(dir))
        return QStringLiteral("Cannot create directory '%1'").arg(dir);

    const QString conn = QStringLiteral("datadir-") + QUuid::createUuid().toString();
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
        db.setDatabaseName(store);
        if (!db.open()) {
            result = QStringLiteral("Cannot create store '%1': %2").arg(store, db.lastError().text());
        } else {
            try {
                Writer w(db);
                w.exec(QStringLiteral("begin"));
                for (const auto &t : reportdef::allTables())
                    for (const QString &s : t.createStatements)
                        w.exec(s);
                w.exec(journal::createStatement(false));
                if (options.demo) {
                    addDemoReports(w);
                    addTexts(w);
                }
                if (options.benchReports > 0)
                    addBench(w, options);
                w.exec(QStringLiteral("commit"));
                if (options.protect)
                    protectAllTables(db);
            } catch (const FrameworkError &e) {
                result = e.message();
            }
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(conn);
    if (!result.isEmpty())
        QFile::remove(store); // never leave a half-made store behind
    return result;
}

} // namespace kvt::datadir
