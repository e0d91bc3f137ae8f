#include "app/config.h"
#include "app/datamodule.h"
#include "bench/cases.h"
#include "bench/fixture.h"
#include "labels/lookups.h"
#include "labels/textcache.h"
#include <QCollator>
#include <QLocale>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <memory>
#include <random>

namespace bench {

namespace {

/// Field-like names of varied shape, so the comparisons see realistic prefixes.
QStringList fieldNames(int count) {
    static const char *const heads[] = {"Cust", "Item",  "Order", "Rep",  "Price", "Qty",  "Addr", "Doc",
                                        "Supp", "Stock", "Tax",   "Curr", "Pay",   "Ship", "Vend", "Note"};
    static const char *const tails[] = {"Name", "No",    "Date", "Desc", "Code", "Amount",
                                        "Text", "Group", "Ref",  "Type", "Flag", "Value"};
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("%1%2%3")
                     .arg(QLatin1String(heads[i % 16]), QLatin1String(tails[(i / 16) % 12]))
                     .arg(i);
    return names;
}

/// Keys of the lookups: the names in a shuffled order, every fourth in capitals, every tenth missing.
std::vector<QString> lookupKeys(const QStringList &names, int count) {
    std::vector<int> order(size_t(names.size()));
    for (int i = 0; i < names.size(); ++i)
        order[size_t(i)] = i;
    std::mt19937 rng(7);
    std::shuffle(order.begin(), order.end(), rng);
    std::vector<QString> keys;
    keys.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        if (i % 10 == 9)
            keys.push_back(QStringLiteral("NoSuchField%1").arg(i % 1000));
        else if (i % 4 == 3)
            keys.push_back(names[order[size_t(i) % order.size()]].toUpper());
        else
            keys.push_back(names[order[size_t(i) % order.size()]]);
    }
    return keys;
}

struct Row {
    QString name, label, clmLabel;
    int clmWidth = 0;
    bool incYes = false;
};

/// The bare counterpart of the cache: rows read with plain Qt SQL into a vector, sorted once, searched
/// with std::lower_bound under a comparison of the same rule (locale-aware, ignoring case).
template <class Less> class SortedArray {
public:
    explicit SortedArray(Less less) : m_less(less) {}

    double load(QSqlDatabase db) {
        const auto t0 = Clock::now();
        m_rows.clear();
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral(
                "select TxfName, TxfLabel, TxfClmLabel, TxfClmWidth, TxfIncYes from TextField")))
            fail(q.lastError().text());
        while (q.next())
            m_rows.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                              q.value(3).toInt(), q.value(4).toBool()});
        std::sort(m_rows.begin(), m_rows.end(),
                  [this](const Row &a, const Row &b) { return m_less(a.name, b.name); });
        return msSince(t0);
    }

    int get(const QString &key, QString &label) const {
        const auto it =
            std::lower_bound(m_rows.begin(), m_rows.end(), key,
                             [this](const Row &r, const QString &k) { return m_less(r.name, k); });
        if (it != m_rows.end() && !m_less(key, it->name)) {
            label = it->label;
            return 1;
        }
        label = QStringLiteral("#E:") + key;
        return 0;
    }

    size_t size() const { return m_rows.size(); }

private:
    Less m_less;
    std::vector<Row> m_rows;
};

template <class Lookup> double lookUp(const std::vector<QString> &keys, Lookup lookup, qint64 &sink) {
    QString label;
    const auto t0 = Clock::now();
    for (const QString &k : keys) {
        sink += lookup(k, label);
        sink += label.size();
    }
    return msSince(t0);
}

} // namespace

void runTextCases(const Config &cfg) {
    ProgramDir dir{kvt::datadir::Options()};
    const QStringList names = fieldNames(cfg.textRows);
    {
        BareConnection c(dir.dataDir());
        QSqlDatabase db = c.db();
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("insert into TextField values (?, ?, ?, ?, ?)"));
        for (int i = 0; i < names.size(); ++i) {
            q.addBindValue(names[i]);
            q.addBindValue(QStringLiteral("Label of %1").arg(names[i]));
            q.addBindValue(QStringLiteral("Clm %1").arg(i));
            q.addBindValue(40 + i % 60);
            q.addBindValue(i % 7 != 0);
            if (!q.exec())
                fail(q.lastError().text());
        }
        q = QSqlQuery();
        db.commit();
    }
    const std::vector<QString> keys = lookupKeys(names, cfg.lookups);
    note(QStringLiteral("text: %1 TextField rows, %2 lookups (10% missing, 22.5% in capitals)")
             .arg(cfg.textRows)
             .arg(cfg.lookups));

    kvt::setProgramDirForTesting(dir.path());
    forgetTexts();
    kvt::DM1 = new kvt::TDM1();
    if (!kvt::DataDirsSetup())
        fail(QStringLiteral("the data directories could not be set up"));
    BareConnection bare(dir.dataDir());

    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto localeLess = [&collator](const QString &a, const QString &b) {
        return collator.compare(a, b) < 0;
    };
    const auto ordinalLess = [](const QString &a, const QString &b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    };
    SortedArray<decltype(localeLess)> array(localeLess);
    SortedArray<decltype(ordinalLess)> ordinal(ordinalLess);

    std::unique_ptr<kvt::TxtFldLstClass> cache;
    const Medians load = interleaved(
        cfg.runs,
        [&] {
            cache.reset();
            const auto t0 = Clock::now();
            cache = std::make_unique<kvt::TxtFldLstClass>();
            return msSince(t0);
        },
        [&] { return array.load(bare.db()); });
    ordinal.load(bare.db());
    if (cache->count() != cfg.textRows || int(array.size()) != cfg.textRows)
        fail(QStringLiteral("the cache holds %1 rows, expected %2").arg(cache->count()).arg(cfg.textRows));

    // Both must answer alike before their times mean anything.
    for (size_t i = 0; i < std::min<size_t>(keys.size(), 20000); ++i) {
        QString a, b;
        const int ra = kvt::labelTextGet(cache.get(), keys[i], a);
        const int rb = array.get(keys[i], b);
        if (ra != rb || a != b)
            fail(QStringLiteral("cache and array differ on '%1': %2 '%3' / %4 '%5'")
                     .arg(keys[i])
                     .arg(ra)
                     .arg(a)
                     .arg(rb)
                     .arg(b));
    }

    qint64 sinkCache = 0, sinkArray = 0, sinkOrdinal = 0;
    const kvt::TxtFldLstClass *c = cache.get();
    const Medians look = interleaved(
        cfg.runs,
        [&] {
            return lookUp(
                keys, [c](const QString &k, QString &l) { return kvt::labelTextGet(c, k, l); }, sinkCache);
        },
        [&] {
            return lookUp(
                keys, [&](const QString &k, QString &l) { return array.get(k, l); }, sinkArray);
        });
    std::vector<double> ord;
    for (int i = 0; i < cfg.runs; ++i)
        ord.push_back(lookUp(
            keys, [&](const QString &k, QString &l) { return ordinal.get(k, l); }, sinkOrdinal));
    if (sinkCache != sinkArray)
        fail(QStringLiteral("cache and array lookups gave different results"));

    figure("text_rows", cfg.textRows, "rows", 0);
    figure("text_load_cache", load.subject, "ms", 2);
    figure("text_load_baseline", load.baseline, "ms", 2);
    figure("text_load_ratio", load.ratio(), "x");
    figure("text_lookups", double(keys.size()), "lookups", 0);
    figure("text_lookups_cache", look.subject, "ms", 1);
    figure("text_lookups_baseline", look.baseline, "ms", 1);
    figure("text_lookups_ratio", look.ratio(), "x");
    figure("text_lookup_cache_each", look.subject * 1e6 / double(keys.size()), "ns", 0);
    figure("text_lookups_ordinal_baseline", median(ord), "ms", 1);
    figure("text_total_ratio", (load.subject + look.subject) / (load.baseline + look.baseline), "x");
    target(QStringLiteral("text lookups %1 x baseline <= 2").arg(look.ratio(), 0, 'f', 2),
           look.ratio() <= 2.0);
    target(QStringLiteral("text load %1 x baseline <= 2").arg(load.ratio(), 0, 'f', 2), load.ratio() <= 2.0);

    cache.reset();
    delete kvt::DM1;
    kvt::DM1 = nullptr;
    forgetTexts();
    kvt::setProgramDirForTesting(QString());
}

} // namespace bench
