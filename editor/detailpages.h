#pragma once
// The three detail pages: report layout, print band, and field / label / image.
#include <QWidget>

class QLabel;
class QLineEdit;

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
