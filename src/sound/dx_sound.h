// The sound component a window places on itself: it opens its own sound device, owns the
// primary buffer whose format sets the output rate and width, sets the device's cooperative
// level for its window, and tells the wave lists attached to it when the device comes (kind 1),
// goes (kind 2) or must be restored (kind 3). Re-initializing closes everything and opens it
// again, which is how the output format is changed.
//
// User-interface thread only. Failures raise the exceptions of direct_sound.h or
// EDXSoundError; the load-time initialization (Loaded) swallows them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "sound/direct_sound.h"

namespace groovane {

// "Form not found", "Primary Buffer cannot be made".
class EDXSoundError : public Exception {
public:
    using Exception::Exception;
};

// The window hierarchy as the sound component sees it: it walks up from its owner to the first
// form and sets the cooperative level on that form's window.
class TDXSoundOwner {
public:
    virtual ~TDXSoundOwner() = default;
    // The next owner up the chain; null at the top.
    virtual TDXSoundOwner* Owner() const { return nullptr; }
    virtual bool IsForm() const { return false; }
    // The form's window identity (only asked of a form).
    virtual WindowHandle Handle() const { return this; }
};

// A top-level window for the sound component to sit on. A window class holds one as a member
// and passes it to its sound components.
class TDXSoundForm : public TDXSoundOwner {
public:
    bool IsForm() const override { return true; }
};

// Options, as a set of bits.
using TDXSoundOptions = uint32_t;
constexpr TDXSoundOptions soGlobalFocus = 1u << 0;
constexpr TDXSoundOptions soStickyFocus = 1u << 1;
constexpr TDXSoundOptions soExclusive = 1u << 2;
constexpr TDXSoundOptions soWritePrimary = 1u << 3;

enum TDXSoundNotifyType { dsntInitializing = 0, dsntInitialize = 1, dsntFinalize = 2, dsntRestore = 3 };

// Something that follows a sound component's device: the wave lists.
class TDXSoundListener {
public:
    virtual ~TDXSoundListener() = default;
    virtual void DXSoundNotify(TCustomDXSound& sender, TDXSoundNotifyType kind) = 0;
    // The component is being destroyed; forget it. (After the finalize notice.)
    virtual void DXSoundDestroyed(TCustomDXSound&) {}
};

class TCustomDXSound {
public:
    using TNotifyEvent = std::function<void(TCustomDXSound& sender)>;

    // `owner` is where the owner chain starts (may be null: Initialize then fails with
    // "Form not found"); it must outlive the component.
    explicit TCustomDXSound(TDXSoundOwner* owner);
    virtual ~TCustomDXSound();
    TCustomDXSound(const TCustomDXSound&) = delete;
    TCustomDXSound& operator=(const TCustomDXSound&) = delete;

    // Closes any open device, then opens the device and the primary buffer, tells the
    // listeners, fires OnInitialize and restores every sound. Raises EDXSoundError
    // "Form not found" when no form owns the component (nothing else happens then),
    // EDXSoundError "Primary Buffer cannot be made", and the device errors of direct_sound.h;
    // when the device or the primary buffer fails the component is closed again.
    void Initialize();
    // Fires OnFinalize (when OnInitialize had fired), tells the listeners, frees the primary
    // buffer and the device. Does nothing when initialization never began.
    void Finalize();
    // When initialized: listeners restore their sounds, then OnRestore fires.
    void Restore();
    // What the window does once it has been loaded: an AutoInitialize component initializes
    // and silently discards any failure.
    void Loaded();

    // The requested set; see SetOptions for the one in effect.
    TDXSoundOptions Options() const { return options_; }
    // Stores the set. While initialized, soExclusive and soWritePrimary keep their current
    // effect until the next Initialize, and the focus flags apply to buffers made from now on.
    void SetOptions(TDXSoundOptions options);
    TDXSoundOptions EffectiveOptions() const { return effectiveOptions_; }

    bool AutoInitialize() const { return autoInitialize_; }
    void SetAutoInitialize(bool on) { autoInitialize_ = on; }

    bool Initialized() const { return initialized_; }
    // The device and the primary buffer; null while not initialized.
    TDirectSound* DSound() const { return dsound_.get(); }
    TDirectSoundBuffer* Primary() const { return primary_.get(); }

    // Adds a listener (removing it first if present); when initialized it is told kind 1 and
    // then kind 3 at once. Listeners are told in reverse order of addition.
    void RegisterNotifyEvent(TDXSoundListener& listener);
    // Removes a listener; when initialized it is told kind 2.
    void UnRegisterNotifyEvent(TDXSoundListener& listener);

    TNotifyEvent OnInitializing;
    TNotifyEvent OnInitialize;
    TNotifyEvent OnFinalize;
    TNotifyEvent OnRestore;

private:
    void notify(TDXSoundNotifyType kind);
    void attachToForm();

    TDXSoundOwner* owner_;
    TDXSoundOwner* form_ = nullptr;
    bool autoInitialize_ = true;
    TDXSoundOptions options_ = 0;
    TDXSoundOptions effectiveOptions_ = 0;
    bool initialized_ = false;
    bool calledDoInitialize_ = false;
    bool notifiedOnInitialize_ = false;
    std::unique_ptr<TDXSoundDirectSound> dsound_;
    std::unique_ptr<TDirectSoundBuffer> primary_;
    std::vector<TDXSoundListener*> listeners_;
};

// The component as windows place it.
class TDXSound : public TCustomDXSound {
public:
    using TCustomDXSound::TCustomDXSound;
};

} // namespace groovane
