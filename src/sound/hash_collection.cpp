#include "sound/hash_collection.h"

#include "platform/files.h"

namespace groovane {

namespace {

unsigned char lowerAscii(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

} // namespace

int THashCollectionItem::BucketOf(const std::string& name)
{
    const size_t n = name.size();
    size_t hash = 16 * n;
    if (n >= 2)
        hash += lowerAscii(static_cast<unsigned char>(name[0])) + lowerAscii(static_cast<unsigned char>(name[n - 2]));
    return static_cast<int>(hash % 256);
}

THashCollectionItem::THashCollectionItem(THashCollection& collection) : collection_(&collection)
{
    bucket_ = BucketOf(name_);
    link();
}

THashCollectionItem::~THashCollectionItem()
{
    unlink();
}

void THashCollectionItem::SetName(const std::string& name)
{
    if (name == name_)
        return;
    unlink();
    name_ = name;
    bucket_ = BucketOf(name_);
    link();
}

void THashCollectionItem::link()
{
    THashCollectionItem*& head = collection_->buckets_[size_t(bucket_)];
    prev_ = nullptr;
    next_ = head;
    if (head)
        head->prev_ = this;
    head = this;
}

void THashCollectionItem::unlink()
{
    if (prev_)
        prev_->next_ = next_;
    else if (collection_->buckets_[size_t(bucket_)] == this)
        collection_->buckets_[size_t(bucket_)] = next_;
    if (next_)
        next_->prev_ = prev_;
    prev_ = next_ = nullptr;
}

THashCollection::~THashCollection()
{
    Clear();
}

THashCollectionItem& THashCollection::ItemAt(int index) const
{
    if (index < 0 || index >= Count())
        throw EListError(formatMessage("List index out of bounds (%d)", index));
    return *items_[size_t(index)];
}

THashCollectionItem& THashCollection::AddItem()
{
    std::unique_ptr<THashCollectionItem> item = NewItem();
    item->index_ = Count();
    items_.push_back(std::move(item));
    return *items_.back();
}

void THashCollection::Delete(int index)
{
    ItemAt(index);
    std::unique_ptr<THashCollectionItem> doomed = std::move(items_[size_t(index)]);
    items_.erase(items_.begin() + index);
    for (size_t i = size_t(index); i < items_.size(); ++i)
        items_[i]->index_ = static_cast<int>(i);
    // Destroyed last, after the list no longer holds it.
}

void THashCollection::Clear()
{
    while (!items_.empty()) {
        std::unique_ptr<THashCollectionItem> doomed = std::move(items_.back());
        items_.pop_back();
    }
}

THashCollectionItem* THashCollection::FindItem(const std::string& name) const
{
    for (THashCollectionItem* item = buckets_[size_t(THashCollectionItem::BucketOf(name))]; item; item = item->next_)
        if (equalsIgnoreCase(item->name_, name))
            return item;
    return nullptr;
}

} // namespace groovane
