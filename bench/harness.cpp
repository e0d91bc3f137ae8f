#include "bench/harness.h"
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <cstdio>

namespace bench {

bool Config::wants(int c) const {
    return std::find(cases.begin(), cases.end(), c) != cases.end();
}

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void figure(const char *name, double value, const char *unit, int decimals) {
    std::printf("%s: %.*f %s\n", name, decimals, value, unit);
    std::fflush(stdout);
}

void note(const QString &text) {
    std::fprintf(stderr, "# %s\n", qPrintable(text));
    std::fflush(stderr);
}

namespace {
QStringList &targets() {
    static QStringList t;
    return t;
}
int missed = 0;
} // namespace

void target(const QString &what, bool held) {
    targets() << QStringLiteral("%1: %2").arg(held ? QStringLiteral("held  ") : QStringLiteral("MISSED"),
                                              what);
    if (!held)
        ++missed;
}

int targetSummary() {
    for (const QString &t : targets())
        note(QStringLiteral("target ") + t);
    return missed;
}

Medians interleaved(int runs, const std::function<double()> &subject,
                    const std::function<double()> &baseline) {
    subject();
    baseline();
    std::vector<double> s, b;
    for (int i = 0; i < runs; ++i) {
        s.push_back(subject());
        b.push_back(baseline());
    }
    return {median(s), median(b)};
}

long statusKiB(const char *field) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    return -1;
}

bool resetPeakRss() {
    // "5" resets the high-water mark to the current resident size (Linux 4.0 and later).
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write("5") == 1;
}

} // namespace bench
