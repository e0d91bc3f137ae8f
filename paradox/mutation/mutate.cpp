// Mutation test: random bytes of the sample tables (and their blob files) are changed and each copy is
// read whole. Every run must end in a table read or in Error, never in a crash; built with
// AddressSanitizer, which stops the process at the first bad memory access.
#include "paradox/paradox.h"
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>

using namespace kvt::paradox;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: kvt-paradox-mutate SAMPLEDIR [RUNS] [SEED]\n");
        return 2;
    }
    const int runs = args.size() > 2 ? args[2].toInt() : 3000;
    const quint32 seed = args.size() > 3 ? args[3].toUInt() : 12;
    QRandomGenerator rng(seed);

    QStringList tables;
    QDirIterator it(args[1], QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString f = it.next();
        if (f.endsWith(QLatin1String(".db"), Qt::CaseInsensitive))
            tables << f;
    }
    tables.sort();
    if (tables.isEmpty()) {
        std::fprintf(stderr, "no tables in %s\n", qPrintable(args[1]));
        return 2;
    }
    QTemporaryDir tmp;
    int failures = 0, read = 0;
    for (int run = 0; run < runs; ++run) {
        const QString src = tables[int(rng.bounded(qsizetype(tables.size())))];
        const QString mbSrc = companionPath(src, "MB");
        QFile in(src);
        in.open(QIODevice::ReadOnly);
        QByteArray db = in.readAll();
        QByteArray mb;
        if (QFile::exists(mbSrc)) {
            QFile m(mbSrc);
            m.open(QIODevice::ReadOnly);
            mb = m.readAll();
        }
        // Mostly the header and first blocks, where pxlib takes sizes and counts from.
        QByteArray &target = (!mb.isEmpty() && rng.bounded(4) == 0) ? mb : db;
        const int changes = 1 + int(rng.bounded(8));
        for (int c = 0; c < changes && !target.isEmpty(); ++c) {
            const int span = rng.bounded(3) == 0 ? int(target.size()) : qMin(int(target.size()), 4096);
            target[int(rng.bounded(span))] = char(rng.bounded(256));
        }
        if (rng.bounded(20) == 0)
            db.truncate(int(rng.bounded(qsizetype(db.size()))));
        const QString path = tmp.filePath(QStringLiteral("T%1.DB").arg(run));
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write(db);
        out.close();
        if (!mb.isEmpty()) {
            QFile outMb(companionPath(path, "MB"));
            outMb.open(QIODevice::WriteOnly);
            outMb.write(mb);
        }
        try {
            Reader r(path);
            for (int i = 0; i < r.recordCount(); ++i)
                r.record(i);
            ++read;
        } catch (const Error &e) {
            if (!e.message().contains(path))
                std::fprintf(stderr, "run %d: message does not name the file: %s\n", run, qPrintable(e.message()));
            ++failures;
        }
        QFile::remove(path);
        QFile::remove(companionPath(path, "MB"));
    }
    std::printf("%d runs: %d read whole, %d refused with a message, no crash\n", runs, read, failures);
    return 0;
}
