#pragma once
// The box-frame dialog: four check boxes round a square, one per side of a frame.
#include <QDialog>

namespace kvt {

class TBoxFrameDialog : public QDialog {
    Q_OBJECT
public:
    explicit TBoxFrameDialog(QWidget *parent = nullptr);

    int FrameMask = 0;
    bool CancelPressed = false;
};

} // namespace kvt
