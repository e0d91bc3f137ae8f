#pragma once
// What every data-aware widget shares: the binding by data source and field name, the link that tells
// the widget about record moves and state changes, and the hook through which widget errors are shown.
#include "engine/dataset.h"
#include <QString>
#include <exception>
#include <functional>
#include <memory>

class QWidget;

namespace kvt {

/// Shows errors that data-aware widgets catch themselves (a bad value typed, a failed navigator action).
/// The default handler writes a warning; an empty function restores it.
void setDbErrorHandler(std::function<void(const std::exception &)> handler);
void reportDbError(const std::exception &e);

/// A value or an edit that a data-aware widget refused, worded for the user: it names the widget by the
/// caption on screen and says what would be accepted, never an internal field or table name. An
/// engine error reworded, so code that catches engine errors catches it too.
class DbInputError : public EngineError {
public:
    explicit DbInputError(QString message, bool alreadyShown = false)
        : EngineError(std::move(message)), m_alreadyShown(alreadyShown) {}
    /// The same refusal was shown to the user a moment ago, in the same click or key press (leaving
    /// the edit for the tree refuses the text, then the move refuses to save it): not shown again.
    bool alreadyShown() const { return m_alreadyShown; }

private:
    bool m_alreadyShown;
};

/// True for a refusal that the user has just been shown (see DbInputError::alreadyShown()).
bool alreadyShown(const std::exception &e);

/// What a widget bound to ds says when the user types into it while ds has no record, such as "The
/// category 'Templates' has no reports". Asked at the moment of the message, so it can name what is
/// chosen then; an empty function restores the general wording.
void setNoRecordText(DataSource *ds, std::function<QString()> text);

/// The caption the user sees for a widget: the text of the label that focuses it, its own text or
/// title, else its accessible name or hint; "&" markers and a closing ":" are left out.
QString visibleCaption(const QWidget *w);

/// Mix-in of the data-aware widgets.
class DbControl {
public:
    DbControl();
    virtual ~DbControl();
    DbControl(const DbControl &) = delete;
    DbControl &operator=(const DbControl &) = delete;

    DataSource *dataSource() const;
    void setDataSource(DataSource *ds);
    QString dataField() const { return m_dataField; }
    void setDataField(const QString &name);
    virtual bool readOnly() const { return m_readOnly; }
    virtual void setReadOnly(bool on) { m_readOnly = on; }

    /// The data set behind the source, or null.
    DataSet *dataSet() const;
    /// The bound field of the open data set, or null.
    Field *field() const;

protected:
    /// Show the field's current value.
    virtual void dataChange() = 0;
    /// A field of the current record was written; null stands for any field.
    virtual void recordChange(Field *f);
    virtual void stateChange() {}
    /// Write a pending edit into the field now; exceptions abort the post that asked for it.
    virtual void updateData() {}

    /// Puts the data set into edit when it browses. Notifications caused by it do not reach
    /// dataChange(), so text typed a moment ago is not overwritten.
    void startEdit();
    /// Puts the data set into edit and writes text through the field (conversions, change events).
    /// A refusal raises DbInputError in the user's words.
    void writeFieldText(const QString &text);
    /// The caption that names this widget in messages (visibleCaption() of the widget).
    QString userCaption() const;
    bool inStartEdit() const { return m_inStartEdit; }

private:
    class Link;
    class ShowWatcher;
    /// Record moves and writes: shown now, or when the widget is shown again if it is hidden in a
    /// shown window (a page behind another tab need not follow every selection).
    void follow(bool wholeRecord, Field *f);
    void shownAgain();
    std::unique_ptr<Link> m_link;
    QString m_dataField;
    bool m_readOnly = false;
    bool m_inStartEdit = false;
    bool m_refreshPending = false;
    ShowWatcher *m_showWatcher = nullptr;
    QWidget *m_widget = nullptr; // this control as a widget, found on its first refresh
    bool m_widgetKnown = false;
    // The bound field as last looked up, valid while the data set and its fields version match.
    mutable Field *m_field = nullptr;
    mutable const DataSet *m_fieldSet = nullptr;
    mutable quint64 m_fieldsVersion = 0;
};

/// Visits every record of a browsing data set and comes back to the record it started on. The data set's
/// controls stay silent meanwhile. Does nothing (and returns false) unless the data set is open and
/// browsing, since moving in edit would post the record.
bool forEachRecord(DataSet *ds, const std::function<void()> &visit);

} // namespace kvt
