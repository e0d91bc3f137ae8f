#include "editor/repmainfrm.h"
#include "app/config.h"
#include "common/messageservice.h"
#include "editor/historydlg.h"
#include "common/stdexception.h"
#include "dbwidgets/dbcheckbox.h"
#include "dbwidgets/dbcontrol.h"
#include "dbwidgets/dbedit.h"
#include "dbwidgets/dblookupcombobox.h"
#include "dbwidgets/dbnavigator.h"
#include "dbwidgets/dbradiogroup.h"
#include "editor/accessnames.h"
#include "editor/detailpages.h"
#include "editor/pagepreview.h"
#include "editor/reporttree.h"
#include "editor/stateimages.h"
#include "editor/treefilter.h"
#include "engine/dataset.h"
#include "engine/session.h"
#include "labels/gui/formsetup.h"
#include "labels/gui/tabsheet.h"
#include "labels/textcache.h"
#include "reportdef/codes.h"
#include "reportdef/schema.h"
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace kvt {

namespace {

Table *newTable(QObject *owner, const char *name, const char *tableName)
{
    auto *t = new Table(owner, QString::fromLatin1(name));
    t->setDatabaseName(QStringLiteral("MyDatabase"));
    t->setSessionName(QStringLiteral("MySession"));
    t->setTableName(QString::fromLatin1(tableName));
    return t;
}

DataSource *newSource(QObject *owner, const char *name, DataSet *ds)
{
    auto *s = new DataSource(owner, QString::fromLatin1(name));
    s->setDataSet(ds);
    return s;
}

QFrame *newPanel(QWidget *parent, const char *name, bool lowered)
{
    auto *p = new QFrame(parent);
    p->setObjectName(QString::fromLatin1(name));
    if (lowered) {
        p->setFrameShape(QFrame::StyledPanel);
        p->setFrameShadow(QFrame::Sunken);
    }
    return p;
}

/// The first widget of a page that takes typing, for the edit key on the tree.
QWidget *firstInput(QWidget *page)
{
    if (!page)
        return nullptr;
    for (QWidget *w = page->nextInFocusChain(); w && w != page; w = w->nextInFocusChain()) {
        auto *edit = qobject_cast<QLineEdit *>(w);
        if (edit && page->isAncestorOf(edit) && !edit->isReadOnly() && edit->isEnabled() && edit->isVisibleTo(page))
            return edit;
    }
    return nullptr;
}

} // namespace

TRepMainForm::TRepMainForm(QWidget *parent) : QWidget(parent)
{
    installWindowAccessibility();
    setObjectName(QStringLiteral("RepMainForm"));
    setWindowTitle(QStringLiteral("Report Editor for Tarrow V3 "));
    setToolTip(QStringLiteral("Click F1 for HELP"));
    resize(640, 450);
    FontDialog1.name = QStringLiteral("MS Sans Serif");
    FontDialog1.size = 8;
    for (int i = 0; i < 9; ++i)
        ImgLstOutline << stateImage(i);
    setDbErrorHandler([](const std::exception &e) { showStandardException(e); });

    createLayout();
    createData();
    nameUnlabelledControls(*this);

    if (QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}

TRepMainForm::~TRepMainForm()
{
    // Nodes go first; then the controls let go of the data sets before these are destroyed.
    TreeBuilding = true;
    TreeModel->clear();
}

void TRepMainForm::createLayout()
{
    auto *outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);

    RxSplitter1 = new QSplitter(Qt::Horizontal, this);
    RxSplitter1->setObjectName(QStringLiteral("RxSplitter1"));
    RxSplitter1->setHandleWidth(3);
    RxSplitter1->setStyleSheet(QStringLiteral("QSplitter::handle { background: teal; }"));
    outer->addWidget(RxSplitter1);

    Panel1 = newPanel(this, "Panel1", false);
    auto *left = new QVBoxLayout(Panel1);
    left->setContentsMargins(0, 0, 0, 0);
    left->setSpacing(0);
    Panel3 = newPanel(Panel1, "Panel3", true);
    Panel3->setFixedHeight(30);
    Panel3->installEventFilter(this);
    left->addWidget(Panel3);

    cmbRepCat = new DbLookupComboBox(Panel3);
    cmbRepCat->setObjectName(QStringLiteral("cmbRepCat"));
    cmbRepCat->setGeometry(16, 4, 129, 22);

    btnRepEdtMenu = new QToolButton(Panel3);
    btnRepEdtMenu->setObjectName(QStringLiteral("btnRepEdtMenu"));
    btnRepEdtMenu->setAutoRaise(true);
    btnRepEdtMenu->setIcon(menuButtonGlyph());
    btnRepEdtMenu->setIconSize(QSize(16, 16));
    btnRepEdtMenu->setGeometry(160, 2, 25, 25);
    btnRepEdtMenu->setToolTip(QStringLiteral("Pop-up menu"));
    // Narrower, and the button placed at the right edge would cover the selector.
    Panel1->setMinimumWidth(cmbRepCat->geometry().right() + 1 + 4 + btnRepEdtMenu->width() + 4);

    TreeView1 = new RepTreeView(Panel1);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeModel = new ReportTreeModel(TreeView1);
    TreeModel->setObjectName(QStringLiteral("TreeModel"));
    TreeView1->setModel(TreeModel);
    TreeView1->setHeaderHidden(true);
    TreeView1->setIndentation(19);
    TreeView1->setIconSize(QSize(13, 13));
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    TreeView1->setUniformRowHeights(true);
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    left->addWidget(TreeView1);
    Filter = new TreeFilter(this, Panel1);
    left->insertWidget(1, Filter->box());
    setTabOrder(Filter->box(), TreeView1); // the box before the tree, and Tab from the tree goes on as before
    auto *findKey = new QShortcut(QKeySequence::Find, this);
    connect(findKey, &QShortcut::activated, this, [this] {
        Filter->box()->setFocus(Qt::ShortcutFocusReason);
        Filter->box()->selectAll();
    });

    Panel2 = newPanel(this, "Panel2", false);
    auto *right = new QVBoxLayout(Panel2);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    Panel4 = newPanel(Panel2, "Panel4", true);
    Panel4->setFixedHeight(30);
    right->addWidget(Panel4);
    DBNavigator1 = new DbNavigator(Panel4);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->setGeometry(8, 2, 224, 25);
    DBNavigator1->setVisibleButtons({DbNavigator::Edit, DbNavigator::Post, DbNavigator::Cancel, DbNavigator::Refresh});
    DBNavigator1->setHints({"First", "Previous", "Next", "Last", "Insert", "Delete", "Edit", "Post Changes", "Cancel",
                            "Refresh Data"});
    DBNavigator1->setShowHints(true);

    PageControl1 = new QTabWidget(Panel2);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    // Every tab stays whole: the panel cannot be made narrower than the tabs take.
    PageControl1->setUsesScrollButtons(false);
    right->addWidget(PageControl1);

    RxSplitter1->addWidget(Panel1);
    RxSplitter1->addWidget(Panel2);
    RxSplitter1->setStretchFactor(0, 1);
    RxSplitter1->setStretchFactor(1, 0);
    RxSplitter1->setCollapsible(0, false);
    RxSplitter1->setCollapsible(1, false);
    Panel2->setMinimumWidth(328);
    RxSplitter1->setSizes({640 - 328 - 3, 328});

    Preview = new PreviewPanel(this);
    Preview->hide();
    RxSplitter1->addWidget(Preview);
    RxSplitter1->setCollapsible(2, false);
    RxSplitter1->setStretchFactor(2, 1);
    btnPreview = new QToolButton(Panel4);
    btnPreview->setText(QStringLiteral("Preview"));
    btnPreview->setCheckable(true);
    btnPreview->setAutoRaise(true);
    btnPreview->setGeometry(240, 2, 80, 25);
    btnPreview->setAccessibleName(QStringLiteral("Page preview"));
    btnPreview->setToolTip(QStringLiteral("Show or hide the page preview (Ctrl+Shift+P)"));
    connect(btnPreview, &QToolButton::toggled, this, [this](bool on) { setPreviewShown(on); });
    auto *previewKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), this);
    connect(previewKey, &QShortcut::activated, btnPreview, &QToolButton::toggle);

    PmRepEdt = new QMenu(this);
    PmRepEdt->setObjectName(QStringLiteral("PmRepEdt"));
    PmRepEdtExpand = new QAction(QStringLiteral("Expand All"), this);
    PmRepEdtExpand->setObjectName(QStringLiteral("PmRepEdtExpand"));
    PmRepEdtCollapse = new QAction(QStringLiteral("Collapse All"), this);
    PmRepEdtCollapse->setObjectName(QStringLiteral("PmRepEdtCollapse"));
    PmRepEdt->addAction(PmRepEdtExpand);
    PmRepEdt->addAction(PmRepEdtCollapse);
    Journal = new EditorJournal(this);

    auto *help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &TRepMainForm::showHelp);
    // F2 on the tree edits the row of the selected node, as the navigator's Edit does, and takes
    // the focus to the page's first field.
    auto *editKey = new QShortcut(QKeySequence(Qt::Key_F2), TreeView1);
    editKey->setContext(Qt::WidgetShortcut);
    connect(editKey, &QShortcut::activated, this, [this] {
        DBNavigator1->clickButton(DbNavigator::Edit);
        DataSet *ds = DBNavigator1->dataSource() ? DBNavigator1->dataSource()->dataSet() : nullptr;
        if (ds && ds->state() == DataSetState::Edit)
            if (QWidget *first = firstInput(PageControl1->currentWidget()))
                first->setFocus(Qt::ShortcutFocusReason);
    });
    connect(btnRepEdtMenu, &QToolButton::clicked, this, [this] { guarded([this] { btnRepEdtMenuClick(); }); });
    connect(PmRepEdtExpand, &QAction::triggered, this, [this] { guarded([this] { PmRepEdtExpandClick(); }); });
    connect(PmRepEdtCollapse, &QAction::triggered, this, [this] { guarded([this] { PmRepEdtCollapseClick(); }); });
    connect(TreeView1, &QTreeView::customContextMenuRequested, this,
            [this](const QPoint &p) { PmRepEdt->popup(TreeView1->viewport()->mapToGlobal(p)); });
    connect(TreeView1, &RepTreeView::currentNodeChanged, this,
            [this](const QModelIndex &now, const QModelIndex &before) {
                guarded([&] { TreeView1Changing(now, before); });
            });
}

void TRepMainForm::createData()
{
    TblRepCat = newTable(this, "TblRepCat", "RepCat.DB");
    TblReports = newTable(this, "TblReports", "Reports.DB");
    TblRepBand = newTable(this, "TblRepBand", "RepBand.DB");
    TblRepCtrl = newTable(this, "TblRepCtrl", "RepCtrl.DB");
    QryRepCtrl = new Query(this, QStringLiteral("QryRepCtrl"));
    QryRepCtrl->setDatabaseName(QStringLiteral("MyDatabase"));
    QryRepCtrl->setSessionName(QStringLiteral("MySession"));
    QryRepCtrl->setSql({reportdef::controlQuerySql()});
    QryRepCtrl->setUniDirectional(true); // the tree reads each band's controls once, forward
    TreeModel->setControlQuery(QryRepCtrl);
    QryRepBand = new Query(this, QStringLiteral("QryRepBand"));
    QryRepBand->setDatabaseName(QStringLiteral("MyDatabase"));
    QryRepBand->setSessionName(QStringLiteral("MySession"));
    QryRepBand->setSql({reportdef::bandQuerySql()});
    QryRepBand->setUniDirectional(true); // the tree reads each report's bands once, forward
    TreeModel->setBandQuery(QryRepBand);
    DsRepCat = newSource(this, "DsRepCat", TblRepCat);
    DsReports = newSource(this, "DsReports", TblReports);
    DsRepBand = newSource(this, "DsRepBand", TblRepBand);
    DsRepCtrl = newSource(this, "DsRepCtrl", TblRepCtrl);

    TblReports->setMasterSource(DsRepCat);
    TblReports->setMasterFields(QStringLiteral("RepCatName"));
    TblReports->setIndexName(QStringLiteral("RepCatName"));
    TblRepBand->setMasterSource(DsReports);
    TblRepBand->setMasterFields(QStringLiteral("RepName"));
    TblRepBand->setIndexFieldNames(QStringLiteral("RepName"));
    TblRepCtrl->setMasterSource(DsRepBand);
    TblRepCtrl->setMasterFields(QStringLiteral("RepName;RctGroup"));
    TblRepCtrl->setIndexFieldNames(QStringLiteral("RepName;RctGroup"));
    // The query's parameters are set from the band whose controls are read, not from the band row
    // shown: bands are read when they are first needed, long after the walk of the bands.

    TblRepCtrl->beforePost = [this](DataSet &) { TblRepCtrlBeforePost(); };
    TblRepCtrl->afterPost = [this](DataSet &) {
        Filter->invalidate(); // the filter reads the inclusion anew
        TblRepCtrlAfterPost();
    };
    TblRepCtrl->setFieldChangeHandler(QStringLiteral("RctInclude"),
                                      [this](Field &f) { TblRepCtrlRctIncludeChange(f.asBoolean()); });

    cmbRepCat->setListSource(DsRepCat);
    cmbRepCat->setKeyField(QStringLiteral("RepCatName"));
    cmbRepCat->setListField(QStringLiteral("RepCatName"));
    connect(cmbRepCat, &DbLookupComboBox::clicked, this, [this] { guarded([this] { cmbRepCatClick(); }); });
    // A row that cannot be saved keeps its category, its tree and its page, as it keeps its node.
    cmbRepCat->setBeforeMove([this] {
        for (Table *t : {TblReports, TblRepBand, TblRepCtrl})
            t->checkBrowseMode();
    });

    DBNavigator1->setDataSource(DsRepCtrl);
    // Whichever page is typed into, the message names the level that is empty.
    const auto nothingToEdit = [this] {
        if (!TblReports->isOpen() || TblReports->isEmpty())
            return QStringLiteral("The category '%1' has no reports, so there is nothing here to edit")
                .arg(cmbRepCat->currentText());
        if (TblRepBand->isEmpty())
            return QStringLiteral("The report has no print bands, so there is nothing here to edit");
        return QStringLiteral("The print band has no controls, so there is nothing here to edit");
    };
    for (DataSource *ds : {DsReports, DsRepBand, DsRepCtrl})
        setNoRecordText(ds, nothingToEdit);

    tsh_Reports = new TabSheet(PageControl1);
    tsh_Reports->setObjectName(QStringLiteral("tsh_Reports"));
    tsh_RepBand = new TabSheet(PageControl1);
    tsh_RepBand->setObjectName(QStringLiteral("tsh_RepBand"));
    tsh_RepCtrl = new TabSheet(PageControl1);
    tsh_RepCtrl->setObjectName(QStringLiteral("tsh_RepCtrl"));
    PageControl1->addTab(tsh_Reports, QStringLiteral("Report Layout"));
    PageControl1->addTab(tsh_RepBand, QStringLiteral("Print Band"));
    PageControl1->addTab(tsh_RepCtrl, QStringLiteral("Field/Label/Image"));
    for (TabSheet *s : {tsh_Reports, tsh_RepBand, tsh_RepCtrl})
        new QVBoxLayout(s);
    reportPage = new ReportPage(DsReports, tsh_Reports);
    bandPage = new BandPage(DsRepBand, tsh_RepBand);
    ctrlPage = new ControlPage(DsRepCtrl, tsh_RepCtrl);
    // Below the size that shows a page whole, the page scrolls.
    tsh_Reports->layout()->addWidget(addScrollArea(reportPage, "ScrollBox1"));
    tsh_RepBand->layout()->addWidget(addScrollArea(bandPage, "ScrollBox2"));
    tsh_RepCtrl->layout()->addWidget(addScrollArea(ctrlPage, "ScrollBox3"));
    for (TabSheet *s : {tsh_Reports, tsh_RepBand, tsh_RepCtrl})
        s->layout()->setContentsMargins(0, 0, 0, 0);
    PageControl1->setCurrentWidget(tsh_RepCtrl);
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });

    PagePreview *pv = Preview->preview();
    pv->setTables(TblReports, TblRepBand, TblRepCtrl);
    for (QWidget *page : {static_cast<QWidget *>(reportPage), static_cast<QWidget *>(bandPage),
                          static_cast<QWidget *>(ctrlPage)})
        pv->watchEdits(page);
    pv->setSelectNode([this](const QString &rep, const QString &band, const QString &ctrl) {
        guarded([&] { selectNodeByName(rep, band, ctrl); });
    });

    // A click, or one of the edit's open keys, opens the dialog.
    for (auto opened : {&DbEdit::clicked, &DbEdit::openRequested}) {
        connect(ctrlPage->EdtRctLabelFnt, opened, this, [this] { EdtRctFontClick(ctrlPage->EdtRctLabelFnt); });
        connect(ctrlPage->EdtRctFieldFnt, opened, this, [this] { EdtRctFontClick(ctrlPage->EdtRctFieldFnt); });
        connect(bandPage->EdtRbdBox, opened, this, [this] { EdtFrameBoxClick(bandPage->EdtRbdBox); });
        connect(ctrlPage->EdtRctBox, opened, this, [this] { EdtFrameBoxClick(ctrlPage->EdtRctBox); });
    }
}

// ------------------------------------------------------------------ show sequence and tree build

void TRepMainForm::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!event->spontaneous())
        guarded([this] { FormShow(); });
}

void TRepMainForm::FormShow()
{
    if (FirstShow)
        DataDirsSetup();
    helpFile = ProgramDir() + QStringLiteral("Kvtv3hlp.hlp>general");
    TblRepCat->open();
    TblReports->open();
    TblRepBand->open();
    TblRepCtrl->open();
    if (FirstShow) {
        FirstShow = false;
        FormSetup(this);
        // Captions from the text tables differ in length from the design ones.
        for (QWidget *page : {static_cast<QWidget *>(reportPage), static_cast<QWidget *>(bandPage),
                              static_cast<QWidget *>(ctrlPage)}) {
            for (QLabel *l : page->findChildren<QLabel *>(QString(), Qt::FindDirectChildrenOnly))
                if (l != bandPage->Lbl_B)
                    l->adjustSize();
            fitPageToContents(page);
        }
        nameUnlabelledControls(*this);
        RctTypeCaption = ctrlPage->RdgRctType->title();
    }
    TblRepCat->first();
    cmbRepCat->setKeyValue(TblRepCat->fields(0)->asString());
    cmbRepCatClick();
    Panel3Resize();
}

void TRepMainForm::cmbRepCatClick()
{
    if (TreeBuilding)
        return;
    TreeBuilding = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    TreeView1->setUpdatesEnabled(false);
    // The pages need not follow every record the walk passes; they are told once at the end.
    Table *tables[] = {TblReports, TblRepBand, TblRepCtrl};
    for (Table *t : tables)
        t->disableControls();
    const auto finish = [&] {
        for (Table *t : tables)
            t->enableControls();
        TreeView1->setUpdatesEnabled(true);
        TreeBuilding = false;
        QApplication::restoreOverrideCursor();
    };
    try {
        Filter->reset();
        TreeModel->clear();
        TblReports->setFiltered(false);
        TblRepBand->setFiltered(false);
        TblRepCtrl->setFiltered(false);
        // Edits are settled above; the walk's many reads then share one read of the store.
        ReadScope read(TblReports->database());
        TreeModel->setLabels(txtFldLst);
        // The control table follows the band row again after the walk: the walk passes every band
        // and reads the control rows of none of them.
        TblRepCtrl->setMasterSource(nullptr);
        struct Relink {
            Table *t;
            DataSource *ds;
            ~Relink()
            {
                try {
                    t->setMasterSource(ds);
                } catch (const std::exception &e) {
                    showStandardException(e);
                }
            }
        } relink{TblRepCtrl, DsRepBand};
        // Reports now, and the bands of the first report, which is selected below; the other
        // reports' bands and every band's controls when they are first needed. A failed read of
        // those bands fails the build; the report stays unread and is read when needed again.
        TreeModel->load(*TblReports);
        if (TreeModel->rowCount() > 0)
            TreeModel->readBands(TreeModel->index(0, 0));
    } catch (...) {
        finish(); // an error in the middle still gives the cursor back and allows the next build
        throw;
    }
    finish();
    if (TreeView1->topLevelCount() > 0)
        TreeView1->setCurrentIndex(TreeView1->topLevelIndex(0));
    else
        Preview->preview()->showSelection(QString(), QString(), QString());
}

void TRepMainForm::setPreviewShown(bool shown)
{
    if (shown == Preview->isVisible())
        return;
    if (btnPreview->isChecked() != shown)
        btnPreview->setChecked(shown);
    QList<int> sizes = RxSplitter1->sizes();
    const int extra = 360;
    const bool grow = !isMaximized() && !isFullScreen();
    Preview->setVisible(shown);
    if (shown) {
        if (grow) {
            resize(width() + extra + RxSplitter1->handleWidth(), height());
            // Kept on the screen: a window grown past its edge moves back.
            if (QScreen *s = screen()) {
                const QRect avail = s->availableGeometry();
                const QRect f = frameGeometry();
                if (f.right() > avail.right())
                    move(std::max(avail.left(), x() - (f.right() - avail.right())), y());
            }
        }
        sizes[2] = extra;
        RxSplitter1->setSizes(sizes);
    } else if (grow) {
        resize(std::max(minimumSizeHint().width(), width() - sizes[2] - RxSplitter1->handleWidth()), height());
    }
}

bool TRepMainForm::selectNodeByName(const QString &repName, const QString &rbdName, const QString &rctName)
{
    // The one place that finds a node by its names; the preview selects through it. A band's
    // controls are read here when they are not read yet. A node the filtered tree does not show
    // is looked for in the full tree, which the filter gives back first.
    if (Filter->isActive() && !TreeView1->reportModel()->findNode(repName, rbdName, rctName, false).isValid())
        Filter->box()->clear();
    ReportTreeModel *model = TreeView1->reportModel();
    const auto findChild = [model](const QModelIndex &parent, auto matches) -> QModelIndex {
        for (int r = 0; r < model->rowCount(parent); ++r) {
            const QModelIndex child = model->index(r, 0, parent);
            if (matches(model->record(child)))
                return child;
        }
        return QModelIndex();
    };
    QModelIndex node = findChild(QModelIndex(), [&](const TvDataType &t) { return t.RepName == repName; });
    if (!node.isValid())
        return false;
    if (!rbdName.isEmpty()) {
        model->readBands(node);
        node = findChild(node, [&](const TvDataType &t) { return t.RbdName == rbdName; });
        if (!node.isValid())
            return false;
        if (!rctName.isEmpty()) {
            model->readControls(node);
            node = findChild(node, [&](const TvDataType &t) { return t.RctName == rctName; });
            if (!node.isValid())
                return false;
        }
    }
    TreeView1->setCurrentIndex(node);
    return TreeView1->currentIndex() == node;
}

void TRepMainForm::Panel3Resize()
{
    btnRepEdtMenu->move(qMax(1, Panel3->width() - btnRepEdtMenu->width() - 4), btnRepEdtMenu->y());
}

bool TRepMainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == Panel3 && event->type() == QEvent::Resize)
        Panel3Resize();
    return QWidget::eventFilter(watched, event);
}

void TRepMainForm::btnRepEdtMenuClick()
{
    const QPoint p = QCursor::pos();
    // Centred on the point where it opens.
    const QSize sz = PmRepEdt->sizeHint();
    PmRepEdt->popup(p - QPoint(sz.width() / 2, sz.height() / 2));
}

void TRepMainForm::PmRepEdtExpandClick()
{
    if (TreeView1->topLevelCount() == 0)
        return;
    // Every band read first, so the view lays the whole tree out once.
    TreeView1->reportModel()->readAllControls();
    TreeView1->expandAll();
    TreeView1->setCurrentIndex(TreeView1->topLevelIndex(0));
}

void TRepMainForm::PmRepEdtCollapseClick()
{
    if (TreeView1->topLevelCount() == 0)
        return;
    TreeView1->setCurrentIndex(TreeView1->topLevelIndex(0));
    TreeView1->collapseAll();
}

void TRepMainForm::showHelp()
{
    // Every hint points at F1, so F1 never fails in silence.
    const QString file = helpFile.section(QLatin1Char('>'), 0, 0);
    const QString path = QDir::toNativeSeparators(file);
    if (file.isEmpty() || !QFileInfo::exists(file)) {
        messages().message(applicationTitle(),
                           QStringLiteral("Help is not available: the help file '%1' was not found.")
                               .arg(path.isEmpty() ? QStringLiteral("Kvtv3hlp.hlp") : path),
                           MsgIcon::Information);
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        messages().message(applicationTitle(),
                           QStringLiteral("The help file '%1' could not be opened: no program to show it is set up.")
                               .arg(path),
                           MsgIcon::Information);
}

// ------------------------------------------------------------------ selection

QString TRepMainForm::quotedFilter(const QString &field, const QString &value) const
{
    // Quotes in names are doubled, so every name can be addressed.
    QString v = value;
    v.replace(QLatin1Char('\''), QLatin1String("''"));
    return field + QStringLiteral(" = '") + v + QLatin1Char('\'');
}

void TRepMainForm::TreeView1Changing(const QModelIndex &node, const QModelIndex &leaving)
{
    if (TreeBuilding)
        return;
    ReportTreeModel *model = TreeView1->reportModel(); // the full tree or the filtered one
    Table *tables[] = {TblReports, TblRepBand, TblRepCtrl};
    if (model->level(node) > 0) {
        // Pending edits are saved first, while the rows on the pages are still those of the node
        // being left. A row that cannot be saved keeps that node selected, with its look, and its
        // row on the page; the next click on another node tries again.
        SettlingNode = leaving;
        try {
            for (Table *t : tables)
                t->checkBrowseMode();
        } catch (const std::exception &e) {
            SettlingNode = QPersistentModelIndex();
            TreeView1->restoreCurrent(leaving);
            if (alreadyShown(e))
                return;
            throw;
        }
        SettlingNode = QPersistentModelIndex();
    }
    // The view repaints the rows of the old and the new current node itself.
    if (model->level(leaving) > 0) {
        const int state = model->stateIndex(leaving);
        if (state % 2 == 1)
            model->setStateIndex(leaving, state + 1, false);
    }
    if (!node.isValid())
        return;
    if (model->stateIndex(node) % 2 == 0)
        model->setStateIndex(node, model->stateIndex(node) - 1, false);

    if (model->level(node) > 0) {
        const TvDataType record = model->record(node);
        const TvDataType *rec = &record;
        // The pages follow once, after all three tables are narrowed, not after every step.
        for (Table *t : tables)
            t->disableControls();
        struct Enable {
            Table *const *tables;
            bool done = false;
            void now()
            {
                if (done)
                    return;
                done = true;
                for (int i = 0; i < 3; ++i)
                    tables[i]->enableControls();
            }
            ~Enable() { now(); }
        } enable{tables};
        // Pending edits were saved above, so the reads below and the pages' refresh can share
        // one read of the store.
        ReadScope read(TblReports->database());
        // The three reads first, one after the other, then what the window shows of them.
        TblReports->setFilter(quotedFilter(QStringLiteral("RepName"), rec->RepName));
        TblReports->setFiltered(true);
        int bandType = 0, contentType = 0, ctrlType = 0;
        if (rec->Level >= 2) {
            TblRepBand->setFilter(quotedFilter(QStringLiteral("RbdName"), rec->RbdName));
            TblRepBand->setFiltered(true);
            contentType = TblRepBand->fieldByName(QStringLiteral("RbdContType"))->asInteger();
            bandType = TblRepBand->fieldByName(QStringLiteral("RbdType"))->asInteger();
        }
        if (rec->Level >= 3) {
            TblRepCtrl->setFilter(quotedFilter(QStringLiteral("RctName"), rec->RctName));
            TblRepCtrl->setFiltered(true);
            ctrlType = TblRepCtrl->fieldByName(QStringLiteral("RctType"))->asInteger();
        }
        if (rec->Level <= 1) {
            PageControl1->setCurrentWidget(tsh_Reports);
            tsh_RepCtrl->setTabVisible(false);
            tsh_RepBand->setTabVisible(false);
        } else {
            tsh_RepBand->setTabVisible(true);
            const QString suffix = reportdef::contentSuffix(contentType);
            bandPage->Lbl_B->setText(reportdef::bandTypeText(bandType) + suffix);
            if (rec->Level == 2) {
                PageControl1->setCurrentWidget(tsh_RepBand);
                tsh_RepCtrl->setTabVisible(false);
            } else {
                tsh_RepCtrl->setTabVisible(true);
                PageControl1->setCurrentWidget(tsh_RepCtrl);
                QString caption = RctTypeCaption;
                adaptControlPage(ctrlType);
                if (ctrlType == 1)
                    caption += suffix;
                if (ctrlPage->RdgRctType->title() != caption) // a new title lays the group out again
                    ctrlPage->RdgRctType->setTitle(caption);
                const QString text = model->text(node);
                if (ctrlPage->Ed1->text() != text)
                    ctrlPage->Ed1->setText(text);
            }
        }
        enable.now(); // the pages follow here, still inside the shared read
        PageControl1Change();
        Preview->preview()->showSelection(rec->RepName, rec->Level >= 2 ? rec->RbdName : QString(),
                                          rec->Level >= 3 ? rec->RctName : QString());
    }
    // Whether a report or band has children is known once it is read; an error in the read leaves
    // it unread, to be read when it is needed again.
    model->readBands(node);
    model->readControls(node);
    if (model->rowCount(node) > 0)
        TreeView1->expand(node);
}

void TRepMainForm::adaptControlPage(int type)
{
    if (!reportdef::isKnownControlType(type))
        return; // an unknown type keeps what the previous selection set
    struct Adapt {
        bool width, labelWidth, labelFnt, fieldFnt, locked;
    };
    static const Adapt table[] = {
        {false, false, false, false, true}, {true, false, true, true, false}, {true, true, true, true, false},
        {true, true, true, true, false},    {true, false, false, false, true}, {true, false, true, false, true},
        {true, false, true, false, true},
    };
    const Adapt &a = table[type];
    ctrlPage->EdtRctWidth->setEnabled(a.width);
    ctrlPage->EdtRctLabelWidth->setEnabled(a.labelWidth);
    ctrlPage->EdtRctLabelFnt->setEnabled(a.labelFnt);
    ctrlPage->EdtRctFieldFnt->setEnabled(a.fieldFnt);
    ctrlPage->RdgRctType->setReadOnly(a.locked);
    const QString hint = reportdef::controlTypeDescription(type);
    if (ctrlPage->RdgRctType->toolTip() != hint) // setting a hint always sends an event
        ctrlPage->RdgRctType->setToolTip(hint);
}

void TRepMainForm::PageControl1Change()
{
    QWidget *page = PageControl1->currentWidget();
    if (page == tsh_Reports)
        DBNavigator1->setDataSource(DsReports);
    else if (page == tsh_RepBand)
        DBNavigator1->setDataSource(DsRepBand);
    else
        DBNavigator1->setDataSource(DsRepCtrl);
}

// ------------------------------------------------------------------ control record rules

void TRepMainForm::TblRepCtrlBeforePost()
{
    if (reportdef::isAlwaysIncluded(TblRepCtrl->fieldByName(QStringLiteral("RctName"))->asString()) &&
        !TblRepCtrl->fieldByName(QStringLiteral("RctInclude"))->asBoolean())
        TblRepCtrl->fieldByName(QStringLiteral("RctInclude"))->setAsBoolean(true);
}

void TRepMainForm::TblRepCtrlAfterPost()
{
    const int type = TblRepCtrl->fieldByName(QStringLiteral("RctType"))->asInteger();
    if (type != 2 && type != 3)
        return;
    if (TblRepCtrl->fieldByName(QStringLiteral("RctLabelWidth"))->asFloat() > 0.0)
        return;
    messages().beep();
    messages().message(applicationTitle(),
                       QStringLiteral("Warning: Field '") + ctrlPage->LblRctLabelWidth->text() +
                           QStringLiteral("' is <= 0.0, no space for label."),
                       MsgIcon::None);
}

void TRepMainForm::TblRepCtrlRctIncludeChange(bool included)
{
    // While a selection saves the row being left, the view already points at the node entered:
    // the image belongs to the node of the row.
    const QModelIndex node = SettlingNode.isValid() ? QModelIndex(SettlingNode) : TreeView1->currentIndex();
    TreeView1->reportModel()->setStateIndex(node, included ? 7 : 5);
    Filter->copyState(node);
}

// ------------------------------------------------------------------ closing

bool TRepMainForm::confirmClose()
{
    const struct {
        Table *table;
        const char *what;
    } rows[] = {{TblReports, "report"}, {TblRepBand, "print band"}, {TblRepCtrl, "control"}};
    for (const auto &r : rows) {
        Table *t = r.table;
        if (t->state() != DataSetState::Edit && t->state() != DataSetState::Insert)
            continue;
        try {
            t->updateRecord();
        } catch (const std::exception &e) {
            showStandardException(e);
            return false;
        }
        if (!t->modified()) {
            t->cancel();
            continue;
        }
        const MsgResult answer = messages().message(
            applicationTitle(),
            QStringLiteral("The %1 row has changes that are not saved. Save them before closing?")
                .arg(QString::fromLatin1(r.what)),
            MsgIcon::Question, MsgButtons::SaveDiscardCancel);
        if (answer == MsgResult::Cancel)
            return false;
        if (answer == MsgResult::Discard) {
            t->cancel();
            continue;
        }
        try {
            t->post();
        } catch (const std::exception &e) {
            showStandardException(e);
            return false;
        }
    }
    return true;
}

void TRepMainForm::closeEvent(QCloseEvent *event)
{
    if (confirmClose())
        event->accept();
    else
        event->ignore();
}

} // namespace kvt
