#include "app/edit_views.h"

#include "platform/list_box.h"
#include "platform/qt_text.h"

#include <QLineEdit>
#include <QListWidgetItem>

#include <utility>

namespace groovane {

PlayList readPlayList(const ListBox& box)
{
    std::vector<std::string> names;
    for (int i = 0; i < box.count(); ++i)
        names.push_back(box.entry(i));
    PlayList list;
    list.assign(names);
    for (int i = 0; i < box.count(); ++i)
        list.setTicked(i, box.item(i)->checkState() == Qt::Checked);
    list.select(box.currentRow());
    return list;
}

void showPlayList(ListBox& box, const PlayList& list)
{
    // A song of a hundred thousand entries fills the box in a moment: each item is complete
    // before it goes in, and the box is drawn once at the end.
    box.setUpdatesEnabled(false);
    box.clear();
    for (const PlayListEntry& entry : list.entries()) {
        QListWidgetItem* item = ListBox::makeEntry(entry.name);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(entry.ticked ? Qt::Checked : Qt::Unchecked);
        box.addItem(item);
    }
    box.setCurrentRow(list.selected());
    box.setUpdatesEnabled(true);
}

EditViews editViewsOf(ListBox& list, QLineEdit& nameBox, QLineEdit& titleBox, std::function<void()> changed)
{
    EditViews views;
    views.readList = [&list] { return readPlayList(list); };
    views.showList = [&list](const PlayList& entries) { showPlayList(list, entries); };
    views.showName = [&nameBox](const std::string& name) { nameBox.setText(toQString(name)); };
    views.title.read = [&titleBox] { return fromQString(titleBox.text()); };
    views.title.write = [&titleBox](const std::string& title) { titleBox.setText(toQString(title)); };
    views.changed = std::move(changed);
    return views;
}

} // namespace groovane
