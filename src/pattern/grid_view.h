// The step grid on screen: draws a PatternGrid with its two heading rows and its label column
// fixed while the steps scroll, keeps a current cell, and reports mouse releases. Cells are never
// edited in place; the window decides what a click does.
#pragma once

#include "pattern/pattern_grid.h"

#include <QAbstractScrollArea>

namespace groovane {

class GridView : public QAbstractScrollArea {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 18;
    static constexpr int kColumnWidth = 64;

    explicit GridView(PatternGrid& grid, QWidget* parent = nullptr);

    int currentColumn() const { return column_; }
    int currentRow() const { return row_; }
    // Makes a step cell current; fixed cells (rows 0 and 1, column 0) cannot be current.
    bool setCurrentCell(int column, int row);

    // The row marked as sounding while the pattern or a song plays, -1 for none. Only the rows
    // that gain or lose the mark are drawn again; the current cell stays where it is.
    int playheadRow() const { return playheadRow_; }
    void setPlayheadRow(int row);

    // The cell under a point of the viewport, or (-1, -1).
    QPoint cellAt(QPoint viewportPos) const;
    // The viewport rectangle of a cell, for clicking it in tests.
    QRect cellRect(int column, int row) const;

signals:
    void mouseUp(Qt::MouseButton button, QPoint pos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateScrollRange();
    void ensureVisible(int row);
    int scrollableRowsVisible() const;

    PatternGrid& grid_;
    void updateRow(int row);

    int column_ = 1;
    int row_ = 2;
    int playheadRow_ = -1;
};

} // namespace groovane
