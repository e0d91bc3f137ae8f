#pragma once
// The font dialog: face, size, bold, italic, underline, strike-out and colour. The colour is kept as
// its stored value, so system colours stay system colours and direct ones keep their exact value.
#include "common/fontdesc.h"
#include <QDialog>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace kvt {

class FontDialog : public QDialog {
    Q_OBJECT
public:
    explicit FontDialog(QWidget *parent = nullptr);

    void setFontDesc(const FontDesc &font);
    FontDesc fontDesc() const;

    /// Selects the colour value; one that is not in the list becomes the custom entry.
    void setColor(qint32 color);
    qint32 color() const;
    /// What the colour button does after the colour picker returned a valid colour.
    void chooseCustomColor(const QColor &color);

    QComboBox *faceBox() const { return m_face; }
    QSpinBox *sizeBox() const { return m_size; }
    QCheckBox *boldBox() const { return m_bold; }
    QCheckBox *italicBox() const { return m_italic; }
    QCheckBox *underlineBox() const { return m_underline; }
    QCheckBox *strikeOutBox() const { return m_strikeOut; }
    QComboBox *colorBox() const { return m_color; }
    QPushButton *colorButton() const { return m_colorButton; }
    QLabel *preview() const { return m_preview; }
    QDialogButtonBox *buttons() const { return m_buttons; }

private:
    void pickColor();
    void updatePreview();
    int customIndex() const;

    QComboBox *m_face;
    QSpinBox *m_size;
    QCheckBox *m_bold;
    QCheckBox *m_italic;
    QCheckBox *m_underline;
    QCheckBox *m_strikeOut;
    QComboBox *m_color;
    QPushButton *m_colorButton;
    QLabel *m_preview;
    QDialogButtonBox *m_buttons;
};

/// Runs the font dialog on font; true and font changed when the user chose OK.
bool runFontDialog(FontDesc &font, QWidget *parent);

} // namespace kvt
