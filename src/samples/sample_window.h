// The eight sample windows share one implementation; the window classes differ only in their
// slot number, which fixes the caption, the scratch file and the design position. A window
// opens a WAV file for its slot, keeps a copy of it as the slot's scratch file, sets the slot's
// pitch, volume and pan, and auditions it; patterns, songs and the render reach the slot
// through Player().
//
// Each window has its own sound component (global focus, exclusive) and plays the slot through
// one streamed player on it. The player never outlives that component's device: finalizing the
// component frees it (DXSoundFinalize), so after Close the slot has no player until the next
// Open, and Player() is null.
//
// UI thread only. Handlers raise; the connections run them through the handler guard, and
// message boxes and file dialogs go through dialogs().
#pragma once

#include <QWidget>

#include <memory>
#include <string>

#include "sound/audio_stream.h"
#include "sound/dx_sound.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QSlider;
class QTimer;

namespace groovane {

class SampleWindow : public QWidget {
    Q_OBJECT
public:
    // slot: 1..8. baseFolder: the working folder at start-up, where the open dialog starts and
    // below which the scratch file lies (empty: the working folder now). The window is built
    // hidden, its sound component opened silently; FormCreate does the rest.
    SampleWindow(int slot, std::string baseFolder, QWidget* parent = nullptr);
    ~SampleWindow() override;

    int slot() const { return slot_; }
    const std::string& BaseFolder() const { return baseFolder_; }
    // "temp/Sample<k>.wav" below the base folder.
    std::string scratchFileName() const;

    // The slot's player; null when the slot has none (after Close, or when its creation failed).
    TAudioFileStream* Player() const { return player_.get(); }

    // True while the window sets its own sliders; the slider handlers then do nothing.
    bool Updating = false;

    // The slot's player; a slot without one (closed in its window) first gets its device opened
    // and an empty player made on it, as Open does before it opens a file. Raises the device's
    // error, leaving the slot without a player.
    TAudioFileStream& ensurePlayer();
    // The output format follows the player's sample width (44100 Hz, two channels). Nothing
    // while the slot has no sound.
    void followPlayerFormat();

    // --- controls -----------------------------------------------------------------------------
    QMenuBar* MainMenu1;
    QMenu* File1;
    QAction* FileOpen;
    QAction* FileClose;
    QAction* FileEnd;
    QMenu* Option1;
    QAction* GlobalFocusItem;
    QWidget* ClientArea; // below the menu bar, 245 x 171 (slot 8: 245 x 172)
    QFrame* Bevel1;
    QLabel* FrequencyLabel;
    QSlider* FrequencyTrackBar; // 4410 .. 44100 Hz
    QLabel* VolumeLabel;
    QSlider* VolumeTrackBar; // -40 .. 0, hundreds of the player's volume
    QLabel* PanLabel;
    QSlider* PanTrackBar; // -40 .. 40, hundreds of the player's pan
    QPushButton* PlayButton;
    QPushButton* Button1; // "OK"
    QTimer* Timer;        // 100 ms: notices the end of an audition

    TDXSoundForm SoundForm;
    TDXSound DXSound{&SoundForm};

    // --- handlers -----------------------------------------------------------------------------
    // Opens the sound component again, makes the player on it with "Blank.wav" from the working
    // folder and sets the output format from the player's sample width. Raises the player's
    // error when "Blank.wav" cannot be played (the slot keeps a player without a sound).
    void FormCreate(QObject* Sender = nullptr);
    // Asks for a file; replaces the slot's player and scratch copy with it. A file that cannot
    // be played closes the slot and raises the player's error.
    void FileOpenClick(QObject* Sender = nullptr);
    // Leaves the slot without a player, its controls disabled.
    void FileCloseClick(QObject* Sender = nullptr);
    void PanTrackBarChange(QObject* Sender = nullptr);
    void VolumeTrackBarChange(QObject* Sender = nullptr);
    void FrequencyTrackBarChange(QObject* Sender = nullptr);
    // Audition: plays the slot from its start and watches for its end.
    void PlayButtonClick(QObject* Sender = nullptr);
    void TimerTimer(QObject* Sender = nullptr);
    // OK: stops the slot and hides the window.
    void Button1Click(QObject* Sender = nullptr);
    // Exit: hides the window; the sound goes on.
    void FileEndClick(QObject* Sender = nullptr);
    // Toggles global focus for the slot's sound and remakes its ring so it takes effect.
    void GlobalFocusItemClick(QObject* Sender = nullptr);
    // The sound component's finalize event: frees the player before the device goes.
    void DXSoundFinalize(QObject* Sender = nullptr);

private:
    void buildControls();
    void connectHandlers();
    // The output format: 44100 Hz, two channels, the player's sample width.
    void setPrimaryFormat();
    void enableSoundControls(bool enabled);

    const int slot_;
    const std::string baseFolder_;
    std::unique_ptr<TAudioFileStream> player_;
};

// The window classes, one per slot (the class number is one below the slot from slot 2 on).
class TMainForm : public SampleWindow {
public:
    explicit TMainForm(std::string baseFolder, QWidget* parent = nullptr)
        : SampleWindow(1, std::move(baseFolder), parent)
    {}
};
class TMainForm1 : public SampleWindow {
public:
    explicit TMainForm1(std::string baseFolder, QWidget* parent = nullptr)
        : SampleWindow(2, std::move(baseFolder), parent)
    {}
};
class TMainForm2 : public SampleWindow {
public:
    explicit TMainForm2(std::string baseFolder, QWidget* parent = nullptr)
        : SampleWindow(3, std::move(baseFolder), parent)
    {}
};
class TMainForm3 : public SampleWindow {
public:
    explicit TMainForm3(std::string baseFolder, QWidget* parent = nullptr)
        : SampleWindow(4, std::move(baseFolder), parent)
    {}
};
class TMainForm4 : public SampleWindow {
public:
    explicit TMainForm4(std::string baseFolder, QWidget* parent = nullptr)
        : SampleWindow(5, std::move(baseFolder), parent)
    {}
};
class TMainForm5 : public SampleWindow {
public:
    explicit TMainForm5(std::string baseFolder, QWidget* parent = nullptr)
        : SampleWindow(6, std::move(baseFolder), parent)
    {}
};
class TMainForm6 : public SampleWindow {
public:
    explicit TMainForm6(std::string baseFolder, QWidget* parent = nullptr)
        : SampleWindow(7, std::move(baseFolder), parent)
    {}
};
class TMainForm7 : public SampleWindow {
public:
    explicit TMainForm7(std::string baseFolder, QWidget* parent = nullptr)
        : SampleWindow(8, std::move(baseFolder), parent)
    {}
};

} // namespace groovane
