#include "labels/lookups.h"
#include "app/datamodule.h"
#include "common/genericaccess.h"
#include "common/reporterror.h"
#include "engine/errors.h"

namespace kvt {

namespace {

template <class Row>
Row *searchIn(const TextList<Row> *cache, const QString &key)
{
    return cache ? cache->search(key) : nullptr;
}

} // namespace

int labelGet(const TxtFldLstClass *cache, const QString &component, const QString &key, QString &label)
{
    if (const TextFieldClass *r = searchIn(cache, key)) {
        label = r->TxfLabel;
        return r->TxfIncYes ? 1 : 0;
    }
    label = missMarker() + component;
    return 1;
}

int labelsIncGet(const TxtFldLstClass *cache, const QString &key, QString &label, QString &clmLabel)
{
    if (const TextFieldClass *r = searchIn(cache, key)) {
        label = r->TxfLabel;
        clmLabel = r->TxfClmLabel;
        return r->TxfIncYes ? 1 : 0;
    }
    label = missMarker() + key;
    clmLabel = label;
    return 1;
}

int labelTextGet(const TxtFldLstClass *cache, const QString &key, QString &label)
{
    if (const TextFieldClass *r = searchIn(cache, key)) {
        label = r->TxfLabel;
        return 1;
    }
    label = missMarker() + key;
    return 0;
}

int shortLabelGet(const TxtFldLstClass *cache, const QString &component, const QString &key, QString &clmLabel)
{
    if (const TextFieldClass *r = searchIn(cache, key)) {
        clmLabel = r->TxfClmLabel;
        return r->TxfIncYes ? 1 : 0;
    }
    clmLabel = missMarker() + component;
    return 1;
}

void labelsIncSet(TxtFldLstClass *cache, const QString &key, bool include)
{
    if (TextFieldClass *r = searchIn(cache, key))
        r->TxfIncYes = include;
}

void labelAdd(TxtFldLstClass *cache, const QString &name, const QString &label, const QString &clmLabel,
              qint32 clmWidth, bool include)
{
    if (!cache)
        return;
    auto r = std::make_unique<TextFieldClass>();
    r->TxfName = name;
    r->TxfLabel = label;
    r->TxfClmLabel = clmLabel;
    r->TxfClmWidth = clmWidth;
    r->TxfIncYes = include;
    cache->add(name, std::move(r));
    cache->sort();
}

int ctrlInfoGet(const TxtBtnLstClass *cache, const QString &component, const QString &key, QString &label,
                QString &hint)
{
    if (const TextBtnClass *r = searchIn(cache, key)) {
        label = r->TxbLabel;
        hint = r->TxbHint;
        return 1;
    }
    label = missMarker() + component;
    return 0;
}

int btnLabelGet(const TxtBtnLstClass *cache, const QString &key, QString &label)
{
    if (const TextBtnClass *r = searchIn(cache, key)) {
        label = r->TxbLabel;
        return 1;
    }
    label = key;
    return 0;
}

int btnHintGet(const TxtBtnLstClass *cache, const QString &key, QString &hint)
{
    if (const TextBtnClass *r = searchIn(cache, key)) {
        hint = r->TxbHint;
        return 1;
    }
    hint = key;
    return 0;
}

int textGet(const TxtMsgLstClass *cache, const QString &key, QString &text)
{
    if (const TextMsgClass *r = searchIn(cache, key)) {
        text = r->TxmText;
        return 1;
    }
    text = missMarker() + key;
    return 0;
}

int textSet(TxtMsgLstClass *cache, const QString &key, const QString &value, bool create)
{
    // The table's key search is exact, so a row found in the cache is addressed by its stored name.
    QString tableKey = key;
    if (TextMsgClass *r = searchIn(cache, key)) {
        r->TxmText = value;
        tableKey = r->TxmName;
    } else if (create) {
        if (cache) {
            auto row = std::make_unique<TextMsgClass>();
            row->TxmName = key;
            row->TxmText = value;
            cache->add(key, std::move(row));
            cache->sort();
        }
    } else {
        ReportError(labelsUnit(), 459, nullptr, QStringLiteral("textSet(%1,%2) failed.").arg(key, value));
        return 0;
    }

    Table *t = DM1 ? DM1->TblGeneric : nullptr;
    if (t && t->isOpen()) {
        ReportError(labelsUnit(), 465, nullptr, QStringLiteral("Table Control is being used."));
        return 0;
    }
    int result = 1;
    try {
        if (!t)
            throw FrameworkError(QStringLiteral("The data module does not exist"));
        openGenericTable(QStringLiteral("TextMsg.DB"));
        t->setKey();
        t->fieldByName(QStringLiteral("TxmName"))->setAsString(tableKey);
        if (t->gotoKey()) {
            t->edit();
            t->fieldByName(QStringLiteral("TxmText"))->setAsString(value);
            t->post();
        } else if (create) {
            t->insert();
            t->fieldByName(QStringLiteral("TxmName"))->setAsString(key);
            t->fieldByName(QStringLiteral("TxmDesc"))->setAsString(key + QStringLiteral("+"));
            t->fieldByName(QStringLiteral("TxmText"))->setAsString(value);
            t->post();
        } else {
            ReportError(labelsUnit(), 487, nullptr, QStringLiteral("Failed to update table TextMsg."));
            result = 0;
        }
        t->close();
    } catch (const std::exception &e) {
        if (t && t->isOpen()) {
            // Already failing: the first error is the one reported, so later ones are swallowed.
            try {
                t->cancel();
            } catch (const std::exception &) {
            }
            try {
                t->close();
            } catch (const std::exception &) {
            }
        }
        ReportError(labelsUnit(), 496, &e, QStringLiteral("Failed to access table TextMsg."));
        return 0;
    }
    return result;
}

} // namespace kvt
