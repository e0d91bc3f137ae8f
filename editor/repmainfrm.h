#pragma once
// The main window: category selector, report tree, record navigator and the three detail pages.
#include "common/fontdesc.h"
#include <QIcon>
#include <QList>
#include <QPersistentModelIndex>
#include <QString>
#include <QWidget>

class QAction;
class QFrame;
class QMenu;
class QSplitter;
class QTabWidget;
class QToolButton;

namespace kvt {

class BandPage;
class ControlPage;
class DataSource;
class DbEdit;
class DbLookupComboBox;
class DbNavigator;
class EditorJournal;
class PreviewPanel;
class Query;
class ReportPage;
class ReportTreeModel;
class RepTreeView;
class Table;
class TabSheet;
class TreeFilter;

class TRepMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TRepMainForm(QWidget *parent = nullptr);
    ~TRepMainForm() override;

    // Components, in the order of the window's description.
    QFrame *Panel1;
    QFrame *Panel3;
    DbLookupComboBox *cmbRepCat;
    QToolButton *btnRepEdtMenu;
    RepTreeView *TreeView1;
    ReportTreeModel *TreeModel; // the nodes of TreeView1 (the full tree)
    TreeFilter *Filter;         // the search box above the tree; TreeView1 shows its tree while it holds text
    QSplitter *RxSplitter1;
    QFrame *Panel2;
    QFrame *Panel4;
    DbNavigator *DBNavigator1;
    QTabWidget *PageControl1;
    QToolButton *btnPreview;      // shows and hides the page preview
    PreviewPanel *Preview;        // right of the detail pages, hidden until asked for
    TabSheet *tsh_Reports;
    TabSheet *tsh_RepBand;
    TabSheet *tsh_RepCtrl;
    ReportPage *reportPage;
    BandPage *bandPage;
    ControlPage *ctrlPage;
    QMenu *PmRepEdt;
    QAction *PmRepEdtExpand;
    QAction *PmRepEdtCollapse;
    EditorJournal *Journal;       // undo, redo and history of the posts (adds to PmRepEdt)
    FontDesc FontDialog1;         // initial font of the font dialog
    QList<QIcon> ImgLstOutline;   // the nine state images
    Table *TblRepCat;
    Table *TblReports;
    Table *TblRepBand;
    Table *TblRepCtrl;
    Query *QryRepCtrl;
    Query *QryRepBand;
    DataSource *DsRepCat;
    DataSource *DsReports;
    DataSource *DsRepBand;
    DataSource *DsRepCtrl;

    // Window state.
    bool TreeBuilding = false;
    bool FirstShow = true;
    QString RctTypeCaption;
    /// The help file and window the window sets on every show.
    QString helpFile;
    static constexpr int HelpContext = 24;

    // Handlers.
    void FormShow();
    void cmbRepCatClick();
    void Panel3Resize();
    void btnRepEdtMenuClick();
    void PmRepEdtExpandClick();
    void PmRepEdtCollapseClick();
    void TreeView1Changing(const QModelIndex &node, const QModelIndex &leaving);
    void PageControl1Change();
    void TblRepCtrlBeforePost();
    void TblRepCtrlAfterPost();
    void TblRepCtrlRctIncludeChange(bool included);
    void EdtRctFontClick(DbEdit *clicked);
    void EdtFrameBoxClick(DbEdit *clicked);
    /// Selects the node of a report, band (empty for the report) and control (empty for the band),
    /// as a click on it does; false when the tree has no such node.
    bool selectNodeByName(const QString &repName, const QString &rbdName, const QString &rctName);
    /// Shows or hides the page preview; the window grows by its width, so the rest keeps its room.
    void setPreviewShown(bool shown);
    /// Opens the help file (F1) when it exists.
    void showHelp();

    /// Settles the edited rows before the window closes; false keeps the window open.
    bool confirmClose();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    /// The node being left while a selection saves its rows; its row is the one in edit.
    QPersistentModelIndex SettlingNode;
    void createData();
    void createLayout();
    void adaptControlPage(int rctType);
    QString quotedFilter(const QString &field, const QString &value) const;
};

} // namespace kvt
