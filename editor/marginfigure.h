#pragma once
// The margin figure of the detail pages: a box inside a page, each of the four margins marked
// with a double arrow and a dashed lead running off the figure's left edge towards its edit.
#include <QList>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <memory>

namespace kvt {

class DataSource;
class DbEdit;

class MarginFigure : public QWidget {
    Q_OBJECT
public:
    enum class Shape {
        TallPage, // 153 x 185, the report's page
        WideBox,  // 153 x 86, a band or a control: wide and low
    };

    explicit MarginFigure(Shape shape, QWidget *parent = nullptr);
    ~MarginFigure() override;

    static QSize figureSize(Shape shape);
    Shape shape() const { return m_shape; }

    // Points, in the parent's coordinates, of the edits the leads run to (for example the right
    // end of each edit at its vertical centre). A lead leaves the figure at the height of its
    // point; without targets each lead leaves at the height of its arrow.
    void setLeadTargets(QPoint top, QPoint left, QPoint right, QPoint bottom);

    /// The margins in percent, top, left, right, bottom: the box moves in as they grow, with a
    /// smallest gap that keeps every arrow visible. Negative values count as 0.
    void setMargins(double top, double left, double right, double bottom);
    /// A page figure turned on its side (only the page figure turns).
    void setLandscape(bool landscape);
    bool landscape() const { return m_landscape; }
    /// Where each margin is drawn, in pixels from the page's edges: top, left, right, bottom.
    QList<int> marginPixels() const;
    /// The page and the box as drawn.
    QRect pageRect() const;
    QRect boxRect() const;

    /// Follows the current row of ds: its four margin fields (top, left, right, bottom), an orientation
    /// field ("L" turns the page; empty for none) and, before they reach their fields, the numbers
    /// typed into edits.
    void follow(DataSource *ds, const QStringList &marginFields, const QString &orientField,
                const QList<DbEdit *> &edits);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    class Link;
    void readRow();
    Shape m_shape;
    double m_margins[4] = {-1, -1, -1, -1}; // unset: the design's gaps
    bool m_landscape = false;
    std::unique_ptr<Link> m_link;
    QStringList m_fields;
    QString m_orientField;
    QList<QPointer<DbEdit>> m_edits;
    bool m_hasTargets = false;
    QPoint m_targets[4];
};

} // namespace kvt
