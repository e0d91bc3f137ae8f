#pragma once
#include <QWidget>

namespace kvt {

class TRepMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TRepMainForm(QWidget *parent = nullptr);
};

} // namespace kvt
