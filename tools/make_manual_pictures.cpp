// Takes the pictures of the manual "groovane.html": the program's real windows, made offscreen in
// a scratch working folder and grabbed, so the pictures show the windows as they are built now.
// Run by the build, and by scripts/manual-pictures.sh:
//   make_manual_pictures <output folder> <default kit> <folder of the shipped data files>
#include "platform/dialogs.h"
#include "platform/files.h"
#include "app/intro_screen.h"
#include "kits/kit_windows.h"
#include "app/program_windows.h"
#include "render/render_window.h"
#include "samples/sample_window.h"
#include "app/sequence_window.h"
#include "platform/sound_system.h"

#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace {

// Answers every question as a person who does nothing would: Cancel, No, no file.
class NoDialogs : public groovane::Dialogs {
public:
    groovane::MessageResult message(const std::string&, const std::string& text, groovane::MessageIcon,
                                    groovane::MessageButtons buttons) override
    {
        std::fprintf(stderr, "make_manual_pictures: message: %s\n", text.c_str());
        return buttons == groovane::MessageButtons::YesNo ? groovane::MessageResult::No
                                                          : groovane::MessageResult::Cancel;
    }
    void error(const std::string& text) override
    {
        std::fprintf(stderr, "make_manual_pictures: error: %s\n", text.c_str());
        ++errors;
    }
    std::optional<std::string> openFile(const groovane::FileDialogOptions&) override { return std::nullopt; }
    std::optional<std::string> saveFile(const groovane::FileDialogOptions&) override { return std::nullopt; }
    int errors = 0;
};

void savePicture(QWidget& window, const fs::path& folder, const char* name)
{
    window.show();
    QApplication::processEvents();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    window.grab().save(&buffer, "PNG");
    groovane::writeFileBytesAtomic((folder / name).string(), png.toStdString());
}

// A little of everything on the main window: a named pattern of kick, hats and snare, a title.
void fillMainWindow(groovane::TSequence& main)
{
    groovane::TSequenceControls& controls = groovane::TSequenceTestAccess::controls(main);
    controls.Edit2->setText("Rock1");
    controls.Edit3->setText("Demo");
    for (int step = 0; step < 16; ++step) {
        const int row = step + 2;
        if (step % 4 == 0)
            main.Grid.setCell(1, row, "Kick");
        if (step % 2 == 0)
            main.Grid.setCell(2, row, "ClsHiat");
        if (step % 8 == 4)
            main.Grid.setCell(3, row, "Snare");
    }
    main.Grid.setCell(4, 17, "Sample1");
    controls.ComboBox1->setCurrentIndex(3);
}

int takePictures(const fs::path& output, const fs::path& kit, const fs::path& data)
{
    std::mt19937_64 random(std::random_device{}());
    const fs::path work = fs::temp_directory_path() / ("groovane-manual-" + std::to_string(random()));
    fs::create_directories(work / "temp");
    fs::copy_file(kit, work / "Rock_kit.dxg");
    for (const char* name : {"Blank.wav", "Panning.dat"})
        fs::copy_file(data / name, work / name);
    const fs::path previous = fs::current_path();
    fs::current_path(work);

    NoDialogs dialogs;
    groovane::setDialogs(&dialogs);
    {
        groovane::ProgramWindows windows;
        fillMainWindow(*windows.Sequence);
        savePicture(*windows.Sequence, output, "manual-main.png");
        savePicture(*windows.Kit_List, output, "manual-kit-list.png");

        groovane::TVolume_Control& volumes = *windows.Volume_Control;
        volumes.TrackBars[1]->setValue(12);
        volumes.TrackBars[6]->setValue(25);
        volumes.CheckBoxes[10]->click();
        savePicture(volumes, output, "manual-kit-volume.png");

        windows.Makit->Prepare(false);
        windows.Makit->RadioButtons[2]->setChecked(true);
        savePicture(*windows.Makit, output, "manual-kit-maker.png");

        savePicture(*windows.sampleWindow(1), output, "manual-sample.png");
        savePicture(*windows.Form1, output, "manual-render.png");
        savePicture(*windows.IntroScreen, output, "manual-intro.png");
    }
    groovane::setDialogs(nullptr);
    fs::current_path(previous);
    fs::remove_all(work);
    return dialogs.errors == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_manual_pictures <output folder> <default kit> <data folder>\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // No sound card is needed to draw windows: an output that plays only when asked to.
    groovane::SoundSystem::instance().useOfflineOutput(44100, 0);
    try {
        const fs::path output = fs::absolute(argv[1]);
        fs::create_directories(output);
        return takePictures(output, fs::absolute(argv[2]), fs::absolute(argv[3]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_manual_pictures: %s\n", e.what());
        return 1;
    }
}
