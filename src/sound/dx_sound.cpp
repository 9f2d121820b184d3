#include "sound/dx_sound.h"

#include <algorithm>

namespace groovane {

TCustomDXSound::TCustomDXSound(TDXSoundOwner* owner) : owner_(owner) {}

TCustomDXSound::~TCustomDXSound()
{
    try {
        Finalize();
    } catch (...) {
        // A destructor has no one to report to; the device is gone either way.
    }
    const std::vector<TDXSoundListener*> listeners = listeners_;
    listeners_.clear();
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it)
        (*it)->DXSoundDestroyed(*this);
}

void TCustomDXSound::notify(TDXSoundNotifyType kind)
{
    // A listener may register or unregister others while being told; walk a copy.
    const std::vector<TDXSoundListener*> listeners = listeners_;
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it)
        if (std::find(listeners_.begin(), listeners_.end(), *it) != listeners_.end())
            (*it)->DXSoundNotify(*this, kind);
}

void TCustomDXSound::Initialize()
{
    Finalize();

    TDXSoundOwner* form = owner_;
    while (form && !form->IsForm())
        form = form->Owner();
    if (!form)
        throw EDXSoundError("Form not found");

    notify(dsntInitializing);
    if (OnInitializing)
        OnInitializing(*this);
    calledDoInitialize_ = true;

    try {
        dsound_ = std::make_unique<TDXSoundDirectSound>(*this, nullptr);
        dsound_->SetGlobalFocus((effectiveOptions_ & soGlobalFocus) != 0);

        primary_ = std::make_unique<TDirectSoundBuffer>(*dsound_);
        SoundBufferDesc desc;
        desc.dwFlags = DSBCAPS_PRIMARYBUFFER;
        if (!primary_->CreateBuffer(desc))
            throw EDXSoundError(formatMessage("%s cannot be made", "Primary Buffer"));

        initialized_ = true;
        form_ = form;
        attachToForm();
    } catch (...) {
        Finalize();
        throw;
    }

    notify(dsntInitialize);
    notifiedOnInitialize_ = true;
    if (OnInitialize)
        OnInitialize(*this);
    Restore();
}

void TCustomDXSound::attachToForm()
{
    // There are no window re-creations to follow here, so the level is set once per
    // initialization; a refused level is only stored.
    if (!initialized_ || !form_)
        return;
    uint32_t level = DSSCL_NORMAL;
    if (effectiveOptions_ & soWritePrimary)
        level = DSSCL_WRITEPRIMARY;
    else if (effectiveOptions_ & soExclusive)
        level = DSSCL_EXCLUSIVE;
    dsound_->SetDXResult(dsound_->IDSound().SetCooperativeLevel(form_->Handle(), level));
}

void TCustomDXSound::Finalize()
{
    if (!calledDoInitialize_)
        return;
    form_ = nullptr;
    std::exception_ptr failure;
    try {
        if (notifiedOnInitialize_) {
            notifiedOnInitialize_ = false;
            if (OnFinalize)
                OnFinalize(*this);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        notify(dsntFinalize);
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }
    initialized_ = false;
    calledDoInitialize_ = false;
    SetOptions(options_);
    primary_.reset();
    dsound_.reset();
    if (failure)
        std::rethrow_exception(failure);
}

void TCustomDXSound::Restore()
{
    if (!initialized_)
        return;
    notify(dsntRestore);
    if (OnRestore)
        OnRestore(*this);
}

void TCustomDXSound::Loaded()
{
    if (!autoInitialize_)
        return;
    try {
        Initialize();
    } catch (...) {
        // At load time a failure leaves the component closed without a message; the window
        // initializes again where it can report errors.
    }
}

void TCustomDXSound::SetOptions(TDXSoundOptions options)
{
    options_ = options;
    if (!initialized_) {
        effectiveOptions_ = options;
        return;
    }
    const TDXSoundOptions fixedAtInitialize = soExclusive | soWritePrimary;
    effectiveOptions_ = (options & ~fixedAtInitialize) | (effectiveOptions_ & fixedAtInitialize);
    dsound_->SetGlobalFocus((effectiveOptions_ & soGlobalFocus) != 0);
    dsound_->SetStickyFocus((effectiveOptions_ & soStickyFocus) != 0);
}

void TCustomDXSound::RegisterNotifyEvent(TDXSoundListener& listener)
{
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), &listener), listeners_.end());
    listeners_.push_back(&listener);
    if (initialized_) {
        listener.DXSoundNotify(*this, dsntInitialize);
        listener.DXSoundNotify(*this, dsntRestore);
    }
}

void TCustomDXSound::UnRegisterNotifyEvent(TDXSoundListener& listener)
{
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), &listener), listeners_.end());
    if (initialized_)
        listener.DXSoundNotify(*this, dsntFinalize);
}

} // namespace groovane
