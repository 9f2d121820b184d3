#include "platform/list_box.h"

#include "platform/qt_text.h"

#include <QAbstractItemView>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace groovane {

namespace {

// Where an entry keeps the bytes it was added with.
constexpr int kBytesRole = Qt::UserRole;

} // namespace

QListWidgetItem* ListBox::addEntry(const std::string& bytes)
{
    QListWidgetItem* item = makeEntry(bytes);
    addItem(item);
    return item;
}

QListWidgetItem* ListBox::makeEntry(const std::string& bytes)
{
    auto* item = new QListWidgetItem(toQString(bytes));
    item->setData(kBytesRole, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return item;
}

std::string ListBox::entry(int row) const
{
    const QListWidgetItem* item = this->item(row);
    const QByteArray bytes = item->data(kBytesRole).toByteArray();
    return keptOrTyped(item->text(), bytes.toStdString());
}

void ListBox::mousePressEvent(QMouseEvent* event)
{
    QListWidget::mousePressEvent(event);
    emit mouseDown(event->button(), event->position().toPoint());
}

void ListBox::mouseDoubleClickEvent(QMouseEvent* event)
{
    QListWidget::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void DropDownBox::showPopup()
{
    // The list sits in a window of its own, whose width the box sets from its own when it drops
    // down; a minimum width on that window is what widens it.
    QAbstractItemView* list = view();
    QWidget* popup = list->window();
    const QMargins margins = popup->contentsMargins();
    const int itemsWidth = list->sizeHintForColumn(0) + list->verticalScrollBar()->sizeHint().width() +
                           2 * list->frameWidth() + margins.left() + margins.right();
    popup->setMinimumWidth(std::max(itemsWidth, width()));
    QComboBox::showPopup();
}

UpDown::UpDown(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* up = new QToolButton(this);
    up->setArrowType(Qt::UpArrow);
    auto* down = new QToolButton(this);
    down->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up, down}) {
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
    }
    connect(up, &QToolButton::clicked, this, [this] { emit clicked(Button::Next); });
    connect(down, &QToolButton::clicked, this, [this] { emit clicked(Button::Prev); });
}

} // namespace groovane
