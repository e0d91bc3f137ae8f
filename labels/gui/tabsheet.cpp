#include "labels/gui/tabsheet.h"
#include <QTabWidget>

namespace kvt {

QTabWidget *TabSheet::pageControl() const
{
    for (QObject *p = parent(); p; p = p->parent())
        if (auto *tw = qobject_cast<QTabWidget *>(p))
            return tw;
    return nullptr;
}

QString TabSheet::caption() const
{
    QTabWidget *tw = pageControl();
    const int i = tw ? tw->indexOf(const_cast<TabSheet *>(this)) : -1;
    return i >= 0 ? tw->tabText(i) : windowTitle();
}

void TabSheet::setCaption(const QString &caption)
{
    setWindowTitle(caption);
    QTabWidget *tw = pageControl();
    const int i = tw ? tw->indexOf(this) : -1;
    if (i >= 0)
        tw->setTabText(i, caption);
}

bool TabSheet::tabVisible() const
{
    QTabWidget *tw = pageControl();
    const int i = tw ? tw->indexOf(const_cast<TabSheet *>(this)) : -1;
    return i >= 0 && tw->isTabVisible(i);
}

void TabSheet::setTabVisible(bool on)
{
    QTabWidget *tw = pageControl();
    const int i = tw ? tw->indexOf(this) : -1;
    // The tab widget lays itself out again on every call, even when nothing changes.
    if (i >= 0 && tw->isTabVisible(i) != on)
        tw->setTabVisible(i, on);
}

} // namespace kvt
