#include "dbwidgets/dbradiogroup.h"
#include <QButtonGroup>
#include <QEvent>
#include <QGridLayout>
#include <QRadioButton>

namespace kvt {

DbRadioGroup::DbRadioGroup(QWidget *parent)
    : QGroupBox(parent), m_grid(new QGridLayout(this)), m_group(new QButtonGroup(this))
{
    // Exclusive groups cannot show "none checked"; exclusivity is kept by dataChange() instead.
    m_group->setExclusive(false);
    connect(m_group, &QButtonGroup::idClicked, this, &DbRadioGroup::onButtonClicked);
}

void DbRadioGroup::setItems(const QStringList &items)
{
    for (QRadioButton *b : m_buttons)
        delete b;
    m_buttons.clear();
    m_items = items;
    for (int i = 0; i < items.size(); ++i) {
        auto *b = new QRadioButton(items[i], this);
        b->setFont(font());
        b->setPalette(palette());
        m_group->addButton(b, i);
        m_buttons.push_back(b);
    }
    arrange();
    dataChange();
}

void DbRadioGroup::changeEvent(QEvent *e)
{
    QGroupBox::changeEvent(e);
    // The items are written in the group's font and colour. Under a style sheet of a window above,
    // Qt does not hand a font set on the group down to its children, so the group does it.
    if (e->type() == QEvent::FontChange) {
        for (QRadioButton *b : m_buttons)
            b->setFont(font());
    } else if (e->type() == QEvent::PaletteChange) {
        for (QRadioButton *b : m_buttons)
            b->setPalette(palette());
    }
}

void DbRadioGroup::setValues(const QStringList &values)
{
    m_values = values;
    dataChange();
}

void DbRadioGroup::setColumns(int n)
{
    m_columns = qMax(1, n);
    arrange();
}

void DbRadioGroup::arrange()
{
    for (QRadioButton *b : m_buttons)
        m_grid->removeWidget(b);
    const int n = int(m_buttons.size());
    const int perColumn = qMax(1, (n + m_columns - 1) / m_columns);
    for (int i = 0; i < n; ++i)
        m_grid->addWidget(m_buttons[size_t(i)], i % perColumn, i / perColumn);
}

QRadioButton *DbRadioGroup::button(int i) const
{
    return i >= 0 && i < count() ? m_buttons[size_t(i)] : nullptr;
}

QString DbRadioGroup::buttonValue(int i) const { return i < m_values.size() ? m_values[i] : m_items.value(i); }

int DbRadioGroup::itemIndex() const
{
    for (int i = 0; i < count(); ++i)
        if (m_buttons[size_t(i)]->isChecked())
            return i;
    return -1;
}

void DbRadioGroup::dataChange()
{
    Field *f = field();
    const QString value = f ? f->asString() : QString();
    bool found = false;
    for (int i = 0; i < count(); ++i) {
        const bool on = f && !found && buttonValue(i) == value;
        found = found || on;
        if (m_buttons[size_t(i)]->isChecked() != on) // most buttons keep their state from row to row
            m_buttons[size_t(i)]->setChecked(on);
    }
}

void DbRadioGroup::onButtonClicked(int id)
{
    Field *f = field();
    if (f && !readOnly() && f->asString() != buttonValue(id)) {
        try {
            writeFieldText(buttonValue(id));
        } catch (const std::exception &e) {
            reportDbError(e);
        }
    }
    dataChange();
}

} // namespace kvt
