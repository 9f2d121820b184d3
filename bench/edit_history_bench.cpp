// What the edit history costs the window per user action at the largest sizes the program
// takes: a click and a pattern load in a 9999-step pattern with every channel cell filled, and
// an entry added to a 100,000-entry play list, each with its undo and redo.
#include "song/edit_history.h"
#include "pattern/pattern_editing.h"

#include <benchmark/benchmark.h>

#include <string>

#include <sys/resource.h>

namespace groovane {
namespace {

void fillPattern(PatternGrid& grid, const char* instrument)
{
    writeLengthAndTime(grid, kMaxPatternLength, 4);
    writeStepLabels(grid, kMaxPatternLength, 4);
    writeChannelHeadings(grid);
    for (int row = 2; row <= kMaxPatternLength + 1; ++row)
        for (int column = 1; column <= PatternGrid::kChannelCount; ++column)
            grid.setCell(column, row, instrument);
}

void clickIn9999StepPattern(benchmark::State& state)
{
    PatternGrid grid;
    fillPattern(grid, "Kick");
    PlayList list;
    EditHistory history(grid, list);
    int row = 2;
    for (auto _ : state) {
        {
            const auto action = history.action();
            grid.setCell(3, row, toggledCellText(grid.cell(3, row), "Snare"));
        }
        history.undo();
        history.redo();
        row = row % kMaxPatternLength + 2;
    }
}
BENCHMARK(clickIn9999StepPattern)->Unit(benchmark::kMicrosecond);

void loadOver9999StepPattern(benchmark::State& state)
{
    PatternGrid grid;
    fillPattern(grid, "Kick");
    PatternGrid other;
    fillPattern(other, "Snare");
    PlayList list;
    EditHistory history(grid, list);
    for (auto _ : state) {
        {
            const auto action = history.action();
            grid.assignCells(other);
        }
        state.PauseTiming();
        history.undo();
        state.ResumeTiming();
    }
}
BENCHMARK(loadOver9999StepPattern)->Unit(benchmark::kMillisecond);

void undoRedoLoadOver9999StepPattern(benchmark::State& state)
{
    PatternGrid grid;
    fillPattern(grid, "Kick");
    PatternGrid other;
    fillPattern(other, "Snare");
    PlayList list;
    EditHistory history(grid, list);
    {
        const auto action = history.action();
        grid.assignCells(other);
    }
    for (auto _ : state) {
        history.undo();
        history.redo();
    }
}
BENCHMARK(undoRedoLoadOver9999StepPattern)->Unit(benchmark::kMillisecond);

// The memory a full history takes at its worst: 200 steps, each a whole 9999-step pattern
// loaded over another one, so every step holds every cell twice. "historyMiB" is the growth of
// the process's peak resident memory.
void historyOf200Loads(benchmark::State& state)
{
    for (auto _ : state) {
        PatternGrid grid;
        fillPattern(grid, "Kick");
        PatternGrid patterns[2];
        fillPattern(patterns[0], "Snare");
        fillPattern(patterns[1], "Kick");
        PlayList list;
        EditHistory history(grid, list);
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        for (size_t i = 0; i < EditHistory::kMaxSteps; ++i) {
            const auto action = history.action();
            grid.assignCells(patterns[i % 2]);
        }
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        state.counters["historyMiB"] = static_cast<double>(after.ru_maxrss - before.ru_maxrss) / 1024.0;
    }
}
BENCHMARK(historyOf200Loads)->Iterations(1)->Unit(benchmark::kMillisecond);

void addToList(benchmark::State& state)
{
    PatternGrid grid;
    PlayList list;
    for (int i = 0; i < state.range(0); ++i)
        list.append("Pattern" + std::to_string(i % 500));
    EditHistory history(grid, list);
    for (auto _ : state) {
        {
            const auto action = history.action();
            list.append("Added");
        }
        history.undo();
        history.redo();
    }
}
BENCHMARK(addToList)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace groovane

BENCHMARK_MAIN();
