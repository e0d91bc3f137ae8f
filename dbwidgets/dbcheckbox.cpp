#include "dbwidgets/dbcheckbox.h"

namespace kvt {

namespace {
bool matches(const QString &values, const QString &text)
{
    const QStringList alternatives = values.split(QLatin1Char(';'));
    for (const QString &v : alternatives)
        if (v.compare(text, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString firstValue(const QString &values) { return values.section(QLatin1Char(';'), 0, 0); }
} // namespace

DbCheckBox::DbCheckBox(QWidget *parent) : QCheckBox(parent) {}

void DbCheckBox::setValueChecked(const QString &v)
{
    m_valueChecked = v;
    dataChange();
}

void DbCheckBox::setValueUnchecked(const QString &v)
{
    m_valueUnchecked = v;
    dataChange();
}

void DbCheckBox::dataChange()
{
    Field *f = field();
    // A text that is neither value shows unchecked; there is no third state.
    setChecked(f && matches(m_valueChecked, f->asString()));
}

void DbCheckBox::nextCheckState()
{
    if (readOnly() || !field())
        return;
    try {
        writeFieldText(firstValue(isChecked() ? m_valueUnchecked : m_valueChecked));
    } catch (const std::exception &e) {
        reportDbError(e);
    }
    dataChange();
}

} // namespace kvt
