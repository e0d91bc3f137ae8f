#pragma once
// Tables written and read with pxlib itself, not through our library, so that reader and writer are
// not only checked against each other.
#include <QByteArray>
#include <QString>
#include <QVariant>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <vector>
extern "C" {
#include <paradox.h>
}

namespace pxdirect {

struct Col {
    const char *name;
    int type;
    int len;
};

// Values: QByteArray (alpha, bytes already in the table's code page), double, int, bool; invalid = empty.
inline void writeTable(const QString &path, const std::vector<Col> &cols, int keys,
                       const std::vector<std::vector<QVariant>> &rows, const char *password = nullptr)
{
    PX_boot();
    pxdoc_t *doc = PX_new();
    auto *pf = static_cast<pxfield_t *>(std::calloc(cols.size(), sizeof(pxfield_t)));
    int size = 0;
    for (size_t i = 0; i < cols.size(); ++i) {
        pf[i].px_fname = strdup(cols[i].name);
        pf[i].px_ftype = char(cols[i].type);
        pf[i].px_flen = cols[i].len;
        size += cols[i].len;
    }
    const QByteArray file = path.toLocal8Bit();
    if (PX_create_file(doc, pf, int(cols.size()), file.constData(), keys ? pxfFileTypIndexDB : pxfFileTypNonIndexDB) < 0)
        throw std::runtime_error("PX_create_file failed");
    PX_set_parameter(doc, "tablename", path.section('/', -1).toLatin1().constData());
    if (keys)
        PX_set_value(doc, "numprimkeys", float(keys));
    PX_set_value(doc, "codepage", 1252);
    if (password)
        PX_set_parameter(doc, "password", password);
    std::vector<char> rec(static_cast<size_t>(size));
    for (const auto &row : rows) {
        std::memset(rec.data(), 0, rec.size());
        int off = 0;
        for (size_t i = 0; i < cols.size(); ++i) {
            const QVariant &v = row[i];
            char *p = rec.data() + off;
            off += cols[i].len;
            if (!v.isValid())
                continue;
            switch (cols[i].type) {
            case pxfAlpha: {
                QByteArray b = v.toByteArray();
                PX_put_data_alpha(doc, p, cols[i].len, b.data());
                break;
            }
            case pxfNumber: PX_put_data_double(doc, p, 8, v.toDouble()); break;
            case pxfLong: PX_put_data_long(doc, p, 4, v.toInt()); break;
            case pxfLogical: PX_put_data_byte(doc, p, 1, v.toBool() ? 1 : 0); break;
            default: throw std::runtime_error("type not used here");
            }
        }
        if (PX_put_record(doc, rec.data()) < 0)
            throw std::runtime_error("PX_put_record failed");
    }
    PX_close(doc);
    PX_delete(doc);
}

// Every record of a table as pxlib gives it: alpha as raw bytes, numbers as double, long as int,
// logical as bool; an empty field as an invalid QVariant.
inline std::vector<std::vector<QVariant>> readTable(const QString &path, int *encrypted = nullptr, int *codepage = nullptr)
{
    PX_boot();
    pxdoc_t *doc = PX_new();
    const QByteArray file = path.toLocal8Bit();
    if (PX_open_file(doc, file.constData()) < 0)
        throw std::runtime_error("PX_open_file failed");
    pxhead_t *h = doc->px_head;
    if (encrypted)
        *encrypted = h->px_encryption != 0;
    if (codepage)
        *codepage = h->px_doscodepage;
    std::vector<std::vector<QVariant>> rows;
    std::vector<char> rec(static_cast<size_t>(h->px_recordsize));
    for (int r = 0; r < h->px_numrecords; ++r) {
        if (!PX_get_record(doc, r, rec.data()))
            throw std::runtime_error("PX_get_record failed");
        std::vector<QVariant> row;
        int off = 0;
        for (int i = 0; i < h->px_numfields; ++i) {
            pxfield_t &f = h->px_fields[i];
            char *p = rec.data() + off;
            off += f.px_flen;
            QVariant v;
            switch (f.px_ftype) {
            case pxfAlpha: {
                char *s = nullptr;
                if (PX_get_data_alpha(doc, p, f.px_flen, &s) > 0 && s) {
                    v = QByteArray(s);
                    doc->free(doc, s);
                }
                break;
            }
            case pxfNumber: {
                double d = 0;
                if (PX_get_data_double(doc, p, 8, &d) > 0)
                    v = d;
                break;
            }
            case pxfLong: {
                long n = 0;
                if (p[0] || p[1] || p[2] || p[3])
                    if (PX_get_data_long(doc, p, 4, &n) > 0)
                        v = int(n);
                break;
            }
            case pxfLogical: {
                char b = 0;
                if (PX_get_data_byte(doc, p, 1, &b) > 0)
                    v = b != 0;
                break;
            }
            default: break;
            }
            row.push_back(v);
        }
        rows.push_back(row);
    }
    PX_close(doc);
    PX_delete(doc);
    return rows;
}

} // namespace pxdirect
