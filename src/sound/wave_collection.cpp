#include "sound/wave_collection.h"

#include <chrono>
#include <thread>

#include "sound/direct_sound.h"
#include "platform/files.h"
#include "sound/wave_collection_component.h"

namespace groovane {

namespace {

constexpr int kCleanupIntervalMs = 500;
constexpr auto kWaitPollInterval = std::chrono::milliseconds(10);
constexpr const char* kKitResourceName = "DrumKitWaveCollection";
constexpr const char* kItemClassName = "TWaveCollectionItem";

} // namespace

TWaveCollectionItem::TWaveCollectionItem(TWaveCollection& collection) : THashCollectionItem(collection) {}

TWaveCollectionItem::~TWaveCollectionItem()
{
    Finalize();
}

TWaveCollection& TWaveCollectionItem::Collection() const
{
    return static_cast<TWaveCollection&>(*THashCollectionItem::Collection());
}

void TWaveCollectionItem::SetLooped(bool looped)
{
    if (looped == looped_)
        return;
    Stop();
    looped_ = looped;
}

void TWaveCollectionItem::SetPan(int32_t pan)
{
    pan_ = pan;
    if (initialized_) {
        TDirectSoundBuffer* buffer = Buffer();
        if (buffer && buffer->HasBuffer())
            buffer->SetPan(pan);
    }
}

void TWaveCollectionItem::SetVolume(int32_t volume)
{
    volume_ = volume;
    if (initialized_) {
        TDirectSoundBuffer* buffer = Buffer();
        if (buffer && buffer->HasBuffer())
            buffer->SetVolume(volume);
    }
}

void TWaveCollectionItem::Assign(const THashCollectionItem& source)
{
    const auto* other = dynamic_cast<const TWaveCollectionItem*>(&source);
    if (!other) {
        THashCollectionItem::Assign(source);
        return;
    }
    SetName(other->Name());
    SetLooped(other->Looped());
    SetWave(other->Wave());
    SetFrequency(other->Frequency());
    SetPan(other->Pan());
    SetVolume(other->Volume());
}

void TWaveCollectionItem::Initialize()
{
    Finalize();
    // Marked only once there is a device to make the buffer on: an item marked initialized
    // without a buffer object would be used as if it had one.
    if (!Collection().Initialized())
        throw EWaveCollectionError(formatMessage("%s cannot be initialized", kItemClassName));
    buffer_ = std::make_unique<TDirectSoundBuffer>(*Collection().DXSound()->DSound());
    initialized_ = true;
}

void TWaveCollectionItem::Finalize()
{
    if (!initialized_)
        return;
    initialized_ = false;
    buffer_.reset();
}

void TWaveCollectionItem::Restore()
{
    if (!Collection().Initialized())
        return;
    if (!initialized_)
        Initialize();
    buffer_->LoadFromWave(wave_);
    buffer_->SetFrequency(frequency_);
    buffer_->SetPan(pan_);
    buffer_->SetVolume(volume_);
}

TDirectSoundBuffer* TWaveCollectionItem::Buffer()
{
    if (Collection().Initialized() && (!buffer_ || !buffer_->HasBuffer()))
        Restore();
    return buffer_.get();
}

void TWaveCollectionItem::Play(bool wait)
{
    TWaveCollection& collection = Collection();
    if (!collection.Initialized())
        return;

    if (looped_) {
        Buffer()->Play(true);
        return;
    }

    TDirectSoundBuffer* source = Buffer();
    if (!source)
        throw EWaveCollectionError(formatMessage("%s cannot be initialized", kItemClassName));
    auto copy = std::make_unique<TDirectSoundBuffer>(*collection.DXSound()->DSound());
    if (source->Status() & DSBSTATUS_BUFFERLOST) {
        Restore();
        source = buffer_.get();
    }
    copy->Assign(source);
    copy->Play(false);

    if (!wait) {
        collection.playing_.push_back(std::move(copy));
        return;
    }
    while (copy->Playing())
        std::this_thread::sleep_for(kWaitPollInterval);
}

void TWaveCollectionItem::Stop()
{
    if (initialized_ && buffer_ && buffer_->HasBuffer())
        buffer_->Stop();
}

TWaveCollection::~TWaveCollection()
{
    Finalize();
    Clear();
}

TWaveCollectionItem& TWaveCollection::Find(const std::string& name) const
{
    THashCollectionItem* item = FindItem(name);
    if (!item)
        throw EWaveCollectionError(formatMessage("Wave '%s' not found", name));
    return static_cast<TWaveCollectionItem&>(*item);
}

void TWaveCollection::Assign(const TWaveCollection& source)
{
    if (&source == this)
        return;
    Clear();
    for (int i = 0; i < source.Count(); ++i)
        Add().Assign(source.Items(i));
}

bool TWaveCollection::Initialized() const
{
    return dxSound_ && dxSound_->Initialized();
}

void TWaveCollection::Initialize(TCustomDXSound& dxSound)
{
    Finalize();
    dxSound_ = &dxSound;
    for (int i = 0; i < Count(); ++i)
        Items(i).Initialize();
    cleanupTimer_ = makeIntervalTimer(kCleanupIntervalMs, [this] { FreeStoppedCopies(); });
}

void TWaveCollection::Finalize()
{
    cleanupTimer_.reset();
    playing_.clear();
    for (int i = 0; i < Count(); ++i)
        Items(i).Finalize();
    dxSound_ = nullptr;
}

void TWaveCollection::Restore()
{
    for (int i = 0; i < Count(); ++i)
        Items(i).Restore();
}

void TWaveCollection::FreeStoppedCopies()
{
    for (size_t i = playing_.size(); i-- > 0;)
        if (!playing_[i]->Playing())
            playing_.erase(playing_.begin() + static_cast<std::ptrdiff_t>(i));
}

void TWaveCollection::LoadFromFile(const std::string& fileName)
{
    TFileStream file(fileName, FileMode::OpenRead);
    LoadFromStream(file);
}

void TWaveCollection::LoadFromStream(TStream& stream)
{
    Clear();
    TWaveCollectionComponent component(*this);
    component.ReadResource(stream);
}

void TWaveCollection::SaveToFile(const std::string& fileName)
{
    writeFileBytesAtomic(fileName, KitBytes());
}

void TWaveCollection::SaveToStream(TStream& stream)
{
    TWaveCollectionComponent component(*this);
    component.WriteResource(stream, kKitResourceName);
}

std::string TWaveCollection::KitBytes()
{
    TWaveCollectionComponent component(*this);
    return component.ResourceBytes(kKitResourceName);
}

std::unique_ptr<THashCollectionItem> TWaveCollection::NewItem()
{
    return std::make_unique<TWaveCollectionItem>(*this);
}

TCustomDXWaveList::TCustomDXWaveList() : items_(this) {}

TCustomDXWaveList::~TCustomDXWaveList()
{
    try {
        SetDXSound(nullptr);
    } catch (...) {
        // Detaching only finalizes; nothing is left to report to.
    }
}

void TCustomDXWaveList::SetDXSound(TCustomDXSound* dxSound)
{
    if (dxSound == dxSound_)
        return;
    if (dxSound_)
        dxSound_->UnRegisterNotifyEvent(*this);
    dxSound_ = dxSound;
    if (dxSound_)
        dxSound_->RegisterNotifyEvent(*this);
}

void TCustomDXWaveList::DXSoundNotify(TCustomDXSound& sender, TDXSoundNotifyType kind)
{
    switch (kind) {
    case dsntInitialize:
        items_.Initialize(sender);
        break;
    case dsntFinalize:
        items_.Finalize();
        break;
    case dsntRestore:
        items_.Restore();
        break;
    case dsntInitializing:
        break;
    }
}

void TCustomDXWaveList::DXSoundDestroyed(TCustomDXSound&)
{
    items_.Finalize();
    dxSound_ = nullptr;
}

} // namespace groovane
