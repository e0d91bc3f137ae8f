#pragma once
// The benchmark cases; each prints its figures and records its targets.
#include "bench/harness.h"

namespace bench {

/// Tree build (1), selection (2) and memory per control node (5), on one generated store.
void runTreeCases(const Config &cfg);
/// Start-up of the whole program against a bare Qt window, both as processes (3).
void runStartupCases(const Config &cfg);
/// Loading the field-label cache and looking labels up, against a sorted array (4).
void runTextCases(const Config &cfg);

/// Import of a Paradox data directory against pxlib alone reading its largest table (6).
void runParadoxCases(const Config &cfg);

/// Redraw of the page preview on a keystroke in a control's width, against a plain widget (7).
void runPreviewCases(const Config &cfg);

/// The tree filter, keystroke by keystroke, against the bare search of the same texts (10).
void runFilterCases(const Config &cfg);

/// The editor on a server store against the same rows in an SQLite store (11).
void runServerCases(const Config &cfg);

/// The bare Qt program of case 3: shows one empty window and quits. Returns the exit code.
int runBareWindow(int argc, char **argv);

} // namespace bench
