#include "common/gui/fontdialog.h"
#include "common/gui/dialogservice.h"
#include "common/gui/fontconv.h"
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace kvt {
namespace {

struct NamedColor {
    const char *name;
    qint32 value;
};

// The sixteen basic colours of the standard font dialog, as 0x00BBGGRR.
const NamedColor BasicColors[] = {
    {"Black", 0x000000},   {"Maroon", 0x000080}, {"Green", 0x008000}, {"Olive", 0x008080},
    {"Navy", 0x800000},    {"Purple", 0x800080}, {"Teal", 0x808000},  {"Gray", 0x808080},
    {"Silver", 0xC0C0C0},  {"Red", 0x0000FF},    {"Lime", 0x00FF00},  {"Yellow", 0x00FFFF},
    {"Blue", 0xFF0000},    {"Fuchsia", 0xFF00FF}, {"Aqua", 0xFFFF00}, {"White", 0xFFFFFF},
};

// System colours offered by name (low byte: the Windows colour index).
const NamedColor SystemChoices[] = {
    {"Window Text", qint32(0x80000008u)},    {"Window", qint32(0x80000005u)},
    {"Button Face", qint32(0x8000000Fu)},    {"Button Text", qint32(0x80000012u)},
    {"Highlight", qint32(0x8000000Du)},      {"Highlight Text", qint32(0x8000000Eu)},
    {"Gray Text", qint32(0x80000011u)},      {"Info Text", qint32(0x80000017u)},
    {"Info Background", qint32(0x80000018u)},
};

const char CustomName[] = "Custom";

QIcon swatch(qint32 value)
{
    QPixmap pm(16, 12);
    pm.fill(toQColor(value));
    return QIcon(pm);
}

} // namespace

FontDialog::FontDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Font"));
    setObjectName(QStringLiteral("FontDialog"));

    m_face = new QComboBox(this);
    m_face->setObjectName(QStringLiteral("cmbFace"));
    m_face->setEditable(true);
    m_face->setInsertPolicy(QComboBox::NoInsert);
    m_face->addItems(QFontDatabase::families());

    m_size = new QSpinBox(this);
    m_size->setObjectName(QStringLiteral("spnSize"));
    m_size->setRange(1, 1638);

    m_bold = new QCheckBox(QStringLiteral("Bold"), this);
    m_italic = new QCheckBox(QStringLiteral("Italic"), this);
    m_underline = new QCheckBox(QStringLiteral("Underline"), this);
    m_strikeOut = new QCheckBox(QStringLiteral("Strikeout"), this);

    m_color = new QComboBox(this);
    m_color->setObjectName(QStringLiteral("cmbColor"));
    for (const NamedColor &c : BasicColors)
        m_color->addItem(swatch(c.value), QString::fromLatin1(c.name), c.value);
    m_color->insertSeparator(m_color->count());
    for (const NamedColor &c : SystemChoices)
        m_color->addItem(swatch(c.value), QString::fromLatin1(c.name), c.value);
    m_color->insertSeparator(m_color->count());
    m_color->addItem(swatch(0), QString::fromLatin1(CustomName), qint32(0));

    m_colorButton = new QPushButton(QStringLiteral("..."), this);
    m_colorButton->setObjectName(QStringLiteral("btnColor"));
    m_colorButton->setToolTip(QStringLiteral("Choose a custom colour"));

    m_preview = new QLabel(QStringLiteral("AaBbYyZz"), this);
    m_preview->setObjectName(QStringLiteral("lblPreview"));
    m_preview->setAlignment(Qt::AlignCenter);
    m_preview->setMinimumHeight(48);
    m_preview->setFrameShape(QFrame::StyledPanel);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Font:"), m_face);
    form->addRow(QStringLiteral("Size:"), m_size);
    auto *colorRow = new QHBoxLayout;
    colorRow->addWidget(m_color, 1);
    colorRow->addWidget(m_colorButton);
    form->addRow(QStringLiteral("Color:"), colorRow);

    auto *effects = new QGroupBox(QStringLiteral("Style"), this);
    auto *effectsLayout = new QVBoxLayout(effects);
    for (QCheckBox *b : {m_bold, m_italic, m_underline, m_strikeOut})
        effectsLayout->addWidget(b);

    auto *top = new QHBoxLayout;
    top->addLayout(form, 1);
    top->addWidget(effects);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_preview);
    layout->addWidget(m_buttons);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_colorButton, &QPushButton::clicked, this, &FontDialog::pickColor);
    connect(m_face, &QComboBox::currentTextChanged, this, &FontDialog::updatePreview);
    connect(m_size, qOverload<int>(&QSpinBox::valueChanged), this, &FontDialog::updatePreview);
    connect(m_color, qOverload<int>(&QComboBox::currentIndexChanged), this, &FontDialog::updatePreview);
    for (QCheckBox *b : {m_bold, m_italic, m_underline, m_strikeOut})
        connect(b, &QCheckBox::toggled, this, &FontDialog::updatePreview);

    setColor(0);
    updatePreview();
}

int FontDialog::customIndex() const { return m_color->count() - 1; }

void FontDialog::setFontDesc(const FontDesc &font)
{
    // The face is kept as written even when no such font is installed.
    m_face->setCurrentText(font.name);
    m_size->setValue(font.size);
    m_bold->setChecked(font.bold);
    m_italic->setChecked(font.italic);
    m_underline->setChecked(font.underline);
    m_strikeOut->setChecked(font.strikeOut);
    setColor(font.color);
    updatePreview();
}

FontDesc FontDialog::fontDesc() const
{
    FontDesc f;
    f.name = m_face->currentText().trimmed();
    f.size = m_size->value();
    f.bold = m_bold->isChecked();
    f.italic = m_italic->isChecked();
    f.underline = m_underline->isChecked();
    f.strikeOut = m_strikeOut->isChecked();
    f.color = color();
    return f;
}

void FontDialog::setColor(qint32 color)
{
    for (int i = 0; i < customIndex(); ++i) {
        const QVariant v = m_color->itemData(i);
        if (v.isValid() && v.toInt() == color) {
            m_color->setCurrentIndex(i);
            return;
        }
    }
    m_color->setItemData(customIndex(), color);
    m_color->setItemIcon(customIndex(), swatch(color));
    m_color->setCurrentIndex(customIndex());
}

qint32 FontDialog::color() const { return qint32(m_color->currentData().toInt()); }

void FontDialog::chooseCustomColor(const QColor &color)
{
    if (color.isValid())
        setColor(fromQColor(color));
}

void FontDialog::pickColor()
{
    const QColor chosen = QColorDialog::getColor(toQColor(color()), this, QStringLiteral("Color"));
    chooseCustomColor(chosen);
}

void FontDialog::updatePreview() { applyFontDesc(m_preview, fontDesc()); }

bool runFontDialog(FontDesc &font, QWidget *parent)
{
    FontDialog dialog(parent);
    dialog.setFontDesc(font);
    if (dialogs().execDialog(dialog) != QDialog::Accepted)
        return false;
    font = dialog.fontDesc();
    return true;
}

} // namespace kvt
