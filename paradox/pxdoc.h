#pragma once
// Internal: an owned pxlib document. pxlib reports errors through a callback; they are kept here
// and turned into Error by the caller once the call has returned (no exception crosses C code).
#include <QString>
#include <QStringList>
extern "C" {
#include <paradox.h>
}

extern "C" {
// Exported by pxlib but not declared in its header.
void px_decrypt_db_block(unsigned char *src, unsigned char *dest, unsigned long encryption,
                         unsigned long blocksize, unsigned long blockno);
void px_encrypt_mb_block(unsigned char *src, unsigned char *dest, unsigned long encryption,
                         unsigned long blocksize);
void px_decrypt_mb_block(unsigned char *src, unsigned char *dest, unsigned long encryption,
                         unsigned long blocksize);
}

namespace kvt::paradox {

class PxDoc {
public:
    PxDoc();
    ~PxDoc();
    PxDoc(const PxDoc &) = delete;
    PxDoc &operator=(const PxDoc &) = delete;

    pxdoc_t *get() const { return m_doc; }
    /// The messages pxlib gave since the last call, joined; cleared.
    QString takeErrors();
    /// Throws Error "<what> '<file>': <pxlib's message>" when rc < 0 or pxlib reported an error.
    void check(int rc, const QString &what, const QString &file);
    void free(void *p) const
    {
        if (p)
            m_doc->free(m_doc, p);
    }
    void markOpen() { m_open = true; }
    void close()
    {
        if (m_open)
            PX_close(m_doc);
        m_open = false;
    }

private:
    static void onError(pxdoc_t *, int level, const char *msg, void *data);
    pxdoc_t *m_doc = nullptr;
    bool m_open = false;
    QStringList m_errors;
};

} // namespace kvt::paradox
