// The main window's handlers for the pattern library, the play list and the tempo controls.
// They glue the controls to the plain rules: PatternLibrary keeps the library's order,
// PlayList the play list commands, the pattern file reader and writer the file form, and the
// tempo rule the interval and read-out. The SongList box itself holds the play list, because
// song files and playback work on it too; each command reads it, applies its rule and shows
// the result.
#include "app/sequence_window.h"

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/handler_guard.h"
#include "platform/qt_text.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_file.h"
#include "song/tempo_rule.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidgetItem>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

namespace groovane {

void TSequence::connectListAndTempoHandlers()
{
    onClicked(BitBtn6, &TSequence::BitBtn6Click);
    onClicked(BitBtn1, &TSequence::MusicLibDblClick);
    onClicked(LibBin, &TSequence::LibBinClick);
    onClicked(BitBtn2, &TSequence::BitBtn2Click);
    onClicked(SongBin, &TSequence::SongBinClick);
    onCommand(BitBtn10, UpdateTime1, &TSequence::BitBtn10Click);
    onTriggered(New_Song, &TSequence::New_SongClick);
    connect(MusicLib, &ListBox::doubleClicked, this, guarded([this] { MusicLibDblClick(MusicLib); }));
    connect(SongList, &ListBox::mouseDown, this, guarded([this] { SongListMouseDown(SongList); }));
    connect(UpDown1, &UpDown::clicked, this,
            [this](UpDown::Button button) { runGuarded([&] { UpDown1Click(UpDown1, button); }); });
    connect(Edit3, &QLineEdit::textChanged, this, guarded([this] { Edit3Change(Edit3); }));
    // The spin box reports the texts that are numbers, the program's changes included; its edit
    // line reports what the user types that is none (an emptied box). Running the guard twice
    // for one change does no harm.
    connect(Loop, &QSpinBox::textChanged, this, guarded([this] { LoopChange(Loop); }));
    connect(Loop->findChild<QLineEdit*>(), &QLineEdit::textChanged, this, guarded([this] { LoopChange(Loop); }));

    // Only the user's moves of the slider run DelayChange. A user action reports the position it
    // is about to set before the value changes; program moves set the value without an action.
    connect(Delay, &QAbstractSlider::actionTriggered, this,
            [this] { delayMovedByUser_ = Delay->sliderPosition() != Delay->value(); });
    connect(Delay, &QAbstractSlider::valueChanged, this, [this] {
        if (std::exchange(delayMovedByUser_, false))
            runGuarded([this] { DelayChange(Delay); });
    });
}

// ---------------------------------------------------------------------------------------------
// Pattern library

void TSequence::showMusicLib()
{
    MusicLib->clear();
    for (const std::string& name : Library.entries())
        MusicLib->addItem(toQString(name));
    MusicLib->setCurrentRow(-1);
}

void TSequence::BitBtn6Click(QObject*)
{
    PatternName = Grid.cell(0, 0);
    const int length = patternLengthForSave(Grid);
    if (PatternName.empty()) {
        dialogs().message("NAME", "Name of pattern?", MessageIcon::None, MessageButtons::Ok);
        return;
    }
    checkPatternName(PatternName);
    writeThroughMusicPad(patternFilePath(BaseFolder, PatternName),
                         patternFileLines(Grid, length, Delay->value(), Loop->value()));
    Edits.history().markGridSaved();

    // Saving is not undone: the name it puts into the play list is a change to the song that
    // only saving the song settles.
    PlayList list = readSongList();
    if (list.contains(PatternName))
        return;
    list.append(PatternName);
    showSongList(list);
    Edits.history().noteSongChangedOutside();
    if (Library.contains(PatternName))
        return;
    // Inserting shifts a selected entry below it, as the list box would.
    const int selected = MusicLib->currentRow();
    const int index = Library.add(PatternName);
    MusicLib->insertItem(index, toQString(PatternName));
    MusicLib->setCurrentRow(selected >= index ? selected + 1 : selected);
}

void TSequence::LoadPattern(const std::string& name)
{
    PatternName = name;
    if (name.empty() || name == kBlankPattern)
        return;
    checkPatternName(name);
    {
        const auto edit = Edits.edit();
        showPatternInEditor(PatternFileReader(readThroughMusicPad(patternFilePath(BaseFolder, name))));
    }
    // Once the step is taken: the grid then matches the file.
    Edits.history().markGridSaved();
}

void TSequence::showPatternInEditor(const PatternFileReader& reader)
{
    reader.loadCells(Grid);
    // Program moves: neither DelayChange nor TempoPosition follow; the slider keeps 1..140 and
    // the loop guard lifts a count below 1 to 1.
    Delay->setValue(clampTempoPosition(reader.tempoPosition()));
    Loop->setValue(reader.loopCount());
    showTempo(Delay->value());
    Edit2->setText(toQString(Grid.cell(0, 0)));
}

TextLines TSequence::readThroughMusicPad(const std::string& path)
{
    const ScopeExit emptied([this] { MusicPad.clear(); });
    MusicPad.loadFromFile(path);
    return MusicPad.takeRead();
}

void TSequence::writeThroughMusicPad(const std::string& path, std::vector<std::string> lines)
{
    const ScopeExit emptied([this] { MusicPad.clear(); });
    MusicPad.clear();
    MusicPad.lines() = std::move(lines);
    MusicPad.saveToFile(path);
}

void TSequence::MusicLibDblClick(QObject*)
{
    const int index = MusicLib->itemIndex();
    if (index < 0 || index >= Library.size())
        return;
    const std::string& name = Library.at(index);
    if (name == kBlankPattern)
        return;
    Edits.editList([&](PlayList& list) { list.append(name); });
}

void TSequence::LibBinClick(QObject*)
{
    const int index = MusicLib->itemIndex();
    if (index < 1 || index >= Library.size())
        return;
    // A name that is no file of the working folder is refused before the question, and nothing
    // changes: the bin must never delete outside the folder.
    checkPatternName(Library.at(index));
    if (dialogs().message("!Are you sure you wish to delete?",
                          "This will Delete this pattern from both Pattern Lib and Play List, Some Songs that "
                          "contain this pattern may not play, are you sure?",
                          MessageIcon::None, MessageButtons::OkCancel) != MessageResult::Ok)
        return;
    const std::string name = Library.at(index);
    Library.removeAt(index);
    delete MusicLib->takeItem(index);
    MusicLib->setCurrentRow(-1);
    deleteFile(patternFilePath(BaseFolder, name)); // a failure to delete is not reported
    Edits.editList([&](PlayList& list) { list.removeAll(name); });
}

// ---------------------------------------------------------------------------------------------
// Play list

void TSequence::BitBtn2Click(QObject*)
{
    const int librarySize = Library.size();
    Edits.editList([this](PlayList& list) { list.removeSelected(Library); });
    if (Library.size() != librarySize)
        showMusicLib();
}

void TSequence::UpDown1Click(QObject*, UpDown::Button Button)
{
    Edits.editList([Button](PlayList& list) {
        list.moveSelected(Button == UpDown::Button::Next ? PlayList::Direction::Up : PlayList::Direction::Down);
    });
}

void TSequence::SongBinClick(QObject*)
{
    Edits.editList([](PlayList& list) { list.deleteTicked(); });
}

void TSequence::BitBtn10Click(QObject*)
{
    const auto edit = Edits.edit();
    Edits.editList([](PlayList& list) { list.clear(); });
    stopSong();
    Edit3->setText("");
}

void TSequence::New_SongClick(QObject*)
{
    const auto edit = Edits.edit();
    // Every step row and the trailing row of the longest pattern on offer, hidden ones too.
    clearPatternCells(Grid);
    Edit2->setText("");
    Edits.editList([](PlayList& list) { list.clear(); });
    Edit3->setText("");
    setWindowTitle(kCaption);
}

void TSequence::SongListMouseDown(QObject*)
{
    // The press has already moved the selection; a press below the entries leaves it.
    const int index = SongList->itemIndex();
    if (index >= 0)
        LoadPattern(SongList->entry(index));
}

void TSequence::Edit3Change(QObject*)
{
    setWindowTitle(QString(kCaption) + " - " + Edit3->text());
}

// ---------------------------------------------------------------------------------------------
// Tempo

void TSequence::showTempo(int position)
{
    StepInterval = stepIntervalMs(position);
    showTempoReadout(position);
}

void TSequence::showTempoReadout(int position)
{
    Label6->setText(toQString(tempoReadout(position)));
    Label6->adjustSize();
}

void TSequence::DelayChange(QObject*)
{
    TempoPosition = Delay->value();
    StepInterval = stepIntervalMs(TempoPosition);
    if (Global->isChecked())
        DXTimer1.setInterval(static_cast<uint32_t>(StepInterval));
    showTempo(TempoPosition);
}

void TSequence::LoopChange(QObject*)
{
    const std::string text = fromQString(Loop->text());
    // A lone sign is a number still being typed: "-3" must become 1, not the "-" alone, which
    // would leave the 3 to follow the 1. With no digits after it the box shows its count again
    // when editing ends.
    if (text == "-" || text == "+")
        return;
    if (correctedLoopText(text).empty())
        return;
    // Setting the value rewrites the text even when the value was 1 already (an emptied box).
    Loop->setValue(1);
    // The next key typed replaces the 1 instead of joining it.
    Loop->selectAll();
}

} // namespace groovane
