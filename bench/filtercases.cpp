// Case 10: the tree filter, one keystroke at a time, against the bare search of the same texts.
#include "bench/cases.h"
#include "bench/fixture.h"
#include "editor/repmainfrm.h"
#include "editor/reporttree.h"
#include "editor/treefilter.h"
#include <QCoreApplication>
#include <QLineEdit>
#include <QTreeView>
#include <functional>

namespace bench {

namespace {

/// What is typed, one keystroke after the other: from every control found down to a few.
struct Word {
    const char *name;
    const char *text;
};
const Word Words[] = {
    {"word_control_name", "fld17:67"}, // the generated RctName "Fld17:67": one control per band in the end
    {"word_label", "field 17"},        // the label "Bench field 17": two controls per band
    {"word_report", "bench0042"},      // one report
};

/// The box's text set as a keystroke sets it, until the tree has been laid out and painted.
double keystroke(QLineEdit *box, QTreeView *view, const QString &text) {
    const auto t0 = Clock::now();
    box->setText(text);
    QCoreApplication::processEvents();
    view->viewport()->repaint();
    return msSince(t0);
}

} // namespace

void runFilterCases(const Config &cfg) {
    kvt::datadir::Options o;
    o.benchReports = cfg.reports;
    o.benchBands = cfg.bands;
    o.benchControls = cfg.controls;
    ProgramDir dir(o);
    const int controls = cfg.reports * cfg.bands * cfg.controls;
    note(QStringLiteral("filter: category of %1 control nodes").arg(controls));
    EditorSession ed(dir.path());
    kvt::TRepMainForm *w = ed.w;
    QLineEdit *box = w->Filter->box();
    kvt::RepTreeView *view = w->TreeView1;

    // The baseline: the bare search, every node's text and name in a list, each looked at with
    // QString::contains without regard to case, and nothing shown. (A QSortFilterProxyModel with
    // recursive filtering over a QStandardItemModel of the same texts took seconds per keystroke.)
    std::vector<QString> texts;
    {
        kvt::ReportTreeModel *full = w->TreeModel;
        full->readAllControls();
        for (int r = 0; r < full->rowCount(); ++r) {
            const QModelIndex rep = full->index(r, 0);
            texts.push_back(full->text(rep));
            for (int b = 0; b < full->rowCount(rep); ++b) {
                const QModelIndex band = full->index(b, 0, rep);
                texts.push_back(full->text(band));
                for (int c = 0; c < full->rowCount(band); ++c) {
                    const QModelIndex ctrl = full->index(c, 0, band);
                    texts.push_back(full->text(ctrl) + QLatin1Char('\n') + full->record(ctrl).RctName);
                }
            }
        }
        w->cmbRepCatClick(); // back to a tree whose bands are unread
    }

    // The first read of the category's names, as focusing the box starts it.
    std::vector<double> reads;
    for (int i = 0; i < std::max(1, cfg.runs); ++i) {
        w->Filter->invalidate();
        const auto t0 = Clock::now();
        w->Filter->readRows();
        reads.push_back(msSince(t0));
    }
    figure("filter_read_rows", median(reads), "ms");

    double worst = 0;
    for (const Word &word : Words) {
        const QString text = QString::fromLatin1(word.text);
        std::vector<double> mine, theirs;
        // Every run types the whole word and then empties the box again (not counted).
        const auto typeAll = [&](const std::function<double(const QString &)> &key, std::vector<double> &out) {
            double sum = 0, most = 0;
            for (int n = 1; n <= text.size(); ++n) {
                const double ms = key(text.left(n));
                sum += ms;
                most = std::max(most, ms);
            }
            out.push_back(most);
            return sum / text.size();
        };
        const Medians m = interleaved(
            cfg.runs,
            [&] {
                const double mean = typeAll([&](const QString &t) { return keystroke(box, view, t); }, mine);
                box->clear();
                QCoreApplication::processEvents();
                return mean;
            },
            [&] {
                const double mean = typeAll(
                    [&](const QString &t) {
                        const auto t0 = Clock::now();
                        int hits = 0;
                        for (const QString &s : texts)
                            hits += s.contains(t, Qt::CaseInsensitive) ? 1 : 0;
                        const double ms = msSince(t0);
                        if (hits < 0)
                            fail(QStringLiteral("impossible"));
                        return ms;
                    },
                    theirs);
                return mean;
            });
        const QByteArray base = QByteArray("filter_keystroke_") + word.name;
        figure(base.constData(), m.subject, "ms");
        figure((base + "_baseline").constData(), m.baseline, "ms");
        figure((base + "_ratio").constData(), m.ratio(), "x");
        const double slowest = median(mine);
        figure((base + "_slowest").constData(), slowest, "ms");
        figure((base + "_slowest_baseline").constData(), median(theirs), "ms");
        worst = std::max(worst, slowest);
    }
    // The check that the filter finds what it should, after the timing.
    box->setText(QStringLiteral("fld17:67"));
    QCoreApplication::processEvents();
    int found = 0;
    const QAbstractItemModel *m = view->model();
    for (int r = 0; r < m->rowCount(); ++r)
        for (int b = 0; b < m->rowCount(m->index(r, 0)); ++b)
            found += m->rowCount(m->index(b, 0, m->index(r, 0)));
    const int expected = cfg.controls >= 67 ? cfg.reports * cfg.bands : 0;
    if (found != expected)
        fail(QStringLiteral("the filter found %1 controls, expected %2").arg(found).arg(expected));
    box->clear();
    target(QStringLiteral("filter: every keystroke shown within 50 ms at %1 control nodes (slowest %2 ms)")
               .arg(controls)
               .arg(worst, 0, 'f', 1),
           worst <= 50.0);
}

} // namespace bench
