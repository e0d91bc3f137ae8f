#pragma once
#include <QDir>
#include <QString>

// The sample folder lies beside the repository (shared/paradox-samples above the build tree), or
// where KVT_PARADOX_SAMPLES points.
inline QString samples()
{
    const QString env = qEnvironmentVariable("KVT_PARADOX_SAMPLES");
    if (!env.isEmpty())
        return env;
    QDir dir(QStringLiteral(KVT_BINARY_DIR));
    do {
        if (dir.exists(QStringLiteral("shared/paradox-samples")))
            return dir.filePath(QStringLiteral("shared/paradox-samples"));
    } while (dir.cdUp());
    return QStringLiteral("paradox-samples-not-found");
}
