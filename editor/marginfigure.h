#pragma once
// The margin figure of the detail pages: a box inside a page, each of the four margins marked
// with a double arrow and a dashed lead running off the figure's left edge towards its edit.
#include <QPoint>
#include <QWidget>

namespace kvt {

class MarginFigure : public QWidget {
    Q_OBJECT
public:
    enum class Shape {
        TallPage, // 153 x 185, the report's page
        WideBox,  // 153 x 86, a band or a control: wide and low
    };

    explicit MarginFigure(Shape shape, QWidget *parent = nullptr);

    static QSize figureSize(Shape shape);
    Shape shape() const { return m_shape; }

    // Points, in the parent's coordinates, of the edits the leads run to (for example the right
    // end of each edit at its vertical centre). A lead leaves the figure at the height of its
    // point; without targets each lead leaves at the height of its arrow.
    void setLeadTargets(QPoint top, QPoint left, QPoint right, QPoint bottom);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    Shape m_shape;
    bool m_hasTargets = false;
    QPoint m_targets[4];
};

} // namespace kvt
