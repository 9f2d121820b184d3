#include "pattern/grid_view.h"

#include "platform/qt_text.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace groovane {

GridView::GridView(PatternGrid& grid, QWidget* parent) : QAbstractScrollArea(parent), grid_(grid)
{
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setFocusPolicy(Qt::StrongFocus);
    QFont f = font();
    f.setBold(true);
    f.setItalic(true);
    setFont(f);
    viewport()->setAutoFillBackground(true);
    QPalette pal = viewport()->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
    pal.setColor(QPalette::Window, pal.color(QPalette::ToolTipBase));
    viewport()->setPalette(pal);
    grid_.setChangeListener([this] {
        // A shrinking pattern takes the current cell with it to its last step row.
        if (row_ >= grid_.rowCount())
            row_ = std::max(PatternGrid::kFixedRows, grid_.rowCount() - 1);
        updateScrollRange();
        viewport()->update();
    });
    updateScrollRange();
}

int GridView::scrollableRowsVisible() const
{
    return std::max(1, viewport()->height() / kRowHeight - PatternGrid::kFixedRows);
}

void GridView::updateScrollRange()
{
    const int stepRows = grid_.rowCount() - PatternGrid::kFixedRows;
    verticalScrollBar()->setRange(0, std::max(0, stepRows - scrollableRowsVisible()));
    verticalScrollBar()->setPageStep(scrollableRowsVisible());
    verticalScrollBar()->setSingleStep(1);
}

QRect GridView::cellRect(int column, int row) const
{
    int y;
    if (row < PatternGrid::kFixedRows)
        y = row * kRowHeight;
    else
        y = (row - verticalScrollBar()->value()) * kRowHeight;
    return QRect(column * kColumnWidth, y, kColumnWidth, kRowHeight);
}

QPoint GridView::cellAt(QPoint pos) const
{
    const int column = pos.x() / kColumnWidth;
    int row = pos.y() / kRowHeight;
    if (column < 0 || column >= PatternGrid::kColumnCount || pos.y() < 0)
        return {-1, -1};
    if (row >= PatternGrid::kFixedRows)
        row += verticalScrollBar()->value();
    if (row >= grid_.rowCount())
        return {-1, -1};
    return {column, row};
}

bool GridView::setCurrentCell(int column, int row)
{
    if (column < 1 || column >= PatternGrid::kColumnCount || row < PatternGrid::kFixedRows || row >= grid_.rowCount())
        return false;
    column_ = column;
    row_ = row;
    ensureVisible(row);
    viewport()->update();
    return true;
}

void GridView::setPlayheadRow(int row)
{
    if (row == playheadRow_)
        return;
    updateRow(playheadRow_);
    playheadRow_ = row;
    updateRow(row);
}

void GridView::updateRow(int row)
{
    if (row >= PatternGrid::kFixedRows)
        viewport()->update(QRect(0, cellRect(0, row).top(), viewport()->width(), kRowHeight));
}

void GridView::ensureVisible(int row)
{
    QScrollBar* bar = verticalScrollBar();
    const int first = bar->value() + PatternGrid::kFixedRows;
    const int visible = scrollableRowsVisible();
    if (row < first)
        bar->setValue(row - PatternGrid::kFixedRows);
    else if (row >= first + visible)
        bar->setValue(row - PatternGrid::kFixedRows - visible + 1);
}

void GridView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QPalette pal = palette();
    const QColor fixedColor = pal.color(QPalette::Button);
    const QColor lineColor = pal.color(QPalette::Mid);
    // The sounding row in a warm tint that reads apart from the selection's highlight.
    const QColor soundingColor(255, 214, 140);
    const QColor soundingFixedColor(240, 168, 72);
    const int top = verticalScrollBar()->value();
    const int visibleRows = viewport()->height() / kRowHeight + 1;

    auto drawCell = [&](int column, int row, int y) {
        const QRect r(column * kColumnWidth, y, kColumnWidth, kRowHeight);
        const bool fixed = column == 0 || row < PatternGrid::kFixedRows;
        const bool current = column == column_ && row == row_;
        const bool sounding = row == playheadRow_ && row >= PatternGrid::kFixedRows;
        if (fixed)
            painter.fillRect(r, sounding ? soundingFixedColor : fixedColor);
        else if (current)
            painter.fillRect(r, pal.color(QPalette::Highlight));
        else if (sounding)
            painter.fillRect(r, soundingColor);
        painter.setPen(lineColor);
        painter.drawRect(r.adjusted(0, 0, -1, -1));
        painter.setPen(current && !fixed ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
        const QString text = toQString(grid_.cell(column, row));
        painter.drawText(r.adjusted(2, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, text);
    };

    for (int i = 0; i < visibleRows - PatternGrid::kFixedRows; ++i) {
        const int row = top + PatternGrid::kFixedRows + i;
        if (row >= grid_.rowCount())
            break;
        for (int column = 0; column < PatternGrid::kColumnCount; ++column)
            drawCell(column, row, (PatternGrid::kFixedRows + i) * kRowHeight);
    }
    for (int row = 0; row < PatternGrid::kFixedRows; ++row)
        for (int column = 0; column < PatternGrid::kColumnCount; ++column)
            drawCell(column, row, row * kRowHeight);
}

void GridView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    const QPoint cell = cellAt(event->position().toPoint());
    // A click on a fixed cell selects nothing: the cell that was current stays current.
    setCurrentCell(cell.x(), cell.y());
}

void GridView::mouseReleaseEvent(QMouseEvent* event)
{
    emit mouseUp(event->button(), event->position().toPoint());
}

void GridView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Up:
        setCurrentCell(column_, row_ - 1);
        break;
    case Qt::Key_Down:
        setCurrentCell(column_, row_ + 1);
        break;
    case Qt::Key_Left:
        setCurrentCell(column_ - 1, row_);
        break;
    case Qt::Key_Right:
        setCurrentCell(column_ + 1, row_);
        break;
    case Qt::Key_PageUp:
        setCurrentCell(column_, std::max(2, row_ - scrollableRowsVisible()));
        break;
    case Qt::Key_PageDown:
        setCurrentCell(column_, std::min(grid_.rowCount() - 1, row_ + scrollableRowsVisible()));
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
}

void GridView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

} // namespace groovane
