#pragma once
// A one-line prompt: caption, prompt, an edit with an initial text, OK and Cancel.
#include <QDialog>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kvt {

class TOKDlg : public QDialog {
    Q_OBJECT
public:
    explicit TOKDlg(QWidget *parent = nullptr);

    /// Shows the dialog modally; on OK text takes the edit's text and the result is true.
    bool PromptText(const QString &prompt, const QString &caption, QString &text);

    QFrame *Bevel1;
    QLabel *Label1;
    QLineEdit *Edit1;
    QPushButton *OKBtn;
    QPushButton *CancelBtn;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
};

} // namespace kvt
