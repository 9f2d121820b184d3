// The main window's instrument panning and song files. Panning: the selector, the pan slider and
// "R", and the pans kept in "Panning.dat" between runs (the file's form is in instrument_pans.h;
// the kit is reached through DXWaveList1 by instrument name). Songs: Save Song and Open Song,
// over the song file's reader and writer (song_file.h) and the sample slots' interface.
#include "app/sequence_window.h"

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/handler_guard.h"
#include "pattern/instrument_pans.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_file.h"
#include "platform/qt_text.h"
#include "song/song_file.h"
#include "playback/song_pattern.h"
#include "song/tempo_rule.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>

#include <utility>

namespace groovane {

namespace {

// The selector text's position in the instrument list, ignoring letter case; -1 when the text
// is none of its entries (the empty text is entry 0).
int instrumentListIndex(const std::string& text)
{
    const int slot = instrumentSlot(text);
    return slot == 0 && !text.empty() ? -1 : slot;
}

const char* const kSongFilter = "*.sng|*.sng";

} // namespace

void TSequence::connectPanAndSongHandlers()
{
    // Only the user's choices run ComboBox1Change: a pick from the list, or typing.
    connect(ComboBox1, &QComboBox::activated, this, guarded([this] { ComboBox1Change(ComboBox1); }));
    connect(ComboBox1->lineEdit(), &QLineEdit::textEdited, this, guarded([this] { ComboBox1Change(ComboBox1); }));
    // Only the user's moves of the pan slider run PanningChange, as for the tempo slider: a user
    // action reports the position it is about to set before the value changes.
    connect(Panning, &QAbstractSlider::actionTriggered, this,
            [this] { panningMovedByUser_ = Panning->sliderPosition() != Panning->value(); });
    connect(Panning, &QAbstractSlider::valueChanged, this, [this] {
        if (std::exchange(panningMovedByUser_, false))
            runGuarded([this] { PanningChange(Panning); });
    });
    onClicked(BitBtn5, &TSequence::BitBtn5Click);

    onCommand(BitBtn8, OpenPattern1, &TSequence::BitBtn8Click);
    onCommand(BitBtn9, SavePattern1, &TSequence::BitBtn9Click);
}

// ---------------------------------------------------------------------------------------------
// Instrument panning

TWaveCollectionItem& TSequence::kitInstrument(int slot) const
{
    return DXWaveList1.Items().Find(instrumentNames()[static_cast<size_t>(slot)]);
}

void TSequence::applyStoredPans()
{
    const ScopeExit emptied([this] { MusicPad.clear(); });
    applyPanFileLines(MusicPad.read(), [this](const std::string& instrument, int32_t pan) {
        DXWaveList1.Items().Find(instrument).SetPan(pan);
    });
    pansToStore_ = true;
}

void TSequence::FormClose(QObject*)
{
    const std::string path = joinPath(BaseFolder, kPanningFile);
    // Pans that were never applied are 0s; they may replace the file only when it is missing.
    if (!pansToStore_ && fileExists(path))
        return;
    std::vector<std::string> lines;
    try {
        lines =
            panFileLines([this](const std::string& instrument) { return DXWaveList1.Items().Find(instrument).Pan(); });
    } catch (const Exception&) {
        // A kit without one of the instruments cannot give every pan. The stored file stays as
        // it is and the program still closes: failing here would keep it open for good.
        showCurrentException(std::current_exception());
        return;
    }
    // A failure to write raises: the window stays open, so the user can make room and close again.
    writeThroughMusicPad(path, std::move(lines));
}

void TSequence::ComboBox1Change(QObject*)
{
    int index = instrumentListIndex(fromQString(ComboBox1->currentText()));
    if (index < 0 || index > kLastKitSlot)
        index = kLastKitSlot;
    if (index == 0)
        return;
    // A program move: the slider holds the pan within its range, and no pan changes.
    Panning->setValue(kitInstrument(index).Pan());
}

void TSequence::PanningChange(QObject*)
{
    const int index = instrumentListIndex(fromQString(ComboBox1->currentText()));
    if (index > kLastKitSlot) {
        dialogs().message("Sample Panning",
                          "Use the sample importer (Edit/Sample#) to change your imported samples panning",
                          MessageIcon::None, MessageButtons::Ok);
        return;
    }
    if (index < kFirstKitSlot)
        return;
    kitInstrument(index).SetPan(Panning->value());
    pansToStore_ = true;
}

void TSequence::BitBtn5Click(QObject*)
{
    for (int slot = kFirstKitSlot; slot <= kLastKitSlot; ++slot) {
        kitInstrument(slot).SetPan(0);
        pansToStore_ = true;
    }
    Panning->setValue(0);
}

// ---------------------------------------------------------------------------------------------
// Song files and song patterns

SongPattern TSequence::loadSongPattern(const std::string& name)
{
    const PatternFileReader reader(readThroughMusicPad(patternFilePath(BaseFolder, name)));
    // The song's patterns pass through the grid without changing how many rows it shows.
    const int rows = Grid.rowCount();
    showPatternInEditor(reader);
    Grid.setRowCount(rows);
    // What the step list takes is read from the file as the command-line render reads it; the
    // controls above hold the same tempo and loop count.
    return songPatternOf(reader);
}

StepList TSequence::buildSongStepList(const std::vector<std::string>& names)
{
    // Reading a song must not cost the user the pattern being edited, nor leave a step to undo:
    // the patterns pass through the grid inside one action, which ends with the grid as it was.
    const auto edit = Edits.edit();
    PatternGrid editedGrid;
    editedGrid.assignCells(Grid);
    const QString editedName = Edit2->text();
    const int editedLoops = Loop->value();
    // The song's shorter patterns pull the current cell up as they pass through the grid; the
    // user's cell and scroll position come back with the pattern, so the next Enter lands where
    // it was aimed.
    const int editedColumn = StringGrid1->currentColumn();
    const int editedRow = StringGrid1->currentRow();
    const int editedScroll = StringGrid1->verticalScrollBar()->value();
    // The editor comes back also when a pattern cannot be read.
    const ScopeExit restoreEditor([&] {
        Edit2->setText(editedName);
        Loop->setValue(editedLoops);
        Grid.assignCells(editedGrid);
        StringGrid1->setCurrentCell(editedColumn, editedRow);
        StringGrid1->verticalScrollBar()->setValue(editedScroll);
    });
    return buildStepList(names, [this](const std::string& name) { return loadSongPattern(name); });
}

void TSequence::BitBtn9Click(QObject*)
{
    FileDialogOptions options;
    options.filter = kSongFilter;
    options.defaultExt = "sng";
    options.initialFolder = BaseFolder;
    options.fileName = fromQString(Edit3->text());
    const std::string path = dialogs().saveFile(options).value_or("");
    const std::string title = songFileTitle(path);
    Edit3->setText(toQString(title));
    BitBtn3->setEnabled(true);
    if (isEmptySongTitle(title))
        return;

    const auto slotSettings =
        songSlots ? songSampleSettings(*songSlots) : std::vector<std::optional<SongSampleSettings>>(kSampleSlotCount);
    writeThroughMusicPad(path, songFileLines(readSongList().namesFrom(0), slotSettings));
    Edit3->setText(toQString(withoutExtension(title)));
    Edits.history().markSongSaved();
}

void TSequence::BitBtn8Click(QObject*)
{
    FileDialogOptions options;
    options.filter = kSongFilter;
    options.initialFolder = BaseFolder;
    const std::string path = dialogs().openFile(options).value_or("");
    if (isEmptySongTitle(path)) {
        Edit3->setText(toQString(path));
        return;
    }
    openSongFile(path);
}

void TSequence::openSongFile(const std::string& path)
{
    // Read and check the whole file before anything changes.
    const SongFileContents song = readSongFile(readThroughMusicPad(path));

    {
        // The title shows the full path until every slot has taken its sample.
        const auto edit = Edits.edit();
        Edit3->setText(toQString(path));
        Edits.editList([&](PlayList& list) { list.assign(song.names); });
        BitBtn3->setEnabled(true);
        if (songSlots)
            applySongSamples(song, *songSlots, BaseFolder);
        Edit3->setText(toQString(withoutExtension(songFileTitle(path))));
    }
    Edits.history().markSongSaved();
}

} // namespace groovane
