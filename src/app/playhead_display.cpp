#include "app/playhead_display.h"

#include "pattern/grid_view.h"
#include "platform/list_box.h"
#include "platform/sound_system.h"
#include "song/step_list.h"

#include <QBrush>
#include <QColor>

namespace groovane {

namespace {

// The sounding entry's tint, the one the grid gives its sounding row.
const QColor kSoundingEntryColor(255, 214, 140);

} // namespace

PlayheadDisplay::PlayheadDisplay(GridView& grid, ListBox& list, SoundSystem& sounds)
    : grid_(grid),
      list_(list),
      sounds_(sounds)
{
    timer_.setInterval(kRefreshMs);
    connect(&timer_, &QTimer::timeout, this, &PlayheadDisplay::refresh);
}

void PlayheadDisplay::record(int64_t tickTimeNs, int row, int entry)
{
    const auto frame = tickFrame(sounds_.mixer(), tickTimeNs);
    // Before the output has mixed its first block there is no frame to follow; the next tick
    // will have one.
    if (!frame)
        return;
    endFrame_.reset();
    playhead_.record(*frame, row, entry);
    if (!timer_.isActive())
        timer_.start();
}

void PlayheadDisplay::recordPatternRow(int row, int length)
{
    if (row < int64_t{length} + 2)
        record(sounds_.playTime(), row);
}

void PlayheadDisplay::recordSongRow(const StepList& list, int64_t rowLine, int firstEntry)
{
    if (const auto position = list.rowPositionOf(rowLine))
        record(sounds_.playTime(), position->row, firstEntry + position->entry);
}

void PlayheadDisplay::finishAfterTick(int intervalMs)
{
    finish(sounds_.playTime() + int64_t{intervalMs} * 1'000'000);
}

void PlayheadDisplay::finish(int64_t endTimeNs)
{
    const auto frame = tickFrame(sounds_.mixer(), endTimeNs);
    if (!frame || !timer_.isActive()) {
        stop();
        return;
    }
    playhead_.record(*frame, -1, -1);
    endFrame_ = *frame;
}

void PlayheadDisplay::stop()
{
    timer_.stop();
    playhead_.clear();
    endFrame_.reset();
    show({});
}

void PlayheadDisplay::refresh()
{
    const auto frame = heardFrame(sounds_.mixer(), sounds_.now());
    if (!frame)
        return;
    show(playhead_.at(*frame));
    if (endFrame_ && *frame >= *endFrame_)
        stop();
}

void PlayheadDisplay::show(PlayheadMark mark)
{
    grid_.setPlayheadRow(mark.row);
    if (mark.entry == shown_.entry) {
        shown_ = mark;
        return;
    }
    // The list may have been filled anew since the mark was set; an item that lacks it is cleared
    // at no cost.
    if (QListWidgetItem* old = list_.item(shown_.entry))
        old->setData(Qt::BackgroundRole, QVariant());
    if (QListWidgetItem* now = list_.item(mark.entry))
        now->setBackground(QBrush(kSoundingEntryColor));
    shown_ = mark;
}

} // namespace groovane
