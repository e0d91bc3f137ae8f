#pragma once
// Record navigator: ten buttons acting on the data set of a data source.
#include "engine/dataset.h"
#include <QKeySequence>
#include <QList>
#include <QStringList>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <memory>

namespace kvt {

/// A navigator button. Its own class, so that the walk that captions a window's push and picture
/// buttons leaves the navigator's inner buttons alone.
class DbNavButton : public QToolButton {
    Q_OBJECT
public:
    using QToolButton::QToolButton;
};

/// The buttons take the keyboard focus by Tab (a click leaves the focus where it is, so an edit's
/// pending text is written by the post it asks for). Row actions have keys, shown in the hints:
/// Ctrl+E edit, Ctrl+S post, F5 refresh, anywhere in the navigator's window; Esc cancels the row
/// when no widget of the window wants the key for itself (an edit uses its first Esc to take back
/// its own typing, so the second one cancels the row).
class DbNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };
    Q_ENUM(Button)
    static constexpr int ButtonCount = 10;

    explicit DbNavigator(QWidget *parent = nullptr);
    ~DbNavigator() override;

    DataSource *dataSource() const;
    /// May be changed at any time; the buttons follow the new source at once.
    void setDataSource(DataSource *ds);

    void setVisibleButtons(const QList<Button> &buttons);
    QList<Button> visibleButtons() const;
    bool isButtonVisible(Button b) const;

    /// Hints of the ten buttons in button order; missing entries keep the standard hint.
    void setHints(const QStringList &hints);
    QStringList hints() const { return m_hints; }
    void setShowHints(bool on);
    bool showHints() const { return m_showHints; }
    /// The key of a button's action (empty: none), as its hint shows it after the hint text.
    QKeySequence shortcut(Button b) const { return m_keys[size_t(b)]; }

    DbNavButton *button(Button b) const { return m_buttons[size_t(b)]; }
    /// Runs a button's action as a click would (nothing while it is disabled); an exception goes to the
    /// error hook, so a failed post leaves the record in edit.
    void clickButton(Button b);
    /// Enables the buttons after the data set's state and position.
    void updateButtons();

signals:
    /// After a button's action has run (also when it failed).
    void clicked(kvt::DbNavigator::Button button);

protected:
    bool event(QEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    class Link;
    void applyHints();
    void watchWindow();

    std::unique_ptr<Link> m_link;
    std::array<DbNavButton *, ButtonCount> m_buttons{};
    QStringList m_hints;
    bool m_showHints = false;
    std::array<QKeySequence, ButtonCount> m_keys{};
    QWidget *m_window = nullptr; // the window whose unused Esc cancels the row
};

} // namespace kvt
