// Every window of the program, created once in a fixed order and kept until the program ends:
// the main window first (its start-up work complete before any other window exists), then the
// eight sample windows, the kit windows, the render window and last the intro screen.
#pragma once

#include <memory>
#include <vector>

namespace groovane {

class SampleSlotAccess;
class SampleWindow;
class TForm1;
class TIntroScreen;
class TKit_List;
class TMakit;
class TSequence;
class TVolume_Control;

struct ProgramWindows {
    ProgramWindows();
    ~ProgramWindows();

    std::unique_ptr<TSequence> Sequence;
    std::vector<std::unique_ptr<SampleWindow>> SampleWindows; // in creation order: slots 1, 3, 2, 4..8
    // The sample windows' players as the main window's playback and songs reach them; handed to
    // the main window once the windows exist and taken back before they go.
    std::unique_ptr<SampleSlotAccess> SampleSlots;
    std::unique_ptr<TVolume_Control> Volume_Control;
    std::unique_ptr<TKit_List> Kit_List;
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TMakit> Makit;
    std::unique_ptr<TIntroScreen> IntroScreen;

    // The sample window of slot k (1..8).
    SampleWindow* sampleWindow(int slot) const;
};

} // namespace groovane
