// The sequencer window, the program's main window. It owns the step grid, the pattern library,
// the play list, the tempo and loop controls and the menu, runs the start-up work when it is
// created, and ends the program when it closes. Handlers are named after their control and event
// and glue the controls to the plain classes that hold the rules.
#pragma once

#include "dx_sound.h"
#include "dx_timer.h"
#include "grid_view.h"
#include "instrument_trigger.h"
#include "line_buffer.h"
#include "list_box.h"
#include "pattern_grid.h"
#include "pattern_library.h"
#include "pattern_playback.h"
#include "play_list.h"
#include "sample_slots.h"
#include "song_playback.h"
#include "song_render.h"
#include "song_slots.h"
#include "step_list.h"
#include "wave_collection.h"

#include <QMainWindow>
#include <QUrl>

#include <functional>
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

class TSequence : public QMainWindow {
    Q_OBJECT
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

    // The pattern library's entries and order; MusicLib shows them.
    PatternLibrary Library;

    // --- controls -----------------------------------------------------------------------------
    QLabel* Label1;
    ListBox* MusicLib;
    QPushButton* LibBin;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QLabel* Label2;
    ListBox* SongList;
    UpDown* UpDown1;
    QPushButton* SongBin;
    QCheckBox* Noend;
    QPushButton* Rendor;
    QPushButton* BitBtn10;
    QPushButton* BitBtn12;
    QLabel* Image3;
    QLabel* Label8;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button5;
    QPushButton* Button6;
    QPushButton* Button7;
    QPushButton* Button8;
    QLabel* Label9;
    QLineEdit* Edit3;
    QPushButton* BitBtn8;
    QPushButton* BitBtn9;
    QProgressBar* ProgressBar1;
    QLabel* Label7;
    QLineEdit* Edit2;
    QLabel* Label15;
    DropDownBox* TimeBar;
    QLineEdit* Edit4;
    QPushButton* BitBtn13;
    QLineEdit* Edit5;
    QPushButton* BitBtn6;
    QPushButton* BitBtn7;
    GridView* StringGrid1;
    QLabel* Label4;
    QSpinBox* Loop;
    QSlider* Delay;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label14;
    QCheckBox* Global;
    QFrame* Panel2;
    QLabel* Label16;
    QPushButton* BitBtn3;
    QPushButton* BitBtn4;
    QCheckBox* endless;
    QGroupBox* Panel1;
    QLabel* Label13;
    QLabel* Label3;
    QLabel* Label11;
    QLabel* Label12;
    QPushButton* BitBtn5;
    QPushButton* BitBtn11;
    QComboBox* ComboBox1;
    QSlider* Panning;
    QLabel* Image2;
    std::vector<QFrame*> Bevels; // Bevel1 .. Bevel7

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

    // --- menu ---------------------------------------------------------------------------------
    QMenu* File1;
    QAction* New_Song;
    QAction* OpenPattern1;
    QAction* SavePattern1;
    QAction* Exit1;
    QAction* Rendor_to_wav;
    QMenu* Edit1;
    QAction* CopyPattern1;
    QAction* UpdateTime1;
    QAction* UpdateTime2;
    QAction* Insertinstrument1;
    QAction* KitVolumeControl1;
    QAction* KitList1;
    QAction* KitMake;
    QMenu* Import1;
    std::vector<QAction*> SampleItems; // Sample1 .. Sample8
    QAction* SoundLibrary1;
    QMenu* Play1;
    QAction* Play2;
    QAction* Stop1;
    QAction* Stop2;
    QAction* PlayInstrument1;
    QAction* set1;
    QAction* set2;
    QAction* set3;
    QAction* set4;
    QAction* Focus;
    QMenu* Help1;
    QAction* Contents1;
    QAction* Vis_Site;

    // --- start-up and closing -----------------------------------------------------------------
    // The start-up work, in order. An error ends it at that step and is shown; the window keeps
    // what was done.
    void FormCreate(QObject* Sender = nullptr);
    // Writes the instrument pans to "Panning.dat" when they are worth keeping (see
    // pansToStore_). A kit that lacks an instrument shows its error and lets the window close
    // with the file untouched; a file that cannot be written raises, which keeps it open.
    void FormClose(QObject* Sender = nullptr);
    void Exit1Click(QObject* Sender = nullptr);
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
    PlayList readSongList() const;
    void showSongList(const PlayList& list);

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
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Connects a button or menu item to a handler, run through the handler guard.
    using Handler = void (TSequence::*)(QObject*);
    void onClicked(QPushButton* button, Handler handler);
    void onTriggered(QAction* action, Handler handler);

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

} // namespace groovane
