// The sequencer window, the program's main window. It owns the step grid, the pattern library,
// the play list, the tempo and loop controls and the menu, runs the start-up work when it is
// created, and ends the program when it closes. Handlers are named after their control and event
// and glue the controls to the plain classes that hold the rules.
#pragma once

#include "app/edit_binding.h"
#include "app/edit_views.h"
#include "sound/dx_sound.h"
#include "sound/dx_timer.h"
#include "pattern/grid_view.h"
#include "playback/instrument_trigger.h"
#include "platform/line_buffer.h"
#include "platform/list_box.h"
#include "pattern/pattern_grid.h"
#include "pattern/pattern_library.h"
#include "pattern/pattern_file.h"
#include "playback/pattern_playback.h"
#include "song/play_list.h"
#include "playback/sample_slots.h"
#include "platform/scope_exit.h"
#include "playback/song_playback.h"
#include "render/song_render.h"
#include "song/song_slots.h"
#include "song/step_list.h"
#include "sound/wave_collection.h"

#include <QMainWindow>
#include <QUrl>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSlider;
class QSpinBox;

namespace groovane {

class PlayheadDisplay;

// The main window's controls and menu items, named as the window's design names them; where a
// name says nothing of the control, its comment gives the caption or what it shows. TSequence
// holds them privately: the program's window wiring (ProgramWindows) hands the few that other
// windows act on to those windows, and tests reach them through TSequenceTestAccess.
struct TSequenceControls {
    // --- controls -----------------------------------------------------------------------------
    QLabel* Label1;        // "Pattern Library"
    ListBox* MusicLib;     // the pattern library
    QPushButton* LibBin;   // "Delete pattern" (bin)
    QPushButton* BitBtn1;  // "Add to play list" (arrow right)
    QPushButton* BitBtn2;  // "Remove from play list" (arrow left)
    QLabel* Label2;        // "Play List"
    ListBox* SongList;     // the play list
    UpDown* UpDown1;       // moves the selected play list entry up or down
    QPushButton* SongBin;  // "Delete from play list" (bin): the ticked entries
    QCheckBox* Noend;      // "Loop": the song starts again at its end
    QPushButton* Rendor;   // "Render"
    QPushButton* BitBtn10; // "Clear List"
    QPushButton* BitBtn12; // "Play List": Play Song
    QLabel* Image3;        // the banner logo
    QLabel* Label8;        // "Sample Bank"
    // The sample buttons; captions "1" "2" "3" "4" on the first row, "5" "6" "7" "8" on the
    // second, which are Button8, Button6, Button5 and Button7.
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button5;        // "7"
    QPushButton* Button6;        // "6"
    QPushButton* Button7;        // "8"
    QPushButton* Button8;        // "5"
    QLabel* Label9;              // "Song Title"
    QLineEdit* Edit3;            // the song title
    QPushButton* BitBtn8;        // "Open": Open Song
    QPushButton* BitBtn9;        // "Save": Save Song
    QProgressBar* ProgressBar1;  // the render's progress, shown while a render runs
    QLabel* Label7;              // "Pattern Name"
    QLineEdit* Edit2;            // the pattern name (the grid's name cell)
    QLabel* Label15;             // "Length/beat"
    DropDownBox* TimeBar;        // the length/beat choice
    QLineEdit* Edit4;            // the length part of TimeBar's text (shown only)
    QPushButton* BitBtn13;       // "Update": applies length and beat to the grid
    QLineEdit* Edit5;            // the beat part of TimeBar's text (shown only)
    QPushButton* BitBtn6;        // "Save Pattern"
    QPushButton* BitBtn7;        // "Clear Pattern"
    GridView* StringGrid1;       // the step grid
    QLabel* Label4;              // "Loops"
    QSpinBox* Loop;              // the pattern's loop count
    QSlider* Delay;              // the tempo slider
    QLabel* Label5;              // "BPM"
    QLabel* Label6;              // the tempo read-out
    QLabel* Label14;             // "Global"
    QCheckBox* Global;           // the user's tempo holds for the whole song
    QFrame* Panel2;              // the pattern's play and stop panel
    QLabel* Label16;             // "Play" and "Stop" above the two buttons
    QPushButton* BitBtn3;        // Play Pattern
    QPushButton* BitBtn4;        // Stop
    QCheckBox* endless;          // "Endless loop": the pattern plays on until Stop
    QGroupBox* Panel1;           // the instrument panel
    QLabel* Label13;             // "Play"
    QLabel* Label3;              // "Instrument List"
    QLabel* Label11;             // "L"
    QLabel* Label12;             // "R"
    QPushButton* BitBtn5;        // "R": every kit instrument back to the centre
    QPushButton* BitBtn11;       // Play Instrument (speaker)
    QComboBox* ComboBox1;        // the instrument selector
    QSlider* Panning;            // the selected instrument's pan
    QLabel* Image2;              // the pad logo
    std::vector<QFrame*> Bevels; // Bevel1 .. Bevel7

    // --- menu ---------------------------------------------------------------------------------
    QMenu* File1;                      // "File"
    QAction* New_Song;                 // "New Song"
    QAction* OpenPattern1;             // "Open Song"
    QAction* SavePattern1;             // "Save Song"
    QAction* Exit1;                    // "Exit"
    QAction* Rendor_to_wav;            // "Render song to wav file"
    QMenu* Edit1;                      // "Edit"
    QAction* Undo1;                    // "Undo"
    QAction* Redo1;                    // "Redo"
    QAction* CopyPattern1;             // "Clear Pattern"
    QAction* UpdateTime1;              // "Clear List"
    QAction* UpdateTime2;              // "Update Time"
    QAction* Insertinstrument1;        // "Insert instrument"
    QAction* KitVolumeControl1;        // "Kit Volume Control"
    QAction* KitList1;                 // "Kit List"
    QAction* KitMake;                  // "Kit Maker"
    QMenu* Import1;                    // "Import"
    std::vector<QAction*> SampleItems; // Sample1 .. Sample8: "Sample 1" .. "Sample 8"
    QAction* SoundLibrary1;            // "Drum Kit Library"
    QMenu* Play1;                      // "Play"
    QAction* Play2;                    // "Play Pattern"
    QAction* Stop1;                    // "Play Song"
    QAction* Stop2;                    // "Stop"
    QAction* PlayInstrument1;          // "Play Instrument"
    QAction* set1;                     // "44.1Khz, 16bit"
    QAction* set2;                     // "44.1Khz, 8bit"
    QAction* set3;                     // "22.5Khz, 16bit"
    QAction* set4;                     // "22.5Khz, 8bit"
    QAction* Focus;                    // "Sound Focus"
    QMenu* Help1;                      // "Help"
    QAction* Contents1;                // "Contents"
    QAction* Vis_Site;                 // "Visit the installed manual"
};

class TSequence : public QMainWindow, private TSequenceControls {
    Q_OBJECT
    friend struct ProgramWindows;
    friend struct TSequenceTestAccess;

public:
    static constexpr const char* kCaption = "Groovane Pro v4.0";

    // Builds the window and its controls; FormCreate runs separately so the program can show
    // the window first. UI thread only.
    explicit TSequence(QWidget* parent = nullptr);
    ~TSequence() override;

    // --- fields -------------------------------------------------------------------------------
    std::string PatternName;
    int32_t TempoPosition = 60;
    int32_t StepInterval = 120; // milliseconds
    // The output format of the kit's sound device. Zero until the start-up work sets it: the
    // device's first, silent opening happens before that and is refused without a message.
    uint32_t OutputRate = 0;
    int32_t OutputBits = 0;
    std::string BaseFolder;

    // "Stop" after Stop and Clear List; empty while playback runs.
    std::string PlayState;

    // The current pattern; StringGrid1 shows it.
    PatternGrid Grid;

    // Undo and redo of the user's actions on the grid and the play list (which SongList holds),
    // and whether each differs from its file.
    EditBinding Edits{Grid};

    // The pattern library's entries and order; MusicLib shows them.
    PatternLibrary Library;

    // Hidden: the line buffer through which text files are read and written, and the song's
    // step list.
    LineBuffer MusicPad;
    StepList MainPlay;

    // The step timers of song and pattern playback: disabled, 1000 ms, ticking also while the
    // program is not the active one.
    TDXTimer DXTimer1;
    TDXTimer DXTimer2;

    // The kit's sound device (global focus, exclusive) and the kit itself. The component comes
    // before the wave list so the list lets go of it first.
    TDXSoundForm SoundForm;
    TDXSound DXSound1{&SoundForm};
    TDXWaveList DXWaveList1;

    // Playback: the kit and the sample slots as the instrument trigger reaches them, and the
    // pattern playback over the grid (PatternLength, PatternRow). The sample slots stay silent
    // until setSampleSlots hands over the sample windows' players.
private:
    SilentSampleSlots noSampleSlots_;

public:
    WaveListKit Kit{DXWaveList1};
    InstrumentTrigger Trigger{Kit, noSampleSlots_};
    PatternPlayback Pattern{Grid, Trigger};
    // The song playback over the step list (SongStepIndex).
    SongPlayback Song{MainPlay, Trigger};

    // --- start-up and closing -----------------------------------------------------------------
    // The start-up work, in order. An error ends it at that step and is shown; the window keeps
    // what was done.
    void FormCreate(QObject* Sender = nullptr);
    // Writes the instrument pans to "Panning.dat" when they are worth keeping (see
    // pansToStore_). A kit that lacks an instrument shows its error and lets the window close
    // with the file untouched; a file that cannot be written raises, which keeps it open.
    void FormClose(QObject* Sender = nullptr);
    void Exit1Click(QObject* Sender = nullptr);
    // Closes the window as Exit does, but without asking to save: for a session that ends.
    // Returns whether it closed.
    bool closeWithoutQuestion();
    void Contents1Click(QObject* Sender = nullptr);
    void Vis_SiteClick(QObject* Sender = nullptr);

    // --- sound ---------------------------------------------------------------------------------
    // Runs every time DXSound1 has opened its device: sets the primary format from OutputRate,
    // OutputBits and two channels. Any values are accepted; the device refuses nonsense.
    void DXSound1Initialize(QObject* Sender = nullptr);
    // Play Instrument: sounds the selector's instrument (an unknown text sounds "Tamb"), whether
    // or not anything is playing.
    void BitBtn11Click(QObject* Sender = nullptr);
    // The output format items: each checks itself alone, sets OutputRate and OutputBits and
    // opens the device again, so the kit's buffers are made again in the new format.
    void set1Click(QObject* Sender = nullptr);
    void set2Click(QObject* Sender = nullptr);
    void set3Click(QObject* Sender = nullptr);
    void set4Click(QObject* Sender = nullptr);
    // Sound Focus: inverts its check mark and adds or removes global focus; buffers made from
    // then on (the kit's at the next format choice) follow it.
    void FocusClick(QObject* Sender = nullptr);

    // --- instrument panning -------------------------------------------------------------------
    // The selector's text changed by the user (picked or typed): the pan slider shows the pan
    // of that instrument; a sample or unknown text shows "Tamb", the empty entry leaves it.
    void ComboBox1Change(QObject* Sender = nullptr);
    // The pan slider moved by the user: the selected kit instrument takes its position. With a
    // sample selected, the "Sample Panning" message and nothing else.
    void PanningChange(QObject* Sender = nullptr);
    // "R": every kit instrument back to the centre, and the slider too.
    void BitBtn5Click(QObject* Sender = nullptr);

    // --- sample slots -------------------------------------------------------------------------
    // Shows the sample window of slot 1..8. Whoever creates the windows sets it; unset, the
    // handlers only name the slot in the instrument selector.
    std::function<void(int slot)> showSampleWindow;
    // The sample buttons and Import menu items: show slot k's window and put "Sample<k>" into
    // the instrument selector, so the next cell placed names that slot.
    void Sample1Click(QObject* Sender = nullptr);
    void Sample2Click(QObject* Sender = nullptr);
    void Sample3Click(QObject* Sender = nullptr);
    void Sample4Click(QObject* Sender = nullptr);
    void Sample5Click(QObject* Sender = nullptr);
    void Sample6Click(QObject* Sender = nullptr);
    void Sample7Click(QObject* Sender = nullptr);
    void Sample8Click(QObject* Sender = nullptr);

    // --- playback -----------------------------------------------------------------------------
    // The sample slots that "Sample1" .. "Sample8" restart and Stop silences; null: silent
    // slots. They must outlive the window or be replaced first.
    void setSampleSlots(SampleSlots* samples);
    // Play Pattern (button, menu, F6): starts the pattern timer; the first row sounds one
    // interval later. A length cell that is no integer raises after both play buttons were
    // disabled; Stop enables them again.
    void BitBtn3Click(QObject* Sender = nullptr);
    // One tick of pattern playback. LagCount is ignored: a late tick plays one row and does not
    // catch up. An error of an instrument runs Stop before it passes on, so playback has ended
    // when its message shows.
    void DXTimer2Timer(QObject* Sender, int LagCount);
    // Play Song (button, menu, F5): builds the step list of the play list from the selected
    // entry on, then starts the song timer; the first row sounds one interval later (the
    // interval the timer already has). The patterns pass through the grid as they are read, and
    // the editor is put back as it was afterwards; the tempo slider and read-out show the last
    // pattern's tempo, or the user's with Global ticked. An empty play list changes nothing. A
    // pattern that cannot be read raises with the step list as it was and both play buttons
    // disabled; Stop enables them again. Chosen (F5) while a song plays, it starts that song
    // again, read afresh: its first row sounds at the running timer's next tick.
    void BitBtn12Click(QObject* Sender = nullptr);
    // One tick of song playback: a pattern that starts moves the slider and read-out to its
    // tempo and sets the song timer's interval; then one row sounds. At the song's end the timer
    // stops, the step list is emptied, the play buttons come back and the first play list entry
    // is selected; with Noend ticked the song starts again. LagCount is ignored. An error of an
    // instrument runs Stop before it passes on.
    void DXTimer1Timer(QObject* Sender, int LagCount);
    // Stop (button, menu, F8): silences the sample slots, stops song and pattern timers and
    // empties the step list. Kit sounds already started ring out.
    void BitBtn4Click(QObject* Sender = nullptr);
    // Drum Kit Library: loads a chosen kit file in place of the kit, keeping every instrument's
    // volume and pan. A kit that fails to load, or lacks an instrument, leaves the old kit.
    void SoundLibrary1Click(QObject* Sender = nullptr);
    // Render (button, menu, F11): stops playback, writes the kit's sounds to the scratch folder
    // (instrument g's sound found by its name), builds the step list of the play list from the
    // selected entry on as Play Song does, and runs the render window's render. Ignored while a
    // render runs. An empty play list changes nothing. A failure before the render gives the
    // play buttons back before its error passes on.
    void RendorClick(QObject* Sender = nullptr);
    // The sounds of instruments 1..24 as the render mixes them (render_sounds.h): the kit's
    // scratch files with the instruments' volumes and pans, the files the sample slots' players
    // play with their volume, pan and frequency (nothing for a slot without a sound).
    RenderSounds renderSounds() const;
    // The render window's render; set by whoever creates that window. Unset, Render only
    // prepares.
    std::function<void()> runRender;
    // Whether the running render should end: Stop, Clear List or closing this window came since
    // it began.
    bool isRenderStopRequested() const { return isRenderStopRequested_; }

    // --- kits -------------------------------------------------------------------------------------
    // 1 while the kit maker is to start from the current kit, 0 when the user declined.
    int32_t KitTemplate = 0;
    // The kit windows as the main window reaches them. Whoever creates the windows sets them;
    // unset, the menu items do nothing.
    std::function<void()> showKitVolumeControl;
    std::function<void()> showKitList;
    std::function<void()> showKitMaker;
    // Starts a new kit in the kit maker, from the current kit or from blank sounds.
    std::function<void(bool templateCurrentKit)> prepareKitMaker;
    // Kit Maker: shows the kit maker, asks whether to start from the current kit and prepares it.
    void KitMakeClick(QObject* Sender = nullptr);
    void KitVolumeControl1Click(QObject* Sender = nullptr);
    void KitList1Click(QObject* Sender = nullptr);
    // Puts the kit saved in `fileName` in place of the kit, every sound at pan 0 and volume 0.
    // The file is read into a kit of its own first: a file that cannot be read, or a kit without
    // one of the 16 instruments, raises its error and the kit stays as it was.
    void useNewKit(const std::string& fileName);

    // --- undo and redo --------------------------------------------------------------------------
    // Undo (Ctrl+Z) and Redo (Ctrl+Shift+Z, Ctrl+Y): take back or bring back the last user action
    // on the grid or the play list, and show the grid, the name box, the list and the title.
    void Undo1Click(QObject* = nullptr) { Edits.undo(); }
    void Redo1Click(QObject* = nullptr) { Edits.redo(); }

    // --- pattern grid -------------------------------------------------------------------------
    void StringGrid1MouseUp(QObject* Sender = nullptr);
    void Insertinstrument1Click(QObject* Sender = nullptr);
    void Edit2Change(QObject* Sender = nullptr);
    void TimeBarChange(QObject* Sender = nullptr);
    void BitBtn13Click(QObject* Sender = nullptr);
    void BitBtn7Click(QObject* Sender = nullptr);

    // --- pattern library and play list ------------------------------------------------------
    // Save Pattern: writes the grid to the pattern's file, then puts a new name at the end of
    // the play list and into the library. Raises the length cell's conversion error, an over-long
    // length, a name that is no file name in the base folder and "Cannot create file %s"; nothing
    // is written before those checks, and the lists change only after the file is written.
    void BitBtn6Click(QObject* Sender = nullptr);
    // Load pattern: the named pattern's file into the grid, the tempo slider and the loop count.
    // Does nothing for an empty name or "<Blank>". Raises, changing nothing but PatternName, for
    // a name that is no file name in the base folder, "Cannot open file %s" and a length beyond
    // the limit; then the conversion errors of the file's lines (what was loaded stays).
    void LoadPattern(const std::string& name);
    void MusicLibDblClick(QObject* Sender = nullptr);
    void LibBinClick(QObject* Sender = nullptr);
    void BitBtn2Click(QObject* Sender = nullptr);
    void UpDown1Click(QObject* Sender, UpDown::Button Button);
    void SongBinClick(QObject* Sender = nullptr);
    void BitBtn10Click(QObject* Sender = nullptr);
    void New_SongClick(QObject* Sender = nullptr);
    void SongListMouseDown(QObject* Sender = nullptr);
    void Edit3Change(QObject* Sender = nullptr);

    // --- song files -----------------------------------------------------------------------------
    // Save Song: the play list and the eight sample slots to the file chosen in the save
    // dialog; the title becomes the file's name. A cancelled dialog empties the title and writes
    // nothing. A slot's error stops it before anything is written.
    void BitBtn9Click(QObject* Sender = nullptr);
    // Open Song: reads the chosen file whole, then replaces the play list and gives the sample
    // slots their files, frequencies and pans. A file that cannot be read or holds a bad number
    // changes nothing; a sample that cannot be opened stops at that slot.
    void BitBtn8Click(QObject* Sender = nullptr);
    // Open Song's work on a given file, without the dialog: the program opens the song named on
    // its command line through this. Raises as Open Song does.
    void openSongFile(const std::string& path);
    // One pattern of a song as Play Song and the render read it: the pattern file into the grid
    // (whose row count stays), the tempo slider and the loop count (the tempo rule applied,
    // TempoPosition untouched) and the name box. Returns what the step list takes of it. Raises
    // "Cannot open file %s" and the conversion errors of the length, tempo and loop lines.
    SongPattern loadSongPattern(const std::string& name);
    // The sample slots, handed over once the sample windows exist (not owned). Without them,
    // Save writes every slot as the blank sound and Open leaves the slots alone.
    SongSlots* songSlots = nullptr;

    // --- tempo --------------------------------------------------------------------------------
    // Runs only when the user moves Delay, never when the program sets it.
    void DelayChange(QObject* Sender = nullptr);
    // Runs on every change of Loop's text, the program's included.
    void LoopChange(QObject* Sender = nullptr);

    // The play list as the SongList box holds it (names, check marks, selection), and back.
    PlayList readSongList() const { return readPlayList(*SongList); }
    void showSongList(const PlayList& list) { showPlayList(*SongList, list); }

    // Runs when the window has closed (its close work done): the program then ends. The program
    // sets it; without it (tests) closing only hides the window.
    std::function<void()> onClosed;

    // The shell's "open": the help file and the installed manual go through it. Replaceable so
    // tests see what would be opened instead of starting a browser.
    std::function<void(const QUrl&)> openDocument;

    // The folder of the program's own files (share/groovane of an install, the build's data
    // folder), whose manual Help > "Visit the installed manual" opens: the one that came with
    // this version, where the working folder keeps the copy it was first given. The program
    // sets it; empty, the working folder's manual opens instead.
    std::string InstalledFolder;

    // The help file beside the program.
    static constexpr const char* kHelpFile = "groovane.html";

protected:
    // Asks to save unsaved grid and song changes first (not while a session ends), then runs
    // the close work.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void updateUndoItems();
    // True while closeWithoutQuestion closes the window.
    bool isClosingUnasked_ = false;
    // The sounding row and entry while the pattern or a song plays.
    std::unique_ptr<PlayheadDisplay> playheads_;
    // The play list entry the playing song started from.
    int songFirstEntry_ = 0;

    // Connects a button or menu item to a handler, run through the handler guard.
    using Handler = void (TSequence::*)(QObject*);
    void onClicked(QPushButton* button, Handler handler);
    void onTriggered(QAction* action, Handler handler);
    // A button and the menu item that share its handler.
    void onCommand(QPushButton* button, QAction* item, Handler handler);

    void buildControls();
    void setUpSound();
    void connectPanAndSongHandlers();
    // Start-up: the pans read from "Panning.dat" into MusicPad go to the kit's 16 instruments.
    void applyStoredPans();
    // A format item chosen: checks it alone, takes its format and opens the device again.
    void chooseOutputFormat(QAction* item, uint32_t rate, int32_t bits);
    void setUpPlayback();
    // Play Pattern and Play Song (the buttons) on or off together.
    void setPlayButtonsEnabled(bool enabled);
    // What Play Song and Render begin with: the play list from its selected entry on (the first
    // without a selection) read into the step list through buildSongStepList, the selection put
    // before that entry, the user's tempo on the slider with Global ticked, PlayState emptied.
    // `beforeReading` runs once the play list is known not to be empty. Returns false for an
    // empty play list, with the play buttons back; an error raises with them disabled.
    bool prepareSongFromSelection(const std::function<void()>& beforeReading = {});
    // What Stop and Clear List share: a running render is asked to end, PlayState is "Stop",
    // the play buttons come back, the song timer stops and the step list is emptied.
    void stopSong();
    // Runs one tick's work. An error stops playback (Stop) before it passes on: the next tick
    // would be due the moment the error box closed and fail the same way, so Stop could never
    // be reached; this way the message shows once.
    template <class Work>
    auto stoppingOnError(Work work) -> decltype(work())
    {
        try {
            return work();
        } catch (...) {
            BitBtn4Click(this);
            throw;
        }
    }
    void buildMenu();
    void connectHandlers();
    void connectListAndTempoHandlers();
    void connectSampleHandlers();
    void connectKitHandlers();
    void showSampleSlot(int slot);
    // The library's entries into MusicLib, no entry selected.
    void showMusicLib();
    // StepInterval and the read-out for slider position p.
    void showTempo(int position);
    // The read-out alone.
    void showTempoReadout(int position);
    // A pattern file's contents in the editor: the cells into the grid, the tempo slider and
    // read-out, the loop count and the name box. Load pattern and the song's patterns use it.
    void showPatternInEditor(const PatternFileReader& reader);
    // Text files pass through MusicPad, which is empty again however the reading or writing
    // ends. They raise what LineBuffer's loadFromFile and saveToFile raise.
    TextLines readThroughMusicPad(const std::string& path);
    void writeThroughMusicPad(const std::string& path, std::vector<std::string> lines);
    // The kit's sound of instrument list entry `slot` (kFirstKitSlot .. kLastKitSlot).
    TWaveCollectionItem& kitInstrument(int slot) const;
    // The step list of the patterns named, read through the editor as a song reads them; the
    // editor (grid, name box, loop count) is put back afterwards, also when a read fails.
    StepList buildSongStepList(const std::vector<std::string>& names);
    // True while a render runs: Render and F11 are ignored then.
    bool isRendering_ = false;
    // Set by Stop, Clear List and the window's closing while a render runs: the render ends with
    // the hits it has mixed. Only these stop it (Save Song and Open Song enable Play Pattern, which
    // must not).
    bool isRenderStopRequested_ = false;
    // Set by a user action on Delay that moves it, so the change that follows runs DelayChange.
    bool delayMovedByUser_ = false;
    // The same for the pan slider and PanningChange.
    bool panningMovedByUser_ = false;
    // True once the kit's pans are worth writing to "Panning.dat" at close: the stored ones were
    // applied at start, or the user has changed a pan since. Until then the pans not applied
    // are only 0s, which must not replace the ones kept in the file.
    bool pansToStore_ = false;
    // The keys of the menu's short cuts; they win over whatever control has the focus.
    std::vector<QKeyCombination> menuShortcuts_;
};

// The window's controls from outside: tests and the manual's picture maker drive the window
// through this. The program's own code never does.
struct TSequenceTestAccess {
    static TSequenceControls& controls(TSequence& window) { return window; }
};

} // namespace groovane
