#include "dbwidgets/dbcontrol.h"
#include <QEvent>
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

void reportDbError(const std::exception &e)
{
    if (errorHandler())
        errorHandler()(e);
    else
        qWarning("%s", e.what());
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

void DbControl::startEdit()
{
    DataSet *ds = dataSet();
    if (!ds)
        return;
    const DataSetState s = ds->state();
    if (s == DataSetState::Edit || s == DataSetState::Insert)
        return;
    m_inStartEdit = true;
    try {
        ds->edit();
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
