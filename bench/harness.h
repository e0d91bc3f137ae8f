#pragma once
// A small timing harness: interleaved runs of a case and its baseline, medians, figure lines.
#include <QString>
#include <chrono>
#include <functional>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}
inline double msSince(Clock::time_point t0) {
    return msBetween(t0, Clock::now());
}

/// Sizes and repetitions of one invocation.
struct Config {
    bool quick = false;
    int runs = 5;
    int reports = 100, bands = 10, controls = 100;
    int selections = 1000;
    int textRows = 10000;
    int lookups = 1000000;
    QString benchExe;  // this program, started again for the bare window
    QString editorExe; // kvt-report-editor beside it
    QString bigData;   // a data directory with the 1,000,000-node category (--big), made when empty
    std::vector<int> cases{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    bool wants(int c) const;
};

double median(std::vector<double> v);

/// One line "name: value unit" on standard output.
void figure(const char *name, double value, const char *unit, int decimals = 2);
/// A note on standard error (set-up, checks), kept out of the figures.
void note(const QString &text);
/// Records whether a target holds; summarised at the end.
void target(const QString &what, bool held);
/// Prints the target summary to standard error; returns the number of targets missed.
int targetSummary();

struct Medians {
    double subject = 0;
    double baseline = 0;
    double ratio() const { return baseline > 0 ? subject / baseline : 0; }
};

/// One warm-up of each, then runs pairs (subject, baseline) in turn, so both see the same machine
/// state; each function returns the milliseconds it measured itself.
Medians interleaved(int runs, const std::function<double()> &subject,
                    const std::function<double()> &baseline);

/// A field of /proc/self/status in KiB ("VmRSS", "VmHWM"); -1 when unreadable.
long statusKiB(const char *field);
/// Resets the peak resident size to the current one; false when the kernel refuses.
bool resetPeakRss();

} // namespace bench
