#pragma once
// Lookups by name in the text caches. A missing text yields the miss marker "#E:" + a name; lookups
// never fail and never touch a table. A null cache is searched like an empty one.
#include "labels/textcache.h"
#include <QString>

namespace kvt {

/// Prefix of the text a lookup yields when no row exists.
inline QString missMarker() { return QStringLiteral("#E:"); }

// Field labels. component is the name of the component the label is for (used in the miss marker only).

/// Found: label := TxfLabel, 1 if included else 0. Missing: label := "#E:" + component, 1.
int labelGet(const TxtFldLstClass *cache, const QString &component, const QString &key, QString &label);
/// Found: label and column label, 1 if included else 0. Missing: both "#E:" + key, 1.
int labelsIncGet(const TxtFldLstClass *cache, const QString &key, QString &label, QString &clmLabel);
/// Found: label := TxfLabel, 1 whatever the include flag. Missing: "#E:" + key, 0.
int labelTextGet(const TxtFldLstClass *cache, const QString &key, QString &label);
/// Found: column label := TxfClmLabel, 1 if included else 0. Missing: "#E:" + component, 1.
int shortLabelGet(const TxtFldLstClass *cache, const QString &component, const QString &key, QString &clmLabel);
/// Sets the include flag of the cached row (the table is not written); a missing row changes nothing.
void labelsIncSet(TxtFldLstClass *cache, const QString &key, bool include);
/// Adds a row and sorts again; a row of the same name stays beside it.
void labelAdd(TxtFldLstClass *cache, const QString &name, const QString &label, const QString &clmLabel,
              qint32 clmWidth, bool include);

// Button texts.

/// Found: label and hint, 1. Missing: label := "#E:" + component, hint unchanged, 0.
int ctrlInfoGet(const TxtBtnLstClass *cache, const QString &component, const QString &key, QString &label,
                QString &hint);
/// Found: TxbLabel, 1. Missing: the bare key, 0.
int btnLabelGet(const TxtBtnLstClass *cache, const QString &key, QString &label);
/// Found: TxbHint, 1. Missing: the bare key, 0.
int btnHintGet(const TxtBtnLstClass *cache, const QString &key, QString &hint);

// Message texts.

/// Found: TxmText, 1. Missing: "#E:" + key, 0.
int textGet(const TxtMsgLstClass *cache, const QString &key, QString &text);
/// Changes (or, with create, adds) the text in the cache, then writes it to TextMsg.DB through
/// TblGeneric. 1 on success, 0 on failure (reported); the cache keeps its change either way.
int textSet(TxtMsgLstClass *cache, const QString &key, const QString &value, bool create);

} // namespace kvt
