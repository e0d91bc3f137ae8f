#include "labels/textcache.h"
#include "app/datamodule.h"
#include "common/genericaccess.h"
#include "common/reporterror.h"
#include "engine/errors.h"
#include <QCollator>
#include <QLocale>
#include <utility>

namespace kvt {

TxtFldLstClass *txtFldLst = nullptr;
TxtBtnLstClass *txtBtnLst = nullptr;
TxtMsgLstClass *txtMsgLst = nullptr;

int textCompare(const QString &a, const QString &b)
{
    // Built once: a collator is costly to set up and every probe of every search uses it.
    static const QCollator collator = [] {
        QCollator c{QLocale()};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    return collator.compare(a, b);
}

QString textFolded(const QString &text)
{
    static const QLocale locale;
    // The locale's own lower case first (a Turkish dotted capital I), then the folding of what
    // is left, letter for letter.
    return locale.toLower(text).toCaseFolded();
}

bool textContains(const QString &text, const QString &part)
{
    return textFolded(text).contains(textFolded(part));
}

template <class Row>
TextList<Row>::~TextList()
{
    for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it)
        it->row.reset();
}

template <class Row>
void TextList<Row>::add(const QString &name, std::unique_ptr<Row> row)
{
    m_entries.push_back({name, std::move(row)});
}

template <class Row>
void TextList<Row>::sort()
{
    if (m_entries.size() >= 2)
        quickSort(0, count() - 1);
}

template <class Row>
void TextList<Row>::quickSort(int lo, int hi)
{
    while (lo < hi) {
        const QString pivot = m_entries[size_t((lo + hi) / 2)].name;
        int i = lo;
        int j = hi;
        while (i <= j) {
            while (textCompare(m_entries[size_t(i)].name, pivot) < 0)
                ++i;
            while (textCompare(m_entries[size_t(j)].name, pivot) > 0)
                --j;
            if (i <= j) {
                if (i != j)
                    std::swap(m_entries[size_t(i)], m_entries[size_t(j)]);
                ++i;
                --j;
            }
        }
        // Recurse into the smaller part and loop on the larger, so the stack stays logarithmic.
        if (j - lo < hi - i) {
            quickSort(lo, j);
            lo = i;
        } else {
            quickSort(i, hi);
            hi = j;
        }
    }
}

template <class Row>
int TextList<Row>::find(const QString &name) const
{
    int low = 0;
    int high = count() - 1;
    while (low <= high) {
        const int mid = (low + high) / 2;
        const int c = textCompare(m_entries[size_t(mid)].name, name);
        if (c < 0) {
            low = mid + 1;
        } else {
            high = mid - 1;
            if (c == 0)
                return mid;
        }
    }
    return -1;
}

template class TextList<TextFieldClass>;
template class TextList<TextBtnClass>;
template class TextList<TextMsgClass>;

namespace {

struct LoadLines {
    int busy;
    int open;
    int access;
};

void closeQuietly(Table &t)
{
    try {
        t.close();
    } catch (const std::exception &) {
        // Closing after a failure: the first error is the one worth reporting.
    }
}

/// Reads one text table through TblGeneric into list, under the generic table rule.
template <class Row, class Read>
void loadTable(TextList<Row> &list, const QString &fileName, LoadLines lines, Read read)
{
    if (!DM1) {
        const FrameworkError e(QStringLiteral("The data module does not exist"));
        ReportError(labelsUnit(), lines.open, &e, QStringLiteral("Failed to open table '%1'.").arg(fileName));
        return;
    }
    Table &t = *DM1->TblGeneric;
    if (t.isOpen()) {
        ReportError(labelsUnit(), lines.busy, nullptr,
                    QStringLiteral("Table TblGeneric is used with '%1'.").arg(t.tableName()));
        return;
    }
    try {
        openGenericTable(fileName);
    } catch (const std::exception &e) {
        closeQuietly(t);
        ReportError(labelsUnit(), lines.open, &e, QStringLiteral("Failed to open table '%1'.").arg(fileName));
        return;
    }
    try {
        for (t.first(); !t.eof(); t.next()) {
            auto row = std::make_unique<Row>();
            const QString name = read(t, *row);
            list.add(name, std::move(row));
        }
        t.close();
    } catch (const std::exception &e) {
        ReportError(labelsUnit(), lines.access, &e, QStringLiteral("Failed to access table '%1'.").arg(fileName));
        closeQuietly(t);
    }
    list.sort();
}

} // namespace

TxtFldLstClass::TxtFldLstClass()
{
    loadTable(*this, QStringLiteral("TextField.DB"), {42, 53, 72}, [](Table &t, TextFieldClass &r) {
        r.TxfName = t.fieldByName(QStringLiteral("TxfName"))->asString();
        r.TxfLabel = t.fieldByName(QStringLiteral("TxfLabel"))->asString();
        r.TxfClmLabel = t.fieldByName(QStringLiteral("TxfClmLabel"))->asString();
        r.TxfClmWidth = t.fieldByName(QStringLiteral("TxfClmWidth"))->asInteger();
        r.TxfIncYes = t.fieldByName(QStringLiteral("TxfIncYes"))->asBoolean();
        return r.TxfName;
    });
}

TxtBtnLstClass::TxtBtnLstClass()
{
    loadTable(*this, QStringLiteral("TextBtn.DB"), {260, 271, 288}, [](Table &t, TextBtnClass &r) {
        r.TxbName = t.fieldByName(QStringLiteral("TxbName"))->asString();
        r.TxbLabel = t.fieldByName(QStringLiteral("TxbLabel"))->asString();
        r.TxbHint = t.fieldByName(QStringLiteral("TxbHint"))->asString();
        return r.TxbName;
    });
}

TxtMsgLstClass::TxtMsgLstClass()
{
    loadTable(*this, QStringLiteral("TextMsg.DB"), {373, 384, 400}, [](Table &t, TextMsgClass &r) {
        r.TxmName = t.fieldByName(QStringLiteral("TxmName"))->asString();
        r.TxmText = t.fieldByName(QStringLiteral("TxmText"))->asString();
        return r.TxmName;
    });
}

} // namespace kvt
