#pragma once
// A font as the stored font spec strings describe it, free of any GUI type.
#include <QString>
#include <QtGlobal>

namespace kvt {

struct FontDesc {
    QString name;
    int size = 8;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeOut = false;
    /// 0x00BBGGRR for a direct colour; a system colour has the top bit set (clWindowText 0x80000008).
    qint32 color = 0;

    bool operator==(const FontDesc &o) const
    {
        return name == o.name && size == o.size && bold == o.bold && italic == o.italic &&
               underline == o.underline && strikeOut == o.strikeOut && color == o.color;
    }
    bool operator!=(const FontDesc &o) const { return !(*this == o); }
};

constexpr qint32 clWindowText = qint32(0x80000008u);

} // namespace kvt
