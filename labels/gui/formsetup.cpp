#include "labels/gui/formsetup.h"
#include "app/datamodule.h"
#include "common/fldfuncs.h"
#include "common/genericaccess.h"
#include "common/gui/fontconv.h"
#include "common/reporterror.h"
#include "dbwidgets/currencyedit.h"
#include "dbwidgets/dbcheckbox.h"
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dblookupcombobox.h"
#include "dbwidgets/dbradiogroup.h"
#include "dbwidgets/dbtext.h"
#include "labels/gui/tabsheet.h"
#include "labels/lookups.h"
#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <cstring>

namespace kvt {

FontDesc *fntLabel = nullptr;
FontDesc *fntField = nullptr;
FontDesc *fntClmLabel = nullptr;
FontDesc *fntClmField = nullptr;

namespace {

/// The name without its three-character kind prefix; empty for names of three characters or fewer.
QString name4(const QString &name) { return name.size() > 3 ? name.mid(3) : QString(); }

int fieldLookup(QObject *c, const QString &key, QString &label)
{
    return labelGet(txtFldLst, c->objectName(), key, label);
}

void hideComponent(QObject *c)
{
    if (auto *sheet = qobject_cast<TabSheet *>(c))
        sheet->setTabVisible(false);
    else if (auto *w = qobject_cast<QWidget *>(c))
        w->setVisible(false);
    else if (auto *a = qobject_cast<QAction *>(c))
        a->setVisible(false);
}

void takeFont(QObject *c, const FontDesc *font)
{
    auto *w = qobject_cast<QWidget *>(c);
    if (w && font)
        applyFontDesc(w, *font);
}

bool showsHint(const QWidget *w)
{
    const QVariant on = w->property(showHintProperty());
    return on.isValid() ? on.toBool() : !w->toolTip().isEmpty();
}

void setHint(QWidget *w, const QString &hint)
{
    w->setToolTip(hint);
    w->setProperty(showHintProperty(), true);
}

/// A text placed between single quotes of an SQL statement.
QString sqlText(QString text) { return text.replace(QLatin1Char('\''), QLatin1String("''")); }

/// The nearest window above the component that is not a pop-up (menus are windows of their own).
QObject *ownerOf(QObject *c)
{
    QObject *last = c;
    for (QObject *p = c->parent(); p; p = p->parent()) {
        auto *w = qobject_cast<QWidget *>(p);
        if (w && w->isWindow() && w->windowType() != Qt::Popup)
            return w;
        last = p;
    }
    return last;
}

/// Adds a TextBtn row for a button or menu item whose text is missing (names of more than three
/// characters only); the cache is not updated, so the row takes effect at the next start.
void registerButton(QObject *c, QObject *owner, const QString &key, const char *kind, const QString &caption,
                    const QString &hint, int line)
{
    if (key.size() <= 3)
        return;
    // A damaged store takes no new rows; it has been said once that it is damaged.
    if (DM1 && DM1->Database1.isDamaged())
        return;
    const QString ownerName = owner ? owner->objectName() : QString();
    const QString statement =
        QStringLiteral("insert into TextBtn (TxbName, TxbDesc, TxbLabel, TxbHint, TxCatNo) Values (") +
        QStringLiteral("'") + sqlText(key) + QLatin1String(kind) + sqlText(QLocale().toLower(caption)) +
        QStringLiteral("', '") + sqlText(caption) + QStringLiteral("', '") + sqlText(hint) + QStringLiteral("', ") +
        formCatNoGet(ownerName) + QStringLiteral(")");
    const QString error = ExecuteSql(statement);
    if (!error.isEmpty())
        ReportError(labelsUnit(), line, nullptr,
                    ownerName + QStringLiteral(".") + c->objectName() + QStringLiteral(": ") + error);
}

/// Field controls: looked up by key; included or missing ones take the font, excluded ones are hidden.
int fieldControl(QObject *c, const QString &key, const FontDesc *font)
{
    QString label;
    const int ok = fieldLookup(c, key, label);
    if (ok)
        takeFont(c, font);
    else
        hideComponent(c);
    return ok;
}

QString dataFieldOf(QObject *c)
{
    auto *dc = dynamic_cast<DbControl *>(c);
    return dc ? dc->dataField() : QString();
}

int pushButton(QObject *c, QObject *owner)
{
    auto *b = qobject_cast<QPushButton *>(c);
    const QString name = b->objectName();
    QString label, hint;
    const int ok = ctrlInfoGet(txtBtnLst, name, name, label, hint);
    takeFont(b, fntLabel);
    if (ok) {
        b->setText(label);
        if (!hint.isEmpty())
            setHint(b, hint);
    } else {
        registerButton(b, owner, name, "', 'Text button ", b->text(), showsHint(b) ? b->toolTip() : QString(), 596);
    }
    return ok;
}

int toolButton(QObject *c, QObject *owner)
{
    auto *b = qobject_cast<QToolButton *>(c);
    const QString name = b->objectName();
    QString label, hint;
    const int ok = ctrlInfoGet(txtBtnLst, name, name, label, hint);
    if (ok) {
        if (!hint.isEmpty())
            setHint(b, hint);
    } else {
        registerButton(b, owner, name, "', 'Picture button ", b->text(), showsHint(b) ? b->toolTip() : QString(),
                       616);
    }
    return ok;
}

int menuItem(QObject *c, QObject *owner)
{
    auto *a = qobject_cast<QAction *>(c);
    const QString name = a->objectName();
    const QString key = name.size() > 3 ? name : QString();
    QString label, hint;
    const int ok = key.isEmpty() ? 0 : ctrlInfoGet(txtBtnLst, name, key, label, hint);
    if (ok) {
        a->setText(label);
        if (!hint.isEmpty()) {
            // The status tip is the item's hint; the tool tip shows it where menus display tips.
            a->setStatusTip(hint);
            a->setToolTip(hint);
        }
    } else {
        registerButton(a, owner, key, "', 'Menu ", a->text(), a->statusTip(), 640);
    }
    return ok;
}

int labelRule(QObject *c, QObject *)
{
    auto *l = qobject_cast<QLabel *>(c);
    const QWidget *buddy = l->buddy();
    const QString key = name4(buddy ? buddy->objectName() : l->objectName());
    takeFont(l, fntLabel);
    if (key.size() <= 2)
        return 1;
    QString text;
    const int ok = fieldLookup(l, key, text);
    if (ok)
        l->setText(text);
    else
        hideComponent(l);
    return ok;
}

int groupBox(QObject *c, QObject *)
{
    auto *g = qobject_cast<QGroupBox *>(c);
    const QString key = name4(g->objectName());
    if (key.isEmpty())
        return 1;
    QString text;
    const int ok = fieldLookup(g, key, text);
    if (ok) {
        g->setTitle(text);
        takeFont(g, fntLabel);
    } else {
        hideComponent(g);
    }
    return ok;
}

int checkBox(QObject *c, QObject *)
{
    auto *b = qobject_cast<QCheckBox *>(c);
    const QString key = name4(b->objectName());
    if (key.isEmpty())
        return 1;
    QString text;
    const int ok = fieldLookup(b, key, text);
    if (ok) {
        b->setText(text);
        takeFont(b, fntLabel);
    } else {
        hideComponent(b);
    }
    return ok;
}

int radioGroup(QObject *c, QObject *)
{
    auto *g = qobject_cast<DbRadioGroup *>(c);
    QString text;
    const int ok = fieldLookup(g, g->dataField(), text);
    if (ok) {
        takeFont(g, fntLabel);
        g->setCaption(text);
    } else {
        hideComponent(g);
    }
    return ok;
}

int dbCheckBox(QObject *c, QObject *)
{
    auto *b = qobject_cast<DbCheckBox *>(c);
    QString text;
    const int ok = fieldLookup(b, b->dataField(), text);
    if (ok) {
        b->setText(text);
        takeFont(b, fntLabel);
    } else {
        hideComponent(b);
    }
    return ok;
}

/// Plain edits and memos: looked up by name-4 when it is longer than minKey characters.
int plainControl(QObject *c, int minKey)
{
    const QString key = name4(c->objectName());
    if (key.size() <= minKey) {
        takeFont(c, fntField);
        return 1;
    }
    return fieldControl(c, key, fntField);
}

int tabSheet(QObject *c, QObject *)
{
    auto *s = qobject_cast<TabSheet *>(c);
    QString text;
    const int ok = fieldLookup(s, name4(s->objectName()), text);
    if (ok)
        s->setCaption(text);
    else
        hideComponent(s);
    return ok;
}

int grid(QObject *c, QObject *)
{
    auto *g = qobject_cast<DbGrid *>(c);
    TColumn(txtFldLst, g, g->columns());
    return 1;
}

using RuleFn = int (*)(QObject *component, QObject *owner);

struct ClassRule {
    const char *className; // exactly as the meta-object reports it
    RuleFn apply;
};

// The rules in the order they are tested; only the exact class name counts, so a subclass under
// another name matches none.
const ClassRule classRules[] = {
    {"QPushButton", pushButton},
    {"QToolButton", toolButton},
    {"QAction", menuItem},
    {"kvt::DbLookupComboBox",
     [](QObject *c, QObject *) { return fieldControl(c, qobject_cast<DbLookupComboBox *>(c)->listField(), fntField); }},
    {"QLabel", labelRule},
    {"QGroupBox", groupBox},
    {"QCheckBox", checkBox},
    {"kvt::DbEdit", [](QObject *c, QObject *) { return fieldControl(c, dataFieldOf(c), fntField); }},
    {"kvt::DbText", [](QObject *c, QObject *) { return fieldControl(c, dataFieldOf(c), fntLabel); }},
    {"kvt::DbMemo", [](QObject *c, QObject *) { return fieldControl(c, dataFieldOf(c), fntField); }},
    {"kvt::DbComboBox", [](QObject *c, QObject *) { return fieldControl(c, dataFieldOf(c), fntField); }},
    {"kvt::DbRadioGroup", radioGroup},
    {"QLineEdit", [](QObject *c, QObject *) { return plainControl(c, 0); }},
    {"QPlainTextEdit", [](QObject *c, QObject *) { return plainControl(c, 0); }},
    {"kvt::DbGrid", grid}, // stands for both grid rules
    {"kvt::DbCheckBox", dbCheckBox},
    {"kvt::DbDateEdit", [](QObject *c, QObject *) { return fieldControl(c, dataFieldOf(c), fntField); }},
    {"kvt::CurrencyEdit", [](QObject *c, QObject *) { return plainControl(c, 2); }},
    {"kvt::TabSheet", tabSheet},
    {"QTabWidget",
     [](QObject *c, QObject *) {
         takeFont(c, fntLabel);
         return 1;
     }},
};

bool isBinaryType(FieldType t)
{
    return t == ftBytes || t == ftVarBytes || (t >= ftBlob && t <= ftTypedBinary);
}

/// Depth-first pre-order of the window's descendants in creation order. Qt's own helper objects
/// (named "qt_...") are not components of the window, but the components inside them are (tab pages
/// sit in a helper stack); a tab bar's children are its own scroll and close buttons.
void collectComponents(QObject *parent, QList<QPointer<QObject>> &out)
{
    if (qobject_cast<QTabBar *>(parent))
        return;
    for (QObject *child : parent->children()) {
        if (!child->objectName().startsWith(QLatin1String("qt_")))
            out.append(child);
        collectComponents(child, out);
    }
}

} // namespace

void fontsSetup()
{
    if (fntLabel)
        return;
    fntLabel = new FontDesc;
    fntField = new FontDesc;
    fntClmLabel = new FontDesc;
    fntClmField = new FontDesc;
    const std::pair<const char *, FontDesc *> fonts[] = {
        {"fntLabel", fntLabel}, {"fntField", fntField}, {"fntClmLabel", fntClmLabel}, {"fntClmField", fntClmField}};
    for (const auto &[key, font] : fonts) {
        QString text;
        if (!textGet(txtMsgLst, QLatin1String(key), text))
            text = defaultFontText();
        fldStrToFont(text, font);
    }
}

QString formCatNoGet(const QString &windowName)
{
    static const std::pair<const char *, const char *> numbers[] = {
        {"CustFrm", "47"},  {"FilterFrm", "63"}, {"ItemFrm", "45"},   {"LabelsFrm", "66"},
        {"OrderFrm", "37"}, {"PartsFrm", "43"},  {"QtEditFrm", "69"}, {"VndFrm", "49"},
        {"PurchaseFrm", "58"}, {"RepMainForm", "73"},
    };
    for (const auto &[name, number] : numbers)
        if (textCompare(windowName, QLatin1String(name)) == 0)
            return QLatin1String(number);
    return QStringLiteral("40");
}

void TColumn(const TxtFldLstClass *cache, DbGrid *grid, std::vector<DbGridColumn> &columns)
{
    DataSet *ds = grid ? grid->dataSet() : nullptr;
    for (auto it = columns.rbegin(); it != columns.rend(); ++it) {
        DbGridColumn &col = *it;
        const Field *field = ds && ds->isOpen() ? ds->findField(col.fieldName) : nullptr;
        if (field && isBinaryType(field->dataType())) {
            col.width = 0;
            continue;
        }
        const TextFieldClass *row = field && cache ? cache->search(col.fieldName) : nullptr;
        if (row && row->TxfIncYes) {
            col.title.caption = row->TxfClmLabel;
            col.width = row->TxfClmWidth;
            if (fntClmLabel)
                col.title.font = toQFont(*fntClmLabel);
            if (fntClmField)
                col.font = toQFont(*fntClmField);
        } else {
            col.width = 0;
        }
    }
    if (grid && &columns == &grid->columns())
        grid->applyColumns();
}

int CompSetup(QObject *component, QObject *owner)
{
    if (!component || component->objectName().isEmpty())
        return 1;
    int ok = 1;
    try {
        const char *cls = component->metaObject()->className();
        for (const ClassRule &rule : classRules) {
            if (std::strcmp(cls, rule.className) == 0) {
                ok = rule.apply(component, owner ? owner : ownerOf(component));
                break;
            }
        }
    } catch (const std::exception &e) {
        ReportError(labelsUnit(), 809, &e, QStringLiteral("Failed at CompSetup"));
    }
    return ok;
}

void FormSetup(QWidget *window)
{
    if (!txtFldLst)
        txtFldLst = new TxtFldLstClass;
    if (!txtBtnLst)
        txtBtnLst = new TxtBtnLstClass;
    if (!txtMsgLst) {
        txtMsgLst = new TxtMsgLstClass;
        fontsSetup();
    }
    if (!window)
        return;
    QList<QPointer<QObject>> components;
    collectComponents(window, components);
    for (const QPointer<QObject> &c : components)
        if (c)
            CompSetup(c, window);
}

} // namespace kvt
