#pragma once
// Lookup combo box: picks a record of a list data set by its key.
#include "dbwidgets/dbcontrol.h"
#include <QComboBox>
#include <QStringList>
#include <memory>

namespace kvt {

/// Lists the list field of every record of the list source. Choosing an item (also the one already
/// shown) sets the key value to that record's key, moves the list data set to the record with that key
/// (so its detail tables follow) and then emits clicked(). With a data field, the key is written to that
/// field instead of moving the list data set.
class DbLookupComboBox : public QComboBox, public DbControl {
    Q_OBJECT
public:
    explicit DbLookupComboBox(QWidget *parent = nullptr);
    ~DbLookupComboBox() override;

    DataSource *listSource() const;
    void setListSource(DataSource *ds);
    QString keyField() const { return m_keyField; }
    void setKeyField(const QString &name);
    /// The field whose values the list shows (the key field when empty).
    QString listField() const { return m_listField.isEmpty() ? m_keyField : m_listField; }
    void setListField(const QString &name);

    QString keyValue() const { return m_keyValue; }
    /// Shows the item with this key and, without a data field, moves the list data set to its record.
    void setKeyValue(const QString &key);

    /// Keys of the listed records, in list order.
    QStringList keys() const { return m_keys; }
    /// Reads the list again from the list data set.
    void refill();

    /// Runs before a choice moves the list data set (no data field): it saves what the move would
    /// save (the pending rows of the list's details). If it raises, the choice is refused with the
    /// message and the list stays where it was, so nothing has half-followed the move.
    void setBeforeMove(std::function<void()> settle) { m_beforeMove = std::move(settle); }

signals:
    void clicked();

protected:
    void dataChange() override;

private:
    class ListLink;
    void listChanged();
    void onActivated(int index);
    void locateKey(const QString &key);
    void showKey();
    QString keyFieldName() const { return m_keyField.isEmpty() ? m_listField : m_keyField; }

    std::unique_ptr<ListLink> m_listLink;
    QString m_keyField;
    QString m_listField;
    QString m_keyValue;
    std::function<void()> m_beforeMove;
    QStringList m_keys;
    bool m_busy = false; // our own moves of the list data set
    bool m_listOpen = false;
};

} // namespace kvt
