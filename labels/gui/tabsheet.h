#pragma once
// A page of a QTabWidget that knows its own tab: its caption is the tab's text, and hiding the sheet
// hides its tab (QTabWidget shows and hides the page widgets itself, so plain hide() would not do).
#include <QWidget>

class QTabWidget;

namespace kvt {

class TabSheet : public QWidget {
    Q_OBJECT
public:
    explicit TabSheet(QWidget *parent = nullptr) : QWidget(parent) {}

    /// The tab widget this sheet is a page of, or null.
    QTabWidget *pageControl() const;
    QString caption() const;
    void setCaption(const QString &caption);
    bool tabVisible() const;
    void setTabVisible(bool on);
};

} // namespace kvt
