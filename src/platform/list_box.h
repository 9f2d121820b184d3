// A list box that reports a mouse press after the press has moved the selection, and a double
// click anywhere on it, the two events the program's lists react to. With checkable items it is
// the check list box: a click on the box or Space ticks an entry.
#pragma once

#include <QComboBox>
#include <QListWidget>

#include <string>

namespace groovane {

class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget* parent = nullptr) : QListWidget(parent) {}

    // The selected entry's index, -1 for none.
    int itemIndex() const { return currentRow(); }

    // Entries whose text came from a file: the item shows the bytes as qt_text.h reads them and
    // keeps the bytes themselves, so they go back unchanged.
    QListWidgetItem* addEntry(const std::string& bytes);
    // An entry not yet in a list, to be set up and added with addItem: setting up an item that
    // is already shown costs a change notice for every property.
    static QListWidgetItem* makeEntry(const std::string& bytes);
    // The bytes of entry `row`: those it was added with while it shows their text, otherwise its
    // text as UTF-8.
    std::string entry(int row) const;

signals:
    void mouseDown(Qt::MouseButton button, QPoint pos);
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// A drop-down box whose list, when it drops down, is as wide as its widest item (never narrower
// than the box), so no item is cut short however narrow the box is designed.
class DropDownBox : public QComboBox {
    Q_OBJECT
public:
    explicit DropDownBox(QWidget* parent = nullptr) : QComboBox(parent) {}
    void showPopup() override;
};

// The vertical pair of arrow buttons beside the play list.
class UpDown : public QWidget {
    Q_OBJECT
public:
    enum class Button { Next, Prev }; // Next is the upper arrow, Prev the lower
    explicit UpDown(QWidget* parent = nullptr);

signals:
    void clicked(UpDown::Button button);
};

} // namespace groovane
