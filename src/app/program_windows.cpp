#include "program_windows.h"

#include "intro_screen.h"
#include "kit_windows.h"
#include "render_window.h"
#include "sample_window.h"
#include "sequence_window.h"

namespace groovane {

ProgramWindows::ProgramWindows()
{
    Sequence = std::make_unique<TSequence>();
    Sequence->show();
    Sequence->FormCreate(Sequence.get());

    SampleWindows.push_back(std::make_unique<TMainForm>());
    SampleWindows.push_back(std::make_unique<TMainForm2>());
    SampleWindows.push_back(std::make_unique<TMainForm1>());
    SampleWindows.push_back(std::make_unique<TMainForm3>());
    SampleWindows.push_back(std::make_unique<TMainForm4>());
    SampleWindows.push_back(std::make_unique<TMainForm5>());
    SampleWindows.push_back(std::make_unique<TMainForm6>());
    SampleWindows.push_back(std::make_unique<TMainForm7>());

    Volume_Control = std::make_unique<TVolume_Control>();
    Kit_List = std::make_unique<TKit_List>();
    Kit_List->show();
    Form1 = std::make_unique<TForm1>();
    Makit = std::make_unique<TMakit>();
    IntroScreen = std::make_unique<TIntroScreen>();
    IntroScreen->FormCreate(IntroScreen.get());
}

ProgramWindows::~ProgramWindows() = default;

SampleWindow* ProgramWindows::sampleWindow(int slot) const
{
    for (const auto& w : SampleWindows)
        if (w->slot() == slot)
            return w.get();
    return nullptr;
}

} // namespace groovane
