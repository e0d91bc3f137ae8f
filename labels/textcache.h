#pragma once
// In-memory copies of the three text tables, sorted by name and searched without regard to case.
#include <QString>
#include <memory>
#include <vector>

namespace kvt {

/// Source unit name used in every report of the text caches, lookups and captioning.
inline QString labelsUnit() { return QStringLiteral("LabelsUnt"); }

/// Locale-aware, case-insensitive comparison (user's default locale); negative, 0 or positive.
/// Sorting and searching both use it, so a sorted list can be searched with it.
int textCompare(const QString &a, const QString &b);

/// The text with case taken out by the same rule (user's default locale), letter for letter: two
/// names that differ only in case fold to the same text, compared character for character.
QString textFolded(const QString &text);
/// Whether part occurs in text without regard to case, by the rule of textCompare.
bool textContains(const QString &text, const QString &part);

/// A row of TextField.DB.
class TextFieldClass {
public:
    QString TxfName;
    QString TxfLabel;
    QString TxfClmLabel;
    qint32 TxfClmWidth = 0;
    bool TxfIncYes = false;
};

/// A row of TextBtn.DB (description and category are never read).
class TextBtnClass {
public:
    QString TxbName;
    QString TxbLabel;
    QString TxbHint;
};

/// A row of TextMsg.DB (description is never read).
class TextMsgClass {
public:
    QString TxmName;
    QString TxmText;
};

/// A list of (name, row) entries that owns its rows. Insertions never reject a name, so a name may
/// occur more than once; lookups assume the list has been sorted after the last insertion.
template <class Row>
class TextList {
public:
    struct Entry {
        QString name;
        std::unique_ptr<Row> row;
    };

    TextList() = default;
    ~TextList();
    TextList(const TextList &) = delete;
    TextList &operator=(const TextList &) = delete;

    int count() const { return int(m_entries.size()); }
    const QString &name(int i) const { return m_entries[size_t(i)].name; }
    Row *row(int i) const { return m_entries[size_t(i)].row.get(); }

    /// Appends without sorting.
    void add(const QString &name, std::unique_ptr<Row> row);
    /// Quicksort of all entries by name; the order of equal names is not defined.
    void sort();
    /// Binary search: index of an entry with this name, or -1.
    int find(const QString &name) const;
    Row *search(const QString &name) const
    {
        const int i = find(name);
        return i < 0 ? nullptr : row(i);
    }

private:
    void quickSort(int lo, int hi);
    std::vector<Entry> m_entries;
};

/// Cache of TextField.DB; the constructor loads it (failures are reported, the cache may stay empty).
class TxtFldLstClass : public TextList<TextFieldClass> {
public:
    TxtFldLstClass();
};

/// Cache of TextBtn.DB.
class TxtBtnLstClass : public TextList<TextBtnClass> {
public:
    TxtBtnLstClass();
};

/// Cache of TextMsg.DB.
class TxtMsgLstClass : public TextList<TextMsgClass> {
public:
    TxtMsgLstClass();
};

/// The process-wide caches: null until the first captioning creates them, never replaced afterwards.
extern TxtFldLstClass *txtFldLst;
extern TxtBtnLstClass *txtBtnLst;
extern TxtMsgLstClass *txtMsgLst;

} // namespace kvt
