#include "app/program_windows.h"

#include "platform/handler_guard.h"
#include "app/intro_screen.h"
#include "kits/kit_windows.h"
#include "render/render_window.h"
#include "app/sample_slot_access.h"
#include "samples/sample_window.h"
#include "app/sequence_window.h"

namespace groovane {

namespace {

void showWindow(QWidget* window)
{
    window->show();
    window->raise();
}

} // namespace

ProgramWindows::ProgramWindows()
{
    Sequence = std::make_unique<TSequence>();
    Sequence->show();
    Sequence->FormCreate(Sequence.get());

    const std::string& base = Sequence->BaseFolder;
    SampleWindows.push_back(std::make_unique<TMainForm>(base));
    SampleWindows.push_back(std::make_unique<TMainForm2>(base));
    SampleWindows.push_back(std::make_unique<TMainForm1>(base));
    SampleWindows.push_back(std::make_unique<TMainForm3>(base));
    SampleWindows.push_back(std::make_unique<TMainForm4>(base));
    SampleWindows.push_back(std::make_unique<TMainForm5>(base));
    SampleWindows.push_back(std::make_unique<TMainForm6>(base));
    SampleWindows.push_back(std::make_unique<TMainForm7>(base));
    // A window whose creation fails (no "Blank.wav") says so and stays, without a sound.
    for (const auto& window : SampleWindows)
        runGuarded([&] { window->FormCreate(window.get()); });
    SampleSlots = std::make_unique<SampleSlotAccess>([this](int slot) { return sampleWindow(slot); });
    Sequence->setSampleSlots(SampleSlots.get());
    Sequence->songSlots = SampleSlots.get();
    Sequence->showSampleWindow = [this](int slot) {
        if (SampleWindow* window = sampleWindow(slot)) {
            window->show();
            window->raise();
        }
    };

    TWaveCollection& kit = Sequence->DXWaveList1.Items();
    Volume_Control = std::make_unique<TVolume_Control>(kit);
    Kit_List = std::make_unique<TKit_List>(*Sequence->ComboBox1, *Sequence->Panning, kit);
    Kit_List->show();
    Form1 = std::make_unique<TForm1>();
    TSequence& main = *Sequence;
    Form1->setHost(RenderHost{&main, main.ProgressBar1, main.BitBtn3, main.BitBtn12, &main.MainPlay,
                              [&main] { return main.BaseFolder; }, [&main] { return main.renderSounds(); },
                              [&main] { return main.isRenderStopRequested(); }});
    Sequence->runRender = [this] { Form1->Button1Click(Form1.get()); };
    Makit = std::make_unique<TMakit>(base, kit);
    Makit->useKit = [this](const std::string& kitFile) { Sequence->useNewKit(kitFile); };
    Sequence->showKitVolumeControl = [this] { showWindow(Volume_Control.get()); };
    Sequence->showKitList = [this] { showWindow(Kit_List.get()); };
    Sequence->showKitMaker = [this] { showWindow(Makit.get()); };
    Sequence->prepareKitMaker = [this](bool templateCurrentKit) { Makit->Prepare(templateCurrentKit); };
    IntroScreen = std::make_unique<TIntroScreen>();
    IntroScreen->FormCreate(IntroScreen.get());
}

ProgramWindows::~ProgramWindows()
{
    // The main window outlives the sample windows; it must not reach their players once gone.
    if (Sequence) {
        Sequence->setSampleSlots(nullptr);
        Sequence->songSlots = nullptr;
        Sequence->showSampleWindow = nullptr;
        Sequence->runRender = nullptr;
    }
}

SampleWindow* ProgramWindows::sampleWindow(int slot) const
{
    for (const auto& w : SampleWindows)
        if (w->slot() == slot)
            return w.get();
    return nullptr;
}

} // namespace groovane
