#include "paradox/pxdoc.h"
#include "paradox/paradox.h"
#include <cstdlib>
#include <mutex>

namespace kvt::paradox {
namespace {
void *pxMalloc(pxdoc_t *, size_t size, const char *) { return std::malloc(size); }
void *pxRealloc(pxdoc_t *, void *mem, size_t size, const char *) { return std::realloc(mem, size); }
void pxFree(pxdoc_t *, void *mem) { std::free(mem); }
} // namespace

PxDoc::PxDoc()
{
    static std::once_flag booted;
    std::call_once(booted, [] { PX_boot(); });
    m_doc = PX_new3(&PxDoc::onError, pxMalloc, pxRealloc, pxFree, this);
    if (!m_doc)
        throw Error(QStringLiteral("Out of memory"));
}

PxDoc::~PxDoc()
{
    if (m_open)
        PX_close(m_doc);
    PX_delete(m_doc);
}

void PxDoc::onError(pxdoc_t *, int level, const char *msg, void *data)
{
    auto *self = static_cast<PxDoc *>(data);
    if (level != PX_Warning && self)
        self->m_errors << QString::fromLocal8Bit(msg).trimmed();
}

QString PxDoc::takeErrors()
{
    const QString s = m_errors.join(QStringLiteral("; "));
    m_errors.clear();
    return s;
}

void PxDoc::check(int rc, const QString &what, const QString &file)
{
    const QString errors = takeErrors();
    if (rc >= 0 && errors.isEmpty())
        return;
    throw Error(QStringLiteral("%1 '%2': %3").arg(what, file, errors.isEmpty() ? QStringLiteral("failed") : errors));
}

} // namespace kvt::paradox
