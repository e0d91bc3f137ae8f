#pragma once
#include <QString>

// The sample tables are kept with the tests (tests/data/paradox-samples), unless KVT_PARADOX_SAMPLES
// points elsewhere.
inline QString samples()
{
    const QString env = qEnvironmentVariable("KVT_PARADOX_SAMPLES");
    if (!env.isEmpty())
        return env;
    return QStringLiteral(KVT_SOURCE_DIR "/tests/data/paradox-samples");
}
