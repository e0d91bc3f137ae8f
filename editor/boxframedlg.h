#pragma once
// The box-frame dialog: four check boxes round a square, one per side of a frame.
#include <QDialog>

class QCheckBox;
class QFrame;
class QPushButton;

namespace kvt {

/// True until the first show of the box-frame dialog has captioned it (once per process).
extern bool BoxFrameFirstShow;

class TBoxFrameDialog : public QDialog {
    Q_OBJECT
public:
    explicit TBoxFrameDialog(QWidget *parent = nullptr);

    // Side bits of a frame mask.
    static constexpr int SideTop = 1;
    static constexpr int SideRight = 2;
    static constexpr int SideBottom = 4;
    static constexpr int SideLeft = 8;

    QFrame *Bevel1;
    QFrame *Shape1;
    QCheckBox *chk_BoxFrameTop;
    QCheckBox *chk_BoxFrameBottom;
    QCheckBox *chk_BoxFrameLeft;
    QCheckBox *chk_BoxFrameRight;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

    /// Set by the caller before showing, read by the caller after closing.
    int FrameMask = 0;
    /// Set when Cancel (or Esc) closed this showing.
    bool CancelPressed = false;

    void FormShow();
    void CancelBtnClick();
    void FormClose();

    /// Every way of closing ends here; FormClose runs once per showing.
    void done(int result) override;

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    bool m_closeHandled = true;
};

} // namespace kvt
