// The kit maker: builds a new kit file from WAV files. The user picks an instrument with a radio
// button (its tag is the instrument's slot), loads a WAV file for it, previews the file, and saves
// the whole kit; the saved kit can then replace the main window's kit at once.
//
// The kit being built lives in the window's own wave list, which is attached to no sound
// component and so never sounds. The preview plays the slot's file from disk through a streamed
// player on the window's own sound device; finalizing that device frees the player first
// (DXSoundFinalize), so the player never outlives it.
//
// A sample that cannot be loaded leaves the instrument's sound and its file as they were, and a
// preview that could not be prepared makes Play do nothing. Saving writes through a temporary
// file, so a failed save leaves an existing kit file whole, and the save dialog asks before it
// replaces one.
//
// UI thread only. Handlers raise; the connections run them through the handler guard, and
// message boxes and file dialogs go through dialogs().
#pragma once

#include "sound/audio_stream.h"
#include "sound/dx_sound.h"
#include "kits/kit_maker.h"
#include "sound/wave_collection.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPushButton;
class QRadioButton;

namespace groovane {

class TMakit : public QWidget {
    Q_OBJECT
public:
    // baseFolder: the working folder at start-up (empty: the working folder now). mainKit: the
    // main window's kit, which templating copies from; it must outlive the window. The window is
    // built hidden, its sound component opened silently.
    TMakit(std::string baseFolder, const TWaveCollection& mainKit, QWidget* parent = nullptr);
    ~TMakit() override;

    const std::string& BaseFolder() const { return baseFolder_; }

    // Takes a saved kit file into use in the main window; set by whoever creates the windows.
    // Unset, the answer Yes to "use the new drum kit now" does nothing more.
    std::function<void(const std::string& kitFile)> useKit;

    // --- controls -----------------------------------------------------------------------------
    // RadioButton1 .. RadioButton16, tag n is element n - 1.
    std::vector<QRadioButton*> RadioButtons;
    QPushButton* Load_sample;
    QPushButton* Play;
    QPushButton* Save_library;

    // The sound component (no options), then the kit being built.
    TDXSoundForm SoundForm;
    TDXSound DXSound{&SoundForm};
    TDXWaveList DXWaveList1;

    // --- state ----------------------------------------------------------------------------------
    // The preview player; null until Prepare has made one, and after the device was finalized.
    std::unique_ptr<TAudioFileStream> PreviewPlayer;
    // Entry 0: the last file loaded (at first the blank sound); 1..16: where each sound came from.
    KitSoundFiles SlotFiles;
    // The tag of the selected radio button when a button was last pressed.
    int CurrentSlot = 1;

    // The tag of the selected radio button (1 when none is selected).
    int selectedTag() const;

    // --- handlers -----------------------------------------------------------------------------
    // Starts a new kit: the sound component opened again with a preview player on the blank
    // sound, every sound the blank sound, and, with templateCurrentKit, sounds 1..16 copied from the
    // main kit through "temp/1.wav" .. "temp/16.wav". Raises the errors of the device, of a
    // missing or damaged blank sound, and of templating (see kit_maker.h); the kit then holds
    // what was made before the error.
    void Prepare(bool templateCurrentKit);
    // Load Sample: a WAV file for the selected instrument. A file that cannot sound raises its
    // error and changes nothing.
    void Load_sampleClick(QObject* Sender = nullptr);
    // Play: the selected instrument's file from its start, from disk, at 44100 Hz output in the
    // file's sample width. Does nothing without a player. A file that cannot be opened raises
    // and leaves the player without a file.
    void PlayClick(QObject* Sender = nullptr);
    // Save Library: the kit to a chosen file, then the question whether to use it now.
    void Save_libraryClick(QObject* Sender = nullptr);
    // The sound component's finalize event: frees the preview player before the device goes.
    void DXSoundFinalize(QObject* Sender = nullptr);

private:
    const std::string baseFolder_;
    const TWaveCollection& mainKit_;
};

} // namespace groovane
