#include "editor/accessnames.h"
#include "editor/detailpages.h"
#include "editor/repmainfrm.h"
#include "editor/reporttree.h"
#include "dbwidgets/dblookupcombobox.h"
#include "labels/lookups.h"
#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>

namespace kvt {

namespace {

QAccessibleInterface *mainWindowInterface(const QString &className, QObject *object)
{
    if (className != QLatin1String(TRepMainForm::staticMetaObject.className()) || !object ||
        !object->isWidgetType())
        return nullptr;
    // The interface names a window by its title.
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
}

/// A caption the text tables gave, or the design name when they had none for it.
QString captionOr(const QString &caption, const char *designName)
{
    const QString text = QString(caption).remove(QLatin1Char('&')).trimmed();
    return text.isEmpty() || text.startsWith(missMarker()) ? QString::fromLatin1(designName) : text;
}

} // namespace

void installWindowAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(mainWindowInterface);
}

void nameUnlabelledControls(TRepMainForm &w)
{
    QString category;
    labelTextGet(txtFldLst, w.cmbRepCat->listField(), category);
    // Without a name the selector would be announced by the category it shows.
    w.cmbRepCat->setAccessibleName(captionOr(category, "Report Category"));
    w.btnRepEdtMenu->setAccessibleName(QStringLiteral("Pop-up menu"));
    w.TreeView1->setAccessibleName(QStringLiteral("Report Tree"));
    w.PageControl1->setAccessibleName(QStringLiteral("Detail Pages"));
    // The label above the node's text does not focus it (it is no data field), so it names it here.
    w.ctrlPage->Ed1->setAccessibleName(captionOr(w.ctrlPage->LblRctName->text(), "Control Name"));
}

} // namespace kvt
