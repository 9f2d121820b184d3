#include "playback/pattern_playback.h"

#include "playback/instrument_trigger.h"
#include "pattern/pattern_grid.h"
#include "platform/str_to_int.h"

namespace groovane {

namespace {

constexpr int kLengthColumn = 2;

} // namespace

void PatternPlayback::start()
{
    PatternLength = strToInt(grid_.cell(kLengthColumn, 0));
    PatternRow = kFirstStepRow;
}

bool PatternPlayback::tick(bool endless)
{
    // Compared in 64 bits: a length near the 32-bit limit must not overflow L + 2.
    const int64_t endRow = int64_t{PatternLength} + kFirstStepRow;
    if (PatternRow < endRow) {
        StepCells cells;
        for (int channel = 0; channel < PatternGrid::kChannelCount; ++channel)
            cells[static_cast<size_t>(channel)] = grid_.cell(channel + 1, PatternRow);
        trigger_.triggerStep(cells);
    }
    ++PatternRow;
    if (PatternRow >= endRow && endless)
        PatternRow = kFirstStepRow;
    return PatternRow < endRow;
}

} // namespace groovane
