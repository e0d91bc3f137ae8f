#include "bench/cases.h"
#include "tools/datadir.h"
#include "tools/datadirparadox.h"
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <vector>
extern "C" {
#include <paradox.h>
}

namespace bench {

namespace {

/// pxlib alone: every record of the table read, and each field taken out with pxlib's own calls.
double pxlibReadAll(const QString &path, long &checksum)
{
    const auto t0 = Clock::now();
    pxdoc_t *doc = PX_new();
    const QByteArray file = QFile::encodeName(path);
    if (PX_open_file(doc, file.constData()) < 0) {
        PX_delete(doc);
        return -1;
    }
    pxhead_t *h = doc->px_head;
    std::vector<char> rec(static_cast<size_t>(h->px_recordsize));
    for (int r = 0; r < h->px_numrecords; ++r) {
        if (!PX_get_record(doc, r, rec.data()))
            break;
        int off = 0;
        for (int i = 0; i < h->px_numfields; ++i) {
            const pxfield_t &f = h->px_fields[i];
            char *p = rec.data() + off;
            off += f.px_flen;
            switch (f.px_ftype) {
            case pxfAlpha: {
                char *s = nullptr;
                if (PX_get_data_alpha(doc, p, f.px_flen, &s) > 0 && s) {
                    checksum += s[0];
                    doc->free(doc, s);
                }
                break;
            }
            case pxfNumber: {
                double d = 0;
                checksum += PX_get_data_double(doc, p, 8, &d);
                break;
            }
            case pxfLong: {
                long n = 0;
                checksum += PX_get_data_long(doc, p, 4, &n);
                break;
            }
            case pxfLogical: {
                char b = 0;
                checksum += PX_get_data_byte(doc, p, 1, &b);
                break;
            }
            default: break;
            }
        }
    }
    PX_close(doc);
    PX_delete(doc);
    return msSince(t0);
}

} // namespace

void runParadoxCases(const Config &cfg)
{
    QTemporaryDir tmp;
    const QString store = tmp.filePath(QStringLiteral("store")), px = tmp.filePath(QStringLiteral("px"));
    kvt::datadir::Options o;
    o.benchReports = cfg.reports;
    o.benchBands = cfg.bands;
    o.benchControls = cfg.controls;
    const auto t0 = Clock::now();
    QString error = kvt::datadir::create(store, o);
    if (error.isEmpty())
        error = kvt::datadir::exportParadox(store, px, {});
    if (!error.isEmpty()) {
        note(QStringLiteral("case 6 set-up failed: ") + error);
        target(QStringLiteral("Paradox import set up"), false);
        return;
    }
    note(QStringLiteral("case 6: exported %1 x %2 x %3 controls to Paradox tables in %4 ms")
             .arg(cfg.reports).arg(cfg.bands).arg(cfg.controls).arg(msSince(t0), 0, 'f', 0));

    int run = 0;
    bool imported = true;
    long checksum = 0;
    const Medians m = interleaved(
        cfg.runs,
        [&] {
            const QString dir = tmp.filePath(QStringLiteral("import%1").arg(run++));
            const auto s = Clock::now();
            const QString e = kvt::datadir::importParadox(px, dir, {});
            const double ms = msSince(s);
            imported = imported && e.isEmpty();
            if (!e.isEmpty())
                note(QStringLiteral("case 6 import failed: ") + e);
            QDir(dir).removeRecursively();
            return ms;
        },
        [&] { return pxlibReadAll(QDir(px).filePath(QStringLiteral("RepCtrl.DB")), checksum); });
    figure("paradox_import_ms", m.subject, "ms");
    figure("paradox_pxlib_read_ms", m.baseline, "ms");
    figure("paradox_import_ratio", m.ratio(), "x");
    target(QStringLiteral("Paradox import of the seven tables at most 2 x pxlib reading RepCtrl.DB (%1 x)")
               .arg(m.ratio(), 0, 'f', 2),
           imported && m.ratio() <= 2.0);
}

} // namespace bench
