// A collection of named items found by name through a 256-bucket hash. Playback looks up every
// sounding kit instrument by name on every step, so a kit's sounds live in one of these. Names
// compare without regard to ASCII case; when several items share a name, the one named most
// recently is found, because a renamed item goes to the head of its bucket's chain.
//
// User-interface thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/exception.h"

namespace groovane {

class THashCollection;

// "List index out of bounds (%d)": an item was asked for by a position the collection lacks.
class EListError : public Exception {
public:
    using Exception::Exception;
};

class THashCollectionItem {
public:
    virtual ~THashCollectionItem();
    THashCollectionItem(const THashCollectionItem&) = delete;
    THashCollectionItem& operator=(const THashCollectionItem&) = delete;

    const std::string& Name() const { return name_; }
    // Renames the item and moves it to the head of its new bucket's chain; the same name
    // again changes nothing.
    void SetName(const std::string& name);
    int Index() const { return index_; }
    THashCollection* Collection() const { return collection_; }
    // Copies the name only.
    virtual void Assign(const THashCollectionItem& source) { SetName(source.Name()); }

    // The bucket a name hashes to: (16 * n + code(s[0]) + code(s[n-2])) mod 256 over the
    // lower-cased name s of length n, without the two codes when n < 2.
    static int BucketOf(const std::string& name);

protected:
    explicit THashCollectionItem(THashCollection& collection);

private:
    friend class THashCollection;
    void link();
    void unlink();

    THashCollection* collection_;
    std::string name_;
    int index_ = 0;
    int bucket_ = 0;
    THashCollectionItem* prev_ = nullptr;
    THashCollectionItem* next_ = nullptr;
};

class THashCollection {
public:
    THashCollection() = default;
    virtual ~THashCollection();
    THashCollection(const THashCollection&) = delete;
    THashCollection& operator=(const THashCollection&) = delete;

    int Count() const { return static_cast<int>(items_.size()); }
    // The item at `index`; EListError "List index out of bounds (%d)" for a bad index.
    THashCollectionItem& ItemAt(int index) const;
    // Appends a new item (of the kind the subclass makes) with an empty name.
    THashCollectionItem& AddItem();
    // Destroys the item at `index`; later items move down by one.
    void Delete(int index);
    // Destroys every item.
    void Clear();
    // The item whose name equals `name` without regard to case, the most recently named first;
    // null when there is none.
    THashCollectionItem* FindItem(const std::string& name) const;

protected:
    // Makes an item of the collection's kind.
    virtual std::unique_ptr<THashCollectionItem> NewItem() = 0;

private:
    friend class THashCollectionItem;
    std::vector<std::unique_ptr<THashCollectionItem>> items_;
    std::array<THashCollectionItem*, 256> buckets_{};
};

} // namespace groovane
