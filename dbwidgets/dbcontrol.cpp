#include "dbwidgets/dbcontrol.h"
#include <QAbstractButton>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLocale>
#include <QWidget>
#include <QtGlobal>

namespace kvt {

namespace {
std::function<void(const std::exception &)> &errorHandler()
{
    static std::function<void(const std::exception &)> handler;
    return handler;
}
} // namespace

void setDbErrorHandler(std::function<void(const std::exception &)> handler) { errorHandler() = std::move(handler); }

bool alreadyShown(const std::exception &e)
{
    auto *input = dynamic_cast<const DbInputError *>(&e);
    return input && input->alreadyShown();
}

void reportDbError(const std::exception &e)
{
    if (alreadyShown(e))
        return;
    if (errorHandler())
        errorHandler()(e);
    else
        qWarning("%s", e.what());
}

namespace {

QHash<const DataSource *, std::function<QString()>> &noRecordTexts()
{
    static QHash<const DataSource *, std::function<QString()>> texts;
    return texts;
}

QString noRecordText(const DataSource *ds)
{
    const auto it = noRecordTexts().constFind(ds);
    if (it != noRecordTexts().cend() && *it) {
        const QString text = (*it)();
        if (!text.isEmpty())
            return text;
    }
    return QStringLiteral("There is nothing here to edit: the list is empty");
}

/// Caption text without its "&" markers ("&&" stands for one "&") and without a closing colon.
QString plainCaption(QString text)
{
    text.replace(QLatin1String("&&"), QString(QChar(0x1)));
    text.remove(QLatin1Char('&'));
    text.replace(QChar(0x1), QLatin1Char('&'));
    text = text.trimmed();
    if (text.endsWith(QLatin1Char(':')))
        text.chop(1);
    return text.trimmed();
}


/// What a field of this type takes, for the message that refuses a value.
QString acceptedText(const Field &f)
{
    if (isFloatType(f.dataType())) {
        QString text = QStringLiteral("a number such as 12.5");
        const QString point = QLocale().decimalPoint();
        if (point != QLatin1String("."))
            text += QStringLiteral(" or 12") + point + QStringLiteral("5");
        return text;
    }
    if (isIntegerType(f.dataType()))
        return QStringLiteral("a whole number such as 12");
    if (f.dataType() == ftBoolean)
        return QStringLiteral("True or False");
    return QString();
}

/// The refusal of a typed value, in the user's words.
QString refusedText(const QString &caption, const Field &f, const QString &text)
{
    if (f.dataType() == ftString && f.size() > 0 && text.size() > f.size())
        return QStringLiteral("The text for '%1' is %2 characters long; it takes at most %3 characters")
            .arg(caption)
            .arg(text.size())
            .arg(f.size());
    const QString accepted = acceptedText(f);
    const QString shown = text.trimmed();
    if (accepted.isEmpty())
        return QStringLiteral("'%1' is not accepted for '%2'").arg(shown, caption);
    return QStringLiteral("'%1' is not accepted for '%2': type %3").arg(shown, caption, accepted);
}

} // namespace

void setNoRecordText(DataSource *ds, std::function<QString()> text)
{
    if (!ds)
        return;
    auto &texts = noRecordTexts();
    if (!text) {
        texts.remove(ds);
        return;
    }
    if (!texts.contains(ds))
        QObject::connect(ds, &QObject::destroyed, [ds] { noRecordTexts().remove(ds); });
    texts.insert(ds, std::move(text));
}

QString visibleCaption(const QWidget *w)
{
    if (!w)
        return QString();
    if (auto *b = qobject_cast<const QAbstractButton *>(w); b && !b->text().isEmpty())
        return plainCaption(b->text());
    if (auto *g = qobject_cast<const QGroupBox *>(w); g && !g->title().isEmpty())
        return plainCaption(g->title());
    for (const QLabel *l : w->window()->findChildren<QLabel *>())
        if (l->buddy() == w && !l->text().isEmpty())
            return plainCaption(l->text());
    if (!w->accessibleName().isEmpty())
        return w->accessibleName();
    return plainCaption(w->toolTip());
}

class DbControl::Link : public DataLink {
public:
    explicit Link(DbControl *c) : m_control(c) {}
    void dataSetChanged() override { m_control->follow(true, nullptr); }
    void recordChanged(Field *f) override { m_control->follow(false, f); }
    void stateChanged() override { m_control->stateChange(); }
    void updateData() override { m_control->updateData(); }

private:
    DbControl *m_control;
};

class DbControl::ShowWatcher : public QObject {
public:
    ShowWatcher(QWidget *w, DbControl *c) : QObject(w), m_control(c) { w->installEventFilter(this); }
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Show)
            m_control->shownAgain();
        return false;
    }

private:
    DbControl *m_control;
};

DbControl::DbControl() : m_link(std::make_unique<Link>(this)) {}

DbControl::~DbControl() { delete m_showWatcher; }

void DbControl::follow(bool wholeRecord, Field *f)
{
    if (!m_widgetKnown) { // the cast cannot be made in the constructor, before the widget part exists
        m_widget = dynamic_cast<QWidget *>(this);
        m_widgetKnown = true;
    }
    QWidget *w = m_widget;
    if (w && !w->isVisible() && w->window()->isVisible()) {
        if (!m_showWatcher)
            m_showWatcher = new ShowWatcher(w, this);
        m_refreshPending = true;
        return;
    }
    m_refreshPending = false;
    if (wholeRecord)
        dataChange();
    else
        recordChange(f);
}

void DbControl::shownAgain()
{
    if (!m_refreshPending)
        return;
    m_refreshPending = false;
    dataChange();
}

DataSource *DbControl::dataSource() const { return m_link->dataSource(); }

void DbControl::setDataSource(DataSource *ds) { m_link->setDataSource(ds); }

void DbControl::setDataField(const QString &name)
{
    if (m_dataField == name)
        return;
    m_dataField = name;
    m_field = nullptr;
    dataChange();
}

DataSet *DbControl::dataSet() const { return m_link->dataSet(); }

Field *DbControl::field() const
{
    DataSet *ds = dataSet();
    if (!ds || !ds->isOpen() || m_dataField.isEmpty())
        return nullptr;
    if (ds != m_fieldSet || ds->fieldsVersion() != m_fieldsVersion || !m_field) {
        m_field = ds->findField(m_dataField);
        m_fieldSet = ds;
        m_fieldsVersion = ds->fieldsVersion();
    }
    return m_field;
}

void DbControl::recordChange(Field *f)
{
    if (!f || f == field())
        dataChange();
}

QString DbControl::userCaption() const
{
    const QString caption = visibleCaption(dynamic_cast<const QWidget *>(this));
    return caption.isEmpty() ? m_dataField : caption;
}

void DbControl::startEdit()
{
    DataSet *ds = dataSet();
    if (!ds)
        return;
    const DataSetState s = ds->state();
    if (s == DataSetState::Edit || s == DataSetState::Insert)
        return;
    // The engine's refusals name its tables; the user is told what is on the screen instead.
    if (!ds->isOpen())
        throw DbInputError(QStringLiteral("'%1' cannot be changed: nothing is open to edit").arg(userCaption()));
    if (!ds->canModify())
        throw DbInputError(QStringLiteral("'%1' cannot be changed here: the data is read-only").arg(userCaption()));
    if (ds->isEmpty())
        throw DbInputError(noRecordText(dataSource()));
    m_inStartEdit = true;
    try {
        ds->edit();
    } catch (const EngineError &e) {
        m_inStartEdit = false;
        throw DbInputError(QStringLiteral("'%1' cannot be changed now (%2)").arg(userCaption(), e.message()));
    } catch (...) {
        m_inStartEdit = false;
        throw;
    }
    m_inStartEdit = false;
}

void DbControl::writeFieldText(const QString &text)
{
    Field *f = field();
    if (!f)
        return;
    startEdit();
    // Checked here rather than left to the engine, whose messages name the column, not the caption.
    if (f->dataType() == ftString && f->size() > 0 && text.size() > f->size())
        throw DbInputError(refusedText(userCaption(), *f, text));
    try {
        f->convertText(text);
    } catch (const EngineError &) {
        throw DbInputError(refusedText(userCaption(), *f, text));
    }
    f->setAsString(text);
}

bool forEachRecord(DataSet *ds, const std::function<void()> &visit)
{
    if (!ds || !ds->isOpen() || ds->state() != DataSetState::Browse)
        return false;
    const int start = ds->recNo();
    const bool atEnd = ds->eof() && start == ds->recordCount() - 1;
    ds->disableControls();
    try {
        for (ds->first(); !ds->eof(); ds->next())
            visit();
        if (atEnd) {
            ds->last();
        } else if (start >= 0) {
            ds->first();
            for (int i = 0; i < start && !ds->eof(); ++i)
                ds->next();
        }
    } catch (...) {
        ds->enableControls();
        throw;
    }
    ds->enableControls();
    return true;
}

} // namespace kvt
