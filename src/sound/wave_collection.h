// A kit: named sounds held in a hash collection, each with its wave, its own sound buffer, pan
// and volume, and the wave list component that binds the collection to a window's sound
// component. Playing a sound once makes a fresh copy of its buffer (sharing the samples), so a
// drum can sound any number of times at once; the copies still sounding are kept on the
// collection's playing list and a 500 ms timer frees those that have ended. Kits are saved to
// and loaded from kit files (wave_collection_component.h).
//
// How a window holds its kit:
//   TDXSoundForm form;  TDXSound DXSound1{&form};  TDXWaveList DXWaveList1;
//   DXSound1.SetOptions(soGlobalFocus | soExclusive);
//   DXSound1.OnInitialize = [&](TCustomDXSound& s) { /* s.Primary()->SetFormat(...) */ };
//   DXWaveList1.SetDXSound(&DXSound1);
//   DXSound1.Loaded();                                   // the silent first open
//   DXWaveList1.Items().LoadFromFile("Rock_kit.dxg");    // file and format errors raise
//   DXSound1.Initialize();                               // device errors raise
//   DXWaveList1.Items().Find("kick").Play();             // a fresh copy at the item's pan and volume
// Declare the sound component before the wave list, so the list detaches first.
//
// User-interface thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sound/dx_sound.h"
#include "sound/hash_collection.h"
#include "sound/interval_timer.h"
#include "sound/wave.h"

namespace groovane {

class TDirectSoundBuffer;
class TCustomDXWaveList;
class TStream;
class TWaveCollection;

// "Wave '%s' not found", "TWaveCollectionItem cannot be initialized".
class EWaveCollectionError : public Exception {
public:
    using Exception::Exception;
};

class TWaveCollectionItem : public THashCollectionItem {
public:
    explicit TWaveCollectionItem(TWaveCollection& collection);
    ~TWaveCollectionItem() override;

    TWaveCollection& Collection() const;

    bool Looped() const { return looped_; }
    // A change stops the item's own buffer first.
    void SetLooped(bool looped);
    TWave& Wave() { return wave_; }
    const TWave& Wave() const { return wave_; }
    void SetWave(const TWave& wave) { wave_.Assign(&wave); }

    // Passed to the buffer unchanged. Set while initialized they reach the item's buffer at
    // once (and so every copy made afterwards); otherwise at the next restore.
    int32_t Pan() const { return pan_; }
    void SetPan(int32_t pan);
    int32_t Volume() const { return volume_; }
    void SetVolume(int32_t volume);
    // Applied at restore; 0 keeps the wave's own rate.
    int32_t Frequency() const { return frequency_; }
    void SetFrequency(int32_t frequency) { frequency_ = frequency; }

    // Copies name, looped flag, wave, pan, volume and frequency.
    void Assign(const THashCollectionItem& source) override;

    bool Initialized() const { return initialized_; }
    // Makes the item's buffer object on the collection's device. EWaveCollectionError
    // "TWaveCollectionItem cannot be initialized" when the collection is not initialized.
    void Initialize();
    void Finalize();
    // Loads the wave into the buffer and applies frequency, pan and volume. An empty wave
    // raises EDirectSoundBufferError "Sound Buffer cannot be made".
    void Restore();
    // The item's own buffer, restored first when the device is open and it has none yet.
    TDirectSoundBuffer* Buffer();

    // Plays the sound: looped items play their own buffer, others a fresh one-shot copy that
    // the collection frees when it has ended (wait = false) or that is waited for, polling
    // every 10 ms, and freed (wait = true). Silent when the collection is not initialized.
    void Play(bool wait = false);
    // Stops the item's own buffer; copies already sounding play on.
    void Stop();

private:
    bool looped_ = false;
    TWave wave_;
    int32_t pan_ = 0;
    int32_t volume_ = 0;
    int32_t frequency_ = 0;
    std::unique_ptr<TDirectSoundBuffer> buffer_;
    bool initialized_ = false;
};

class TWaveCollection : public THashCollection {
public:
    explicit TWaveCollection(TCustomDXWaveList* owner = nullptr) : owner_(owner) {}
    ~TWaveCollection() override;

    TWaveCollectionItem& Items(int index) const { return static_cast<TWaveCollectionItem&>(ItemAt(index)); }
    TWaveCollectionItem& Add() { return static_cast<TWaveCollectionItem&>(AddItem()); }
    // The item named `name` without regard to case (the most recently named when several
    // share it); EWaveCollectionError "Wave '<name>' not found" when none.
    TWaveCollectionItem& Find(const std::string& name) const;
    // Replaces the items with copies of the source's.
    void Assign(const TWaveCollection& source);

    TCustomDXWaveList* Owner() const { return owner_; }
    TCustomDXSound* DXSound() const { return dxSound_; }
    // True when the collection has a sound component and that component is initialized.
    bool Initialized() const;
    // Forgets any earlier component, makes every item's buffer object on the component's
    // device and starts the cleanup timer.
    void Initialize(TCustomDXSound& dxSound);
    // Frees the cleanup timer and every sounding copy, releases every item's buffer and
    // forgets the component.
    void Finalize();
    // Reloads every item's buffer.
    void Restore();

    // One-shot copies still held (sounding, or ended and not yet freed).
    int PlayingCount() const { return static_cast<int>(playing_.size()); }
    // The cleanup tick: frees the copies that no longer play, walking from the newest.
    void FreeStoppedCopies();

    // Kit files. Loading first removes every item; on failure the items read before it stay.
    // Failures: the file errors of byte_stream.h and the reading errors of
    // wave_collection_component.h.
    void LoadFromFile(const std::string& fileName);
    void LoadFromStream(TStream& stream);
    // Writes the kit resource "DrumKitWaveCollection". SaveToFile writes through a temporary
    // file, so a failed save leaves an existing kit file as it was.
    void SaveToFile(const std::string& fileName);
    void SaveToStream(TStream& stream);
    std::string KitBytes();

protected:
    std::unique_ptr<THashCollectionItem> NewItem() override;

private:
    friend class TWaveCollectionItem;
    TCustomDXWaveList* owner_;
    TCustomDXSound* dxSound_ = nullptr;
    std::vector<std::unique_ptr<TDirectSoundBuffer>> playing_;
    std::unique_ptr<IntervalTimer> cleanupTimer_;
};

// The wave list component: owns a collection and binds it to a sound component, so the kit's
// buffers come and go with the device.
class TCustomDXWaveList : public TDXSoundListener {
public:
    TCustomDXWaveList();
    ~TCustomDXWaveList() override;
    TCustomDXWaveList(const TCustomDXWaveList&) = delete;
    TCustomDXWaveList& operator=(const TCustomDXWaveList&) = delete;

    TCustomDXSound* DXSound() const { return dxSound_; }
    // Moves the list's listener from the old component to the new one (null detaches); an
    // initialized component initializes and restores the collection at once.
    void SetDXSound(TCustomDXSound* dxSound);

    TWaveCollection& Items() { return items_; }
    const TWaveCollection& Items() const { return items_; }
    void SetItems(const TWaveCollection& items) { items_.Assign(items); }

    void DXSoundNotify(TCustomDXSound& sender, TDXSoundNotifyType kind) override;
    void DXSoundDestroyed(TCustomDXSound& sender) override;

private:
    TCustomDXSound* dxSound_ = nullptr;
    TWaveCollection items_;
};

class TDXWaveList : public TCustomDXWaveList {};

} // namespace groovane
