#include "dbwidgets/dblookupcombobox.h"
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>

namespace kvt {

namespace {

/// Qt announces a combo box on Linux by the item it shows, whatever its accessible name. The selector
/// is announced by its name, and what it shows is its value, on every platform.
class LookupComboAccessible : public QAccessibleWidget {
public:
    explicit LookupComboAccessible(QComboBox *combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return combo()->currentText();
        const QString own = QAccessibleWidget::text(t); // the accessible name, else a label's text
        return t == QAccessible::Name && own.isEmpty() ? combo()->currentText() : own;
    }
    // The item list is the one child, as in Qt's own combo box interface.
    int childCount() const override { return combo()->view() ? 1 : 0; }
    QAccessibleInterface *child(int index) const override
    {
        return index == 0 && combo()->view() ? QAccessible::queryAccessibleInterface(combo()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child && combo()->view() && child->object() == combo()->view() ? 0 : -1;
    }
    QStringList actionNames() const override { return QStringList{showMenuAction()} + QAccessibleWidget::actionNames(); }
    void doAction(const QString &action) override
    {
        if (action == showMenuAction() || action == pressAction())
            combo()->showPopup();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QComboBox *combo() const { return static_cast<QComboBox *>(widget()); }
};

QAccessibleInterface *lookupComboInterface(const QString &className, QObject *object)
{
    if (className == QLatin1String(DbLookupComboBox::staticMetaObject.className()))
        if (auto *combo = qobject_cast<QComboBox *>(object))
            return new LookupComboAccessible(combo);
    return nullptr;
}

} // namespace

class DbLookupComboBox::ListLink : public DataLink {
public:
    explicit ListLink(DbLookupComboBox *c) : m_combo(c) {}
    void dataSetChanged() override { m_combo->listChanged(); }
    void recordChanged(Field *) override { m_combo->listChanged(); }

private:
    DbLookupComboBox *m_combo;
};

DbLookupComboBox::DbLookupComboBox(QWidget *parent)
    : QComboBox(parent), m_listLink(std::make_unique<ListLink>(this))
{
    static const bool accessible = (QAccessible::installFactory(lookupComboInterface), true);
    Q_UNUSED(accessible);
    setEditable(false);
    connect(this, &QComboBox::activated, this, &DbLookupComboBox::onActivated);
}

DbLookupComboBox::~DbLookupComboBox() = default;

DataSource *DbLookupComboBox::listSource() const { return m_listLink->dataSource(); }

void DbLookupComboBox::setListSource(DataSource *ds)
{
    m_busy = true;
    m_listLink->setDataSource(ds);
    m_busy = false;
    DataSet *set = m_listLink->dataSet();
    m_listOpen = set && set->isOpen();
    refill();
}

void DbLookupComboBox::setKeyField(const QString &name)
{
    m_keyField = name;
    refill();
}

void DbLookupComboBox::setListField(const QString &name)
{
    m_listField = name;
    refill();
}

void DbLookupComboBox::refill()
{
    m_busy = true;
    QStringList texts, keys;
    DataSet *ds = m_listLink->dataSet();
    try {
        Field *kf = ds && ds->isOpen() ? ds->findField(keyFieldName()) : nullptr;
        Field *lf = ds && ds->isOpen() ? ds->findField(listField()) : nullptr;
        if (kf && lf && !forEachRecord(ds, [&] {
                keys << kf->asString();
                texts << lf->asString();
            })) {
            // The list data set is editing: keep the list until it browses again.
            m_busy = false;
            return;
        }
    } catch (const std::exception &e) {
        reportDbError(e);
    }
    m_keys = keys;
    clear();
    addItems(texts);
    m_busy = false;
    showKey();
}

// A move of the list data set also arrives here; the list is read again only when it no longer matches
// the data set, so moves cost nothing.
void DbLookupComboBox::listChanged()
{
    if (m_busy)
        return;
    DataSet *ds = m_listLink->dataSet();
    const bool open = ds && ds->isOpen();
    if (open && ds->state() != DataSetState::Browse)
        return;
    const bool reopened = open != m_listOpen;
    m_listOpen = open;
    if (reopened) {
        refill();
        return;
    }
    if (open && ds->recordCount() == m_keys.size()) {
        const int cur = ds->recNo();
        Field *kf = ds->findField(keyFieldName());
        Field *lf = ds->findField(listField());
        if (cur < 0 || (kf && lf && kf->asString() == m_keys.value(cur) && lf->asString() == itemText(cur)))
            return;
    } else if (!open) {
        return;
    }
    refill();
}

void DbLookupComboBox::showKey()
{
    const int index = m_keys.indexOf(m_keyValue);
    setCurrentIndex(index);
}

void DbLookupComboBox::dataChange()
{
    if (Field *f = field()) {
        m_keyValue = f->asString();
        showKey();
    }
}

void DbLookupComboBox::locateKey(const QString &key)
{
    DataSet *ds = m_listLink->dataSet();
    Field *kf = ds && ds->isOpen() ? ds->findField(keyFieldName()) : nullptr;
    if (!kf || kf->asString() == key)
        return;
    m_busy = true;
    ds->disableControls();
    try {
        for (ds->first(); !ds->eof() && kf->asString() != key; ds->next()) {
        }
    } catch (...) {
        ds->enableControls();
        m_busy = false;
        throw;
    }
    ds->enableControls();
    m_busy = false;
}

void DbLookupComboBox::setKeyValue(const QString &key)
{
    m_keyValue = key;
    showKey();
    if (field() || !m_keys.contains(key))
        return;
    try {
        locateKey(key);
    } catch (const std::exception &e) {
        reportDbError(e);
    }
}

void DbLookupComboBox::onActivated(int index)
{
    if (index < 0 || index >= m_keys.size())
        return;
    if (readOnly()) {
        showKey();
        return;
    }
    const QString key = m_keys[index];
    try {
        if (field()) {
            writeFieldText(key);
        } else {
            if (m_beforeMove && key != m_keyValue)
                m_beforeMove();
            locateKey(key);
        }
    } catch (const std::exception &e) {
        // The record did not change (a pending edit of a detail could not be posted): say so and stay.
        reportDbError(e);
        showKey();
        return;
    }
    m_keyValue = key;
    showKey();
    emit clicked();
}

} // namespace kvt
