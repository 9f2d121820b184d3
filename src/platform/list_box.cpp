#include "list_box.h"

#include <QMouseEvent>
#include <QToolButton>
#include <QVBoxLayout>

namespace groovane {

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
