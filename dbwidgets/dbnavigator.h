#pragma once
// Record navigator: ten buttons acting on the data set of a data source.
#include "engine/dataset.h"
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

    DbNavButton *button(Button b) const { return m_buttons[size_t(b)]; }
    /// Runs a button's action as a click would (nothing while it is disabled); an exception goes to the
    /// error hook, so a failed post leaves the record in edit.
    void clickButton(Button b);
    /// Enables the buttons after the data set's state and position.
    void updateButtons();

signals:
    /// After a button's action has run (also when it failed).
    void clicked(kvt::DbNavigator::Button button);

private:
    class Link;
    void applyHints();

    std::unique_ptr<Link> m_link;
    std::array<DbNavButton *, ButtonCount> m_buttons{};
    QStringList m_hints;
    bool m_showHints = false;
};

} // namespace kvt
