// The main window's instrument panning and song files. Panning: the selector, the pan slider and
// "R", and the pans kept in "Panning.dat" between runs (the file's form is in instrument_pans.h;
// the kit is reached through DXWaveList1 by instrument name). Songs: Save Song and Open Song,
// over the song file's reader and writer (song_file.h) and the sample slots' interface.
#include "sequence_window.h"

#include "dialogs.h"
#include "files.h"
#include "handler_guard.h"
#include "instrument_pans.h"
#include "pattern_editing.h"
#include "pattern_file.h"
#include "qt_text.h"
#include "song_file.h"
#include "song_pattern.h"
#include "tempo_rule.h"

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

    onClicked(BitBtn8, &TSequence::BitBtn8Click);
    onTriggered(OpenPattern1, &TSequence::BitBtn8Click);
    onClicked(BitBtn9, &TSequence::BitBtn9Click);
    onTriggered(SavePattern1, &TSequence::BitBtn9Click);
}

// ---------------------------------------------------------------------------------------------
// Instrument panning

void TSequence::applyStoredPans()
{
    try {
        applyPanFileLines(MusicPad.read(), [this](const std::string& instrument, int32_t pan) {
            DXWaveList1.Items().Find(instrument).SetPan(pan);
        });
    } catch (...) {
        MusicPad.clear();
        throw;
    }
    MusicPad.clear();
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
        lines = panFileLines([this](const std::string& instrument) { return DXWaveList1.Items().Find(instrument).Pan(); });
    } catch (const Exception&) {
        // A kit without one of the instruments cannot give every pan. The stored file stays as
        // it is and the program still closes: failing here would keep it open for good.
        showCurrentException(std::current_exception());
        return;
    }
    MusicPad.clear();
    MusicPad.lines() = std::move(lines);
    try {
        MusicPad.saveToFile(path);
    } catch (...) {
        MusicPad.clear();
        throw; // the window stays open, so the user can make room and close again
    }
    MusicPad.clear();
}

void TSequence::ComboBox1Change(QObject*)
{
    int index = instrumentListIndex(fromQString(ComboBox1->currentText()));
    if (index < 0 || index > kLastKitSlot)
        index = kLastKitSlot;
    if (index == 0)
        return;
    // A program move: the slider holds the pan within its range, and no pan changes.
    Panning->setValue(DXWaveList1.Items().Find(instrumentNames()[static_cast<size_t>(index)]).Pan());
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
    DXWaveList1.Items().Find(instrumentNames()[static_cast<size_t>(index)]).SetPan(Panning->value());
    pansToStore_ = true;
}

void TSequence::BitBtn5Click(QObject*)
{
    for (int slot = kFirstKitSlot; slot <= kLastKitSlot; ++slot) {
        DXWaveList1.Items().Find(instrumentNames()[static_cast<size_t>(slot)]).SetPan(0);
        pansToStore_ = true;
    }
    Panning->setValue(0);
}

// ---------------------------------------------------------------------------------------------
// Song files and song patterns

SongPattern TSequence::loadSongPattern(const std::string& name)
{
    try {
        MusicPad.loadFromFile(patternFilePath(BaseFolder, name));
    } catch (...) {
        MusicPad.clear();
        throw;
    }
    const PatternFileReader reader(MusicPad.takeRead());
    MusicPad.clear();
    // The song's patterns pass through the grid without changing how many rows it shows.
    const int rows = Grid.rowCount();
    reader.loadCells(Grid);
    Grid.setRowCount(rows);
    // Program moves: the slider keeps 1..140 and the loop guard lifts a count below 1 to 1.
    Delay->setValue(clampTempoPosition(reader.tempoPosition()));
    Loop->setValue(reader.loopCount());
    showTempo(Delay->value());
    Edit2->setText(toQString(Grid.cell(0, 0)));
    // What the step list takes is read from the file as the command-line render reads it; the
    // controls above hold the same tempo and loop count.
    return songPatternOf(reader);
}

StepList TSequence::buildSongStepList(const std::vector<std::string>& names)
{
    // Reading a song must not cost the user the pattern being edited.
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
    const auto restoreEditor = [&] {
        Edit2->setText(editedName);
        Loop->setValue(editedLoops);
        Grid.assignCells(editedGrid);
        StringGrid1->setCurrentCell(editedColumn, editedRow);
        StringGrid1->verticalScrollBar()->setValue(editedScroll);
    };
    StepList list;
    try {
        list = buildStepList(names, [this](const std::string& name) { return loadSongPattern(name); });
    } catch (...) {
        restoreEditor();
        throw;
    }
    restoreEditor();
    return list;
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

    const PlayList list = readSongList();
    std::vector<std::string> names;
    for (const PlayListEntry& entry : list.entries())
        names.push_back(entry.name);
    const auto slotSettings = songSlots ? songSampleSettings(*songSlots)
                                   : std::vector<std::optional<SongSampleSettings>>(kSampleSlotCount);
    MusicPad.lines() = songFileLines(names, slotSettings);
    try {
        MusicPad.saveToFile(path);
    } catch (...) {
        MusicPad.clear();
        throw;
    }
    MusicPad.clear();
    Edit3->setText(toQString(withoutExtension(title)));
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
    SongFileContents song;
    try {
        MusicPad.loadFromFile(path);
        song = readSongFile(MusicPad.read());
    } catch (...) {
        MusicPad.clear();
        throw;
    }
    MusicPad.clear();

    // The title shows the full path until every slot has taken its sample.
    Edit3->setText(toQString(path));
    PlayList list;
    list.assign(song.names);
    showSongList(list);
    BitBtn3->setEnabled(true);
    if (songSlots)
        applySongSamples(song, *songSlots, BaseFolder);
    Edit3->setText(toQString(withoutExtension(songFileTitle(path))));
}

} // namespace groovane
