#include "dbwidgets/currencyedit.h"
#include <QDoubleValidator>
#include <QLocale>

namespace kvt {

CurrencyEdit::CurrencyEdit(QWidget *parent) : QLineEdit(parent)
{
    m_validator = new QDoubleValidator(this);
    m_validator->setNotation(QDoubleValidator::StandardNotation);
    m_validator->setLocale(QLocale::c());
    m_validator->setDecimals(m_decimals);
    setValidator(m_validator);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(this, &QLineEdit::editingFinished, this, &CurrencyEdit::reformat);
    setValue(0.0);
}

double CurrencyEdit::value() const { return QLocale::c().toDouble(text()); }

void CurrencyEdit::setValue(double v)
{
    setText(QLocale::c().toString(v, 'f', m_decimals));
    emit valueChanged(value());
}

void CurrencyEdit::setDecimals(int n)
{
    m_decimals = qBound(0, n, 10);
    m_validator->setDecimals(m_decimals);
    reformat();
}

void CurrencyEdit::reformat() { setValue(value()); }

} // namespace kvt
