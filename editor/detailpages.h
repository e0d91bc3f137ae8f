#pragma once
// The three detail pages: report layout, print band, and field / label / image.
#include <QWidget>

class QLabel;
class QLineEdit;
class QScrollArea;

namespace kvt {

class DataSource;
class DbCheckBox;
class DbEdit;
class DbRadioGroup;
class MarginFigure;

/// Places a "%" label beside a margin, spacing or width edit.
QLabel *addPercentLabel(QWidget *page, QWidget *edit);
/// A data-aware single-line edit at the given place.
DbEdit *addEdit(QWidget *page, const char *name, DataSource *ds, const char *field, int x, int y, int w,
                const char *hint = nullptr);
/// A label at the given place that focuses buddy (may be null).
QLabel *addLabel(QWidget *page, const char *name, const QString &caption, int x, int y, QWidget *buddy);
/// Puts the page into a scroll area of the given name, so a window smaller than the page reaches all of
/// it; the page keeps its name and the places of its components.
QScrollArea *addScrollArea(QWidget *page, const char *name);
/// Makes the page at least as large as its shown components (and a small margin), so that its scroll
/// area scrolls instead of cutting them. Run again when captions change the components' sizes.
void fitPageToContents(QWidget *page);

class ReportPage : public QWidget {
    Q_OBJECT
public:
    ReportPage(DataSource *ds, QWidget *parent);
    QLabel *lblRepTitle;
    DbEdit *EdtRepTitle;
    DbRadioGroup *RgrRepOrient;
    DbEdit *EdtRepTopY;
    DbEdit *EdtRepLeftX;
    DbEdit *EdtRepRightX;
    DbEdit *EdtRepBottomY;
    MarginFigure *Image1;
};

class BandPage : public QWidget {
    Q_OBJECT
public:
    BandPage(DataSource *ds, QWidget *parent);
    QLabel *Lbl_B;
    QLabel *LblRbdName;
    DbEdit *EdtRbdName;
    QLabel *LblRbdBox;
    DbEdit *EdtRbdBox;
    DbEdit *EdtRbdTopY;
    DbEdit *EdtRbdLeftX;
    DbEdit *EdtRbdRightX;
    DbEdit *EdtRbdBottomY;
    MarginFigure *Image3;
};

class ControlPage : public QWidget {
    Q_OBJECT
public:
    ControlPage(DataSource *ds, QWidget *parent);
    QLabel *LblRctName;
    QLineEdit *Ed1;
    DbCheckBox *DBCheckBox1;
    QLabel *LblRctWidth;
    DbEdit *EdtRctWidth;
    DbRadioGroup *RdgRctType;
    QLabel *LblRctLabel;
    DbEdit *EdtRctLabel;
    QLabel *LblRctLabelWidth;
    DbEdit *EdtRctLabelWidth;
    QLabel *Label4;
    DbEdit *EdtRctLabelFnt;
    QLabel *LblRctFieldFnt;
    DbEdit *EdtRctFieldFnt;
    QLabel *Label8;
    DbEdit *EdtRctBox;
    DbRadioGroup *RdgRctAlignHorPage;
    DbCheckBox *chkRctNewLine;
    DbEdit *EdtRctSpTop;
    DbEdit *EdtRctSpLeft;
    DbEdit *EdtRctSpRight;
    DbEdit *EdtRctSpBottom;
    MarginFigure *Image2;
};

} // namespace kvt
