#include "bench/cases.h"
#include "bench/fixture.h"
#include "dbwidgets/dbedit.h"
#include "editor/detailpages.h"
#include "editor/pagepreview.h"
#include "editor/repmainfrm.h"
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollArea>
#include <QVBoxLayout>

namespace bench {

namespace {

/// Sends one key press and release to w, as typing does.
void typeKey(QWidget *w, Qt::Key key, const QString &text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(w, &release);
}

/// Lets the event loop run until paintCount() has moved on; false if it never does.
template <typename F> bool waitForPaint(F paintCount, int before) {
    for (int i = 0; i < 100; ++i) {
        QCoreApplication::processEvents();
        if (paintCount() != before)
            return true;
    }
    return false;
}

/// The limit of the design: the same rectangles and texts, placed once beforehand, drawn by a plain
/// widget on every keystroke of a plain edit.
class BarePreview : public QWidget {
public:
    struct Item {
        QRectF rect;
        QString text;
        QFont font;
    };
    std::vector<Item> items;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *event) override {
        ++paints;
        QPainter p(this);
        p.fillRect(event->rect(), Qt::white);
        const QRectF clip(event->rect());
        p.setPen(Qt::black);
        for (const Item &i : items) {
            if (!i.rect.intersects(clip))
                continue;
            p.drawRect(i.rect);
            p.setFont(i.font);
            p.drawText(i.rect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, i.text);
        }
    }
};

} // namespace

void runPreviewCases(const Config &cfg) {
    kvt::datadir::Options o;
    o.benchReports = 1;
    o.benchBands = cfg.quick ? 5 : 10;
    o.benchControls = cfg.quick ? 20 : 100;
    ProgramDir dir(o);
    note(QStringLiteral("preview: a report of %1 bands x %2 controls").arg(o.benchBands).arg(o.benchControls));
    EditorSession ed(dir.path());
    kvt::TRepMainForm *w = ed.w;
    w->setPreviewShown(true);
    kvt::PagePreview *pv = w->Preview->preview();
    if (!w->selectNodeByName(QStringLiteral("Bench0001"), QStringLiteral("Band001"), QStringLiteral("Fld1:1")))
        fail(QStringLiteral("the first control of the report could not be selected"));
    for (int i = 0; i < 100 && (pv->readPending() || pv->selectedControl() == nullptr); ++i)
        QCoreApplication::processEvents();
    if (!pv->selectedControl())
        fail(QStringLiteral("the preview shows no selected control"));
    int placed = 0;
    for (const kvt::reportdef::BandPlace &b : pv->pageLayout().bands)
        placed += int(b.controls.size());
    note(QStringLiteral("preview: %1 controls placed on %2 pages, panel %3 x %4")
             .arg(placed)
             .arg(pv->pageLayout().pageCount)
             .arg(w->Preview->width())
             .arg(w->Preview->height()));

    kvt::DbEdit *width = w->ctrlPage->EdtRctWidth;
    width->setFocus();
    const int keys = cfg.quick ? 20 : 100;
    const QString digits = QStringLiteral("1234567890");
    // One keystroke: the width typed anew, then the preview's next paint.
    const auto editorRun = [&] {
        double total = 0;
        for (int k = 0; k < keys; ++k) {
            width->selectAll();
            const QString d = digits.mid(k % 10, 1);
            const int before = pv->paintCount();
            const auto t0 = Clock::now();
            typeKey(width, Qt::Key(Qt::Key_0 + d.toInt()), d);
            if (!waitForPaint([&] { return pv->paintCount(); }, before))
                fail(QStringLiteral("the preview did not repaint after a keystroke"));
            total += msSince(t0);
            const double shown = pv->selectedControl()->frame.width() / pv->selectedBand()->frame.width() * 100;
            if (std::abs(shown - d.toInt()) > 1e-6)
                fail(QStringLiteral("the preview shows a width of %1 after typing %2").arg(shown).arg(d));
        }
        return total / keys;
    };

    // The baseline: a window of the same size with a plain edit and the same items in a scroll area.
    QWidget bareWindow;
    auto *layout = new QVBoxLayout(&bareWindow);
    auto *bareEdit = new QLineEdit(&bareWindow);
    auto *area = new QScrollArea(&bareWindow);
    auto *bare = new BarePreview;
    layout->addWidget(bareEdit);
    layout->addWidget(area);
    bare->resize(pv->size());
    kvt::PreviewFonts fonts;
    for (const kvt::reportdef::BandPlace &b : pv->pageLayout().bands)
        for (const kvt::reportdef::ControlPlace &c : b.controls) {
            const kvt::reportdef::PreviewControl &row = pv->report().bands[size_t(b.band)].controls[size_t(c.control)];
            bare->items.push_back({pv->toWidget(b.page, c.frame), row.label, fonts.font(row.labelFont, pv->scale())});
        }
    area->setWidget(bare);
    bareWindow.resize(w->Preview->width(), w->Preview->height() + bareEdit->sizeHint().height());
    bareWindow.show();
    QCoreApplication::processEvents();
    QObject::connect(bareEdit, &QLineEdit::textEdited, bare, [bare] { bare->update(); });
    bareEdit->setFocus();
    const auto baselineRun = [&] {
        double total = 0;
        for (int k = 0; k < keys; ++k) {
            bareEdit->selectAll();
            const QString d = digits.mid(k % 10, 1);
            const int before = bare->paints;
            const auto t0 = Clock::now();
            typeKey(bareEdit, Qt::Key(Qt::Key_0 + d.toInt()), d);
            if (!waitForPaint([&] { return bare->paints; }, before))
                fail(QStringLiteral("the baseline did not repaint after a keystroke"));
            total += msSince(t0);
        }
        return total / keys;
    };

    const Medians m = interleaved(cfg.runs, editorRun, baselineRun);
    // For context: reading the report's rows again, as after a post or on a change of report.
    std::vector<double> reads;
    for (int i = 0; i < cfg.runs; ++i) {
        const int before = pv->readCount();
        const auto t0 = Clock::now();
        pv->reload();
        for (int k = 0; k < 100 && pv->readCount() == before; ++k)
            QCoreApplication::processEvents();
        reads.push_back(msSince(t0));
    }
    figure("preview_keystrokes", keys, "keystrokes", 0);
    figure("preview_redraw_editor", m.subject, "ms", 3);
    figure("preview_redraw_baseline", m.baseline, "ms", 3);
    figure("preview_redraw_ratio", m.ratio(), "x");
    figure("preview_read_report", median(reads), "ms", 2);
    target(QStringLiteral("preview redraw %1 ms < 16").arg(m.subject, 0, 'f', 2), m.subject < 16.0);
    w->TblRepCtrl->cancel();
}

} // namespace bench
