#pragma once
// Single-line data-aware edit.
#include "dbwidgets/dbcontrol.h"
#include <QLineEdit>

namespace kvt {

/// Shows the bound field as text. Typing puts the data set into edit; the text is written through the
/// field on Enter, when the edit loses focus and before a post, so a post or a move never loses it.
/// Escape brings back the field's value. A value the field refuses is reported through the error hook and
/// stays in the edit, selected and with the focus, for correction; before a post the refusal propagates,
/// so the post fails.
/// The whole stored text is shown, also one longer than the field's size (the field refuses a longer
/// text only when it is new). A stored value the field cannot show is reported once each time its
/// record is shown. While the data set cannot be modified (a damaged store) the edit is read-only.
class DbEdit : public QLineEdit, public DbControl {
    Q_OBJECT
public:
    explicit DbEdit(QWidget *parent = nullptr);

    /// Read-only as set; the edit is also read-only while its data set cannot be modified.
    bool readOnly() const override { return m_lockedByData ? m_readOnlyBefore : isReadOnly(); }
    void setReadOnly(bool on) override;
    /// The caption the user sees for the edit: its label's text, else its accessible name or hint.
    QString caption() const;
    /// True while typed text has not yet been written to the field.
    bool isModified() const { return m_modified; }
    /// Writes pending text; false (after reporting) when the field refuses it.
    bool commit();

signals:
    /// A mouse click on the edit, also when it is read-only.
    void clicked();
    /// Enter, Space, F2, F4 or Alt+Down on a read-only edit: the keys that ask for the dialog a click
    /// opens. Only an edit with a receiver takes these keys; others keep their usual meaning.
    void openRequested();

protected:
    bool event(QEvent *e) override;
    void dataChange() override;
    void stateChange() override;
    void updateData() override;
    void focusOutEvent(QFocusEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    void onTextEdited();
    bool isOpenKey(const QKeyEvent *e) const;
    void writePending();
    void applyReadOnly();
    void noteUnreadable(Field *f);
    /// After a refusal: the focus back in the edit and its text selected, ready to be typed over.
    void returnForCorrection();

    bool m_modified = false;
    bool m_pressed = false;
    bool m_lockedByData = false;  // read-only because the data set cannot be modified
    bool m_readOnlyBefore = false; // and what it was before
    QString m_unreadableShown; // the message last given for a value that cannot be shown
    /// The text refused and shown by the last commit, until the event that caused it is over.
    QString m_shownRefusal;
    bool m_refusalJustShown = false;
};

/// Data-aware edit for dates; the text is passed to the field as typed.
class DbDateEdit : public DbEdit {
    Q_OBJECT
public:
    explicit DbDateEdit(QWidget *parent = nullptr);
};

} // namespace kvt
