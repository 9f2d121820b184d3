#include "kits/kit_maker_window.h"

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/handler_guard.h"
#include "pattern/instruments.h"
#include "sound/wave.h"
#include "platform/window_geometry.h"

#include <QPushButton>
#include <QRadioButton>

#include <filesystem>

namespace groovane {

namespace {

struct RadioPlace {
    const char* caption;
    int left;
    int top;
};
constexpr RadioPlace kRadioButtons[kLastKitSlot] = {
    {"Kick", 112, 56},      {"ShortKick", 16, 80}, {"Snare", 112, 80},  {"Cls Hi-Hat", 192, 80},
    {"Op Hi-Hat", 16, 104}, {"Tom1", 112, 104},    {"Tom2", 192, 104},  {"Cymbol1", 16, 128},
    {"Cymbol2", 112, 128},  {"Rimshot", 192, 128}, {"Shaker", 16, 152}, {"Block", 112, 152},
    {"Congo", 192, 152},    {"Cowbell", 16, 176},  {"Crack", 112, 176}, {"Tamb", 192, 176}};

constexpr uint32_t kPreviewRate = 44100;

} // namespace

TMakit::TMakit(std::string baseFolder, const TWaveCollection& mainKit, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      baseFolder_(baseFolder.empty() ? std::filesystem::current_path().string() : std::move(baseFolder)),
      mainKit_(mainKit)
{
    setObjectName("Makit");
    setWindowTitle("Makit");
    placeWindowOuter(this, 211, 120, 278, 255);
    QFont f("MS Sans Serif", 8);
    f.setStyleHint(QFont::SansSerif);
    setFont(f);

    for (int tag = 1; tag <= kLastKitSlot; ++tag) {
        const RadioPlace& place = kRadioButtons[tag - 1];
        auto* radio = new QRadioButton(place.caption, this);
        radio->setObjectName(QString("RadioButton%1").arg(tag));
        radio->adjustSize();
        radio->move(place.left, place.top);
        RadioButtons.push_back(radio);
    }
    RadioButtons[0]->setChecked(true);

    auto button = [this](const char* caption, int left, int top, int width, void (TMakit::*handler)(QObject*)) {
        auto* b = new QPushButton(caption, this);
        b->setGeometry(left, top, width, 25);
        connect(b, &QPushButton::clicked, this, guarded([this, b, handler] { (this->*handler)(b); }));
        return b;
    };
    Load_sample = button("Load Sample", 96, 8, 81, &TMakit::Load_sampleClick);
    Play = button("Play", 48, 48, 57, &TMakit::PlayClick);
    Save_library = button("Save Library", 176, 48, 89, &TMakit::Save_libraryClick);

    DXSound.SetAutoInitialize(true);
    DXSound.OnFinalize = [this](TCustomDXSound&) { DXSoundFinalize(this); };
    DXSound.Loaded();
}

TMakit::~TMakit()
{
    try {
        DXSound.Finalize();
    } catch (...) {
        // Nothing to report to while the window goes away.
    }
    PreviewPlayer.reset();
    DXSound.OnFinalize = nullptr;
}

int TMakit::selectedTag() const
{
    for (size_t i = 0; i < RadioButtons.size(); ++i)
        if (RadioButtons[i]->isChecked())
            return static_cast<int>(i) + 1;
    return 1;
}

void TMakit::Prepare(bool templateCurrentKit)
{
    // The kit being built gets its layout before anything that can fail: whatever the
    // preparation meets, every instrument has its place to load a sample into, and the old kit
    // being built is gone.
    makeKitLayout(DXWaveList1.Items());
    CurrentSlot = 1;
    // A bare name: the blank sound in the working folder when it is played.
    for (int i = kFirstKitSlot; i <= kLastKitSlot; ++i)
        SlotFiles[static_cast<size_t>(i)] = "Blank.wav";
    // Opening the component again finalizes it first, which frees any earlier player.
    DXSound.Initialize();
    SlotFiles[0] = joinPath(baseFolder_, "Blank.wav");
    PreviewPlayer = std::make_unique<TAudioFileStream>(*DXSound.DSound());
    try {
        PreviewPlayer->SetFileName(SlotFiles[0]);
    } catch (...) {
        // Without the blank sound there is no preview: Play does nothing until the next Prepare.
        PreviewPlayer.reset();
        throw;
    }
    makeBlankKit(DXWaveList1.Items(), joinPath(baseFolder_, "blank.wav"));
    if (templateCurrentKit)
        templateKit(DXWaveList1.Items(), mainKit_, baseFolder_, SlotFiles);
}

void TMakit::Load_sampleClick(QObject*)
{
    FileDialogOptions options;
    options.filter = "wav|*.wav";
    options.mustExist = true;
    const std::optional<std::string> chosen = dialogs().openFile(options);
    if (!chosen)
        return;
    CurrentSlot = selectedTag();
    // Read whole and checked before anything changes: a kit saved with an empty sound could not
    // be opened by the main window's device.
    const TWave sound = readKitSound(*chosen, DXSound.DSound());
    DXWaveList1.Items().Items(CurrentSlot).SetWave(sound);
    // The unnamed first sound holds the blank sound; when no blank file could be read it takes
    // the first sample loaded, the file entry 0 names, so the kit can still be used.
    TWave& first = DXWaveList1.Items().Items(0).Wave();
    if (first.Size() <= 0 || first.FormatSize() <= 0)
        first.Assign(&sound);
    SlotFiles[0] = *chosen;
    SlotFiles[static_cast<size_t>(CurrentSlot)] = *chosen;
}

void TMakit::PlayClick(QObject*)
{
    CurrentSlot = selectedTag();
    if (!PreviewPlayer)
        return;
    PreviewPlayer->SetFileName(SlotFiles[static_cast<size_t>(CurrentSlot)]);
    if (!PreviewPlayer->WaveStream())
        return;
    const WaveFormatEx played = formatRecordFromBytes(PreviewPlayer->Format(), PreviewPlayer->FormatSize());
    WaveFormatEx format{};
    MakePCMWaveFormat(format, kPreviewRate, played.wBitsPerSample, 2);
    // At the normal cooperative level the device refuses; the preview plays in whatever format
    // the device has.
    if (TDirectSoundBuffer* primary = DXSound.Primary())
        primary->SetFormat(format);
    PreviewPlayer->SetPosition(0);
    PreviewPlayer->Play();
}

void TMakit::Save_libraryClick(QObject*)
{
    // A kit with an instrument missing or without samples would stop every later start that
    // loads it; say which instrument before asking for a file.
    checkKitComplete(DXWaveList1.Items());
    FileDialogOptions options;
    options.filter = "*.dxg|*.dxg";
    options.defaultExt = "dxg";
    options.initialFolder = baseFolder_;
    options.overwritePrompt = true;
    const std::optional<std::string> chosen = dialogs().saveFile(options);
    if (!chosen)
        return;
    DXWaveList1.Items().SaveToFile(*chosen);
    if (dialogs().message("Question", "Do you wish to use the new drum kit now?", MessageIcon::Question,
                          MessageButtons::YesNo) == MessageResult::Yes &&
        useKit)
        useKit(*chosen);
}

void TMakit::DXSoundFinalize(QObject*)
{
    PreviewPlayer.reset();
}

} // namespace groovane
