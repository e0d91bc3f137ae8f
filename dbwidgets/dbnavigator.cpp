#include "dbwidgets/dbnavigator.h"
#include "dbwidgets/dbcontrol.h"
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QShortcut>
#include <cmath>

namespace kvt {

namespace {

const char *const buttonNames[DbNavigator::ButtonCount] = {"nbFirst",  "nbPrior", "nbNext", "nbLast",
                                                           "nbInsert", "nbDelete", "nbEdit", "nbPost",
                                                           "nbCancel", "nbRefresh"};

QStringList standardHints()
{
    return {QStringLiteral("First record"), QStringLiteral("Prior record"), QStringLiteral("Next record"),
            QStringLiteral("Last record"),  QStringLiteral("Insert record"), QStringLiteral("Delete record"),
            QStringLiteral("Edit record"),  QStringLiteral("Post edit"),     QStringLiteral("Cancel edit"),
            QStringLiteral("Refresh data")};
}

// Glyphs are drawn on a 16 x 16 logical grid, so each device pixel ratio gets a sharp pixmap.
void drawGlyph(QPainter &p, DbNavigator::Button b)
{
    const QColor ink(0x20, 0x20, 0x20);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    auto triangle = [&](QPointF a, QPointF c, QPointF d) { p.drawPolygon(QPolygonF({a, c, d})); };
    QPen line(ink, 2.0, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
    switch (b) {
    case DbNavigator::First:
        p.drawRect(QRectF(3, 3, 2, 10));
        triangle({12, 3}, {12, 13}, {6, 8});
        break;
    case DbNavigator::Prior: triangle({11, 3}, {11, 13}, {5, 8}); break;
    case DbNavigator::Next: triangle({5, 3}, {5, 13}, {11, 8}); break;
    case DbNavigator::Last:
        triangle({4, 3}, {4, 13}, {10, 8});
        p.drawRect(QRectF(11, 3, 2, 10));
        break;
    case DbNavigator::Insert:
        p.drawRect(QRectF(7, 3, 2, 10));
        p.drawRect(QRectF(3, 7, 10, 2));
        break;
    case DbNavigator::Delete: p.drawRect(QRectF(3, 7, 10, 2)); break;
    case DbNavigator::Edit: triangle({8, 4}, {13, 12}, {3, 12}); break;
    case DbNavigator::Post:
        line.setColor(QColor(0x00, 0x80, 0x00));
        line.setWidthF(2.5);
        p.setPen(line);
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
        break;
    case DbNavigator::Cancel:
        line.setColor(QColor(0xA0, 0x00, 0x00));
        line.setWidthF(2.5);
        p.setPen(line);
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case DbNavigator::Refresh: {
        const QColor blue(0x00, 0x40, 0xA0);
        line.setColor(blue);
        line.setCapStyle(Qt::FlatCap);
        p.setPen(line);
        p.setBrush(Qt::NoBrush);
        // Three quarters of a circle, open at the top right, with the arrow head at its end.
        p.drawArc(QRectF(3, 3, 10, 10), 90 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(blue);
        triangle({8, 0.5}, {8, 6.5}, {11.5, 3.5});
        break;
    }
    }
}

QIcon glyphIcon(DbNavigator::Button b)
{
    QIcon icon;
    for (int ratio : {1, 2}) {
        QPixmap pm(16 * ratio, 16 * ratio);
        pm.setDevicePixelRatio(ratio);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        drawGlyph(p, b);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

/// Screen readers name a glyph button by its hint, whether the hints are shown or not.
void nameButtons(const std::array<DbNavButton *, DbNavigator::ButtonCount> &buttons, const QStringList &hints)
{
    for (int i = 0; i < DbNavigator::ButtonCount; ++i)
        buttons[size_t(i)]->setAccessibleName(hints.value(i));
}

} // namespace

class DbNavigator::Link : public DataLink {
public:
    explicit Link(DbNavigator *n) : m_nav(n) {}
    void dataSetChanged() override { m_nav->updateButtons(); }
    void stateChanged() override { m_nav->updateButtons(); }

private:
    DbNavigator *m_nav;
};

DbNavigator::DbNavigator(QWidget *parent) : QWidget(parent), m_link(std::make_unique<Link>(this)), m_hints(standardHints())
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < ButtonCount; ++i) {
        const auto b = Button(i);
        auto *btn = new DbNavButton(this);
        btn->setObjectName(QLatin1String(buttonNames[i]));
        btn->setIcon(glyphIcon(b));
        btn->setIconSize(QSize(16, 16));
        btn->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        btn->setFocusPolicy(Qt::TabFocus);
        connect(btn, &QToolButton::clicked, this, [this, b] { clickButton(b); });
        layout->addWidget(btn);
        m_buttons[size_t(i)] = btn;
    }
    // The keys desktop database editors use for the row actions.
    m_keys[size_t(Edit)] = QKeySequence(Qt::CTRL | Qt::Key_E);
    m_keys[size_t(Post)] = QKeySequence(Qt::CTRL | Qt::Key_S);
    m_keys[size_t(Cancel)] = QKeySequence(Qt::Key_Escape);
    m_keys[size_t(Refresh)] = QKeySequence(Qt::Key_F5);
    for (const Button b : {Edit, Post, Refresh}) {
        auto *key = new QShortcut(m_keys[size_t(b)], this);
        key->setContext(Qt::WindowShortcut);
        connect(key, &QShortcut::activated, this, [this, b] {
            if (isVisible() && isButtonVisible(b))
                clickButton(b);
        });
    }
    applyHints();
    nameButtons(m_buttons, m_hints);
    updateButtons();
}

DbNavigator::~DbNavigator() = default;

DataSource *DbNavigator::dataSource() const { return m_link->dataSource(); }

void DbNavigator::setDataSource(DataSource *ds)
{
    m_link->setDataSource(ds);
    updateButtons();
}

void DbNavigator::setVisibleButtons(const QList<Button> &buttons)
{
    for (int i = 0; i < ButtonCount; ++i)
        m_buttons[size_t(i)]->setVisible(buttons.contains(Button(i)));
}

QList<DbNavigator::Button> DbNavigator::visibleButtons() const
{
    QList<Button> v;
    for (int i = 0; i < ButtonCount; ++i)
        if (isButtonVisible(Button(i)))
            v << Button(i);
    return v;
}

bool DbNavigator::isButtonVisible(Button b) const { return !button(b)->isHidden(); }

void DbNavigator::setHints(const QStringList &hints)
{
    const QStringList standard = standardHints();
    m_hints.clear();
    for (int i = 0; i < ButtonCount; ++i)
        m_hints << (i < hints.size() ? hints[i] : standard[i]);
    applyHints();
    nameButtons(m_buttons, m_hints);
}

void DbNavigator::setShowHints(bool on)
{
    m_showHints = on;
    applyHints();
}

void DbNavigator::applyHints()
{
    for (int i = 0; i < ButtonCount; ++i) {
        QString hint = m_hints[i];
        const QKeySequence &key = m_keys[size_t(i)];
        if (!key.isEmpty() && !hint.isEmpty())
            hint += QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + QLatin1Char(')');
        m_buttons[size_t(i)]->setToolTip(m_showHints ? hint : QString());
    }
}

bool DbNavigator::event(QEvent *e)
{
    if (e->type() == QEvent::Show || e->type() == QEvent::ParentChange)
        watchWindow();
    return QWidget::event(e);
}

void DbNavigator::watchWindow()
{
    QWidget *w = window();
    if (w == m_window || w == this)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = w;
    m_window->installEventFilter(this);
    connect(m_window, &QObject::destroyed, this, [this](QObject *gone) {
        if (gone == m_window)
            m_window = nullptr;
    });
}

bool DbNavigator::eventFilter(QObject *watched, QEvent *e)
{
    // A key reaches the window itself only when the widget with the focus (and every widget between
    // them) left it unused.
    if (watched == m_window && e->type() == QEvent::KeyPress && isVisible()) {
        auto *k = static_cast<QKeyEvent *>(e);
        if (k->key() == Qt::Key_Escape && k->modifiers() == Qt::NoModifier && button(Cancel)->isEnabled() &&
            isButtonVisible(Cancel)) {
            clickButton(Cancel);
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void DbNavigator::updateButtons()
{
    DataSet *ds = m_link->dataSet();
    const bool active = ds && ds->isOpen();
    const DataSetState state = active ? ds->state() : DataSetState::Inactive;
    const bool browse = state == DataSetState::Browse;
    const bool editing = state == DataSetState::Edit || state == DataSetState::Insert;
    const bool canModify = active && ds->canModify();
    const bool empty = !active || ds->isEmpty();
    const bool up = browse && !empty && !ds->bof();
    const bool down = browse && !empty && !ds->eof();
    const bool on[ButtonCount] = {
        up,                               // First
        up,                               // Prior
        down,                             // Next
        down,                             // Last
        browse && canModify,              // Insert
        false,                            // Delete: the engine deletes no records
        browse && canModify && !empty,    // Edit
        editing,                          // Post
        editing,                          // Cancel
        browse,                           // Refresh
    };
    // Buttons are enabled before others are disabled: a focused button that goes off hands the
    // focus to the next one that is on, within the navigator.
    for (const bool pass : {true, false})
        for (int i = 0; i < ButtonCount; ++i)
            if (on[i] == pass)
                m_buttons[size_t(i)]->setEnabled(on[i]);
}

void DbNavigator::clickButton(Button b)
{
    if (!button(b)->isEnabled())
        return;
    DataSet *ds = m_link->dataSet();
    if (ds) {
        try {
            switch (b) {
            case First: ds->first(); break;
            case Prior: ds->prior(); break;
            case Next: ds->next(); break;
            case Last: ds->last(); break;
            case Insert: ds->insert(); break;
            case Delete: break;
            case Edit: ds->edit(); break;
            case Post: ds->post(); break;
            case Cancel: ds->cancel(); break;
            case Refresh: ds->refresh(); break;
            }
        } catch (const std::exception &e) {
            reportDbError(e);
        }
    }
    // next() at the end and prior() at the start change only the end flags, which no notice reports.
    updateButtons();
    emit clicked(b);
}

} // namespace kvt
