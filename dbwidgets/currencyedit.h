#pragma once
// Plain numeric edit for amounts (not bound to a field).
#include <QLineEdit>

class QDoubleValidator;

namespace kvt {

/// Accepts a number only; shows it with a fixed number of decimals once editing ends.
class CurrencyEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CurrencyEdit(QWidget *parent = nullptr);

    double value() const;
    void setValue(double v);
    int decimals() const { return m_decimals; }
    void setDecimals(int n);

signals:
    void valueChanged(double v);

private:
    void reformat();

    int m_decimals = 2;
    QDoubleValidator *m_validator;
};

} // namespace kvt
