#include "samples/sample_window.h"

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/handler_guard.h"
#include "platform/qt_text.h"
#include "samples/slot_player.h"
#include "samples/scratch_files.h"
#include "sound/wave.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <filesystem>

namespace groovane {

namespace {

struct Placement {
    int left;
    int top;
};
constexpr Placement kDesignPositions[kSampleSlots] = {{156, 164}, {135, 142}, {188, 176}, {241, 211},
                                                      {288, 66},  {342, 102}, {397, 138}, {453, 174}};

constexpr int kClientWidth = 245;
constexpr int kOutputRate = 44100;

QSlider* trackBar(QWidget* parent, int minimum, int maximum, int position, QRect geometry)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(minimum, maximum);
    slider->setValue(position);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setGeometry(geometry);
    slider->setEnabled(false);
    return slider;
}

QLabel* label(QWidget* parent, const char* text, int left, int top)
{
    auto* l = new QLabel(text, parent);
    l->adjustSize();
    l->move(left, top);
    return l;
}

} // namespace

SampleWindow::SampleWindow(int slot, std::string baseFolder, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                          Qt::CustomizeWindowHint),
      slot_(slot),
      baseFolder_(baseFolder.empty() ? std::filesystem::current_path().string() : std::move(baseFolder))
{
    setObjectName(QString("MainForm%1").arg(slot == 1 ? QString() : QString::number(slot - 1)));
    setWindowTitle(QString("Sample%1").arg(slot));
    QFont f("MS Sans Serif", 8);
    f.setStyleHint(QFont::SansSerif);
    setFont(f);

    buildControls();
    connectHandlers();

    const Placement& p = kDesignPositions[slot - 1];
    move(p.left, p.top);

    DXSound.SetOptions(soGlobalFocus | soExclusive);
    DXSound.OnFinalize = [this](TCustomDXSound&) { DXSoundFinalize(this); };
    // The component opens once as the window is built; FormCreate opens it again where its
    // errors can be reported.
    DXSound.Loaded();
}

SampleWindow::~SampleWindow()
{
    Timer->stop();
    try {
        DXSound.Finalize();
    } catch (...) {
        // Nothing to report to while the window goes away.
    }
    player_.reset();
    DXSound.OnFinalize = nullptr;
}

std::string SampleWindow::scratchFileName() const
{
    return sampleScratchFile(baseFolder_, slot_);
}

void SampleWindow::buildControls()
{
    MainMenu1 = new QMenuBar(this);
    File1 = MainMenu1->addMenu("&File");
    FileOpen = File1->addAction("&Open");
    FileClose = File1->addAction("&Close");
    File1->addSeparator();
    FileEnd = File1->addAction("E&xit");
    Option1 = MainMenu1->addMenu("&Option");
    GlobalFocusItem = Option1->addAction("&GlobalFocus");
    GlobalFocusItem->setCheckable(true);
    GlobalFocusItem->setChecked(true);

    // The designed client area lies below the menu bar.
    const int menuHeight = MainMenu1->sizeHint().height();
    const int clientHeight = slot_ == kSampleSlots ? 172 : 171;
    MainMenu1->setGeometry(0, 0, kClientWidth, menuHeight);
    ClientArea = new QWidget(this);
    ClientArea->setGeometry(0, menuHeight, kClientWidth, clientHeight);
    setFixedSize(kClientWidth, menuHeight + clientHeight);
    QWidget* c = ClientArea;

    Bevel1 = new QFrame(c);
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(0, 0, kClientWidth, 2);

    FrequencyLabel = label(c, "Pitch", 8, 16);
    FrequencyTrackBar = trackBar(c, 4410, 44100, 4410, {56, 8, 181, 33});
    FrequencyTrackBar->setPageStep(1100);
    VolumeLabel = label(c, "Volume", 8, 56);
    VolumeTrackBar = trackBar(c, -40, 0, 0, {56, 48, 181, 33});
    PanLabel = label(c, "Pan", 8, 96);
    PanTrackBar = trackBar(c, -40, 40, 0, {56, 88, 181, 33});

    PlayButton = new QPushButton("&Play", c);
    PlayButton->setGeometry(40, 136, 75, 25);
    PlayButton->setEnabled(false);
    Button1 = new QPushButton("OK", c);
    Button1->setGeometry(130, 136, 75, 25);

    Timer = new QTimer(this);
    Timer->setInterval(100);
}

void SampleWindow::connectHandlers()
{
    using Handler = void (SampleWindow::*)(QObject*);
    auto onTriggered = [this](QAction* action, Handler handler) {
        connect(action, &QAction::triggered, this, guarded([this, action, handler] { (this->*handler)(action); }));
    };
    auto onClicked = [this](QPushButton* button, Handler handler) {
        connect(button, &QPushButton::clicked, this, guarded([this, button, handler] { (this->*handler)(button); }));
    };
    // The sliders report every move, the window's own included; Updating keeps those out.
    auto onMoved = [this](QSlider* slider, Handler handler) {
        connect(slider, &QSlider::valueChanged, this, guarded([this, slider, handler] { (this->*handler)(slider); }));
    };
    onTriggered(FileOpen, &SampleWindow::FileOpenClick);
    onTriggered(FileClose, &SampleWindow::FileCloseClick);
    onTriggered(FileEnd, &SampleWindow::FileEndClick);
    // The handler toggles the check mark itself (so calling it is the same as choosing the
    // item); undo the toolkit's own toggle first.
    connect(GlobalFocusItem, &QAction::triggered, this, guarded([this] {
                GlobalFocusItem->setChecked(!GlobalFocusItem->isChecked());
                GlobalFocusItemClick(GlobalFocusItem);
            }));
    onClicked(PlayButton, &SampleWindow::PlayButtonClick);
    onClicked(Button1, &SampleWindow::Button1Click);
    onMoved(PanTrackBar, &SampleWindow::PanTrackBarChange);
    onMoved(VolumeTrackBar, &SampleWindow::VolumeTrackBarChange);
    onMoved(FrequencyTrackBar, &SampleWindow::FrequencyTrackBarChange);
    connect(Timer, &QTimer::timeout, this, guarded([this] { TimerTimer(Timer); }));
}

void SampleWindow::FormCreate(QObject*)
{
    DXSound.Initialize();
    player_ = std::make_unique<TAudioFileStream>(*DXSound.DSound());
    // A bare name: the blank sound beside the program in the working folder.
    player_->SetFileName("Blank.wav");
    setPrimaryFormat();
}

TAudioFileStream& SampleWindow::ensurePlayer()
{
    if (!player_) {
        DXSound.Initialize();
        player_ = std::make_unique<TAudioFileStream>(*DXSound.DSound());
    }
    return *player_;
}

void SampleWindow::followPlayerFormat()
{
    if (player_ && player_->WaveStream())
        setPrimaryFormat();
}

void SampleWindow::setPrimaryFormat()
{
    const WaveFormatEx played = formatRecordFromBytes(player_->Format(), player_->FormatSize());
    WaveFormatEx format;
    MakePCMWaveFormat(format, kOutputRate, played.wBitsPerSample, 2);
    // A width the device refuses leaves the previous format; nothing to report.
    if (TDirectSoundBuffer* primary = DXSound.Primary())
        primary->SetFormat(format);
}

void SampleWindow::enableSoundControls(bool enabled)
{
    for (QWidget* control : {static_cast<QWidget*>(PlayButton), static_cast<QWidget*>(PanTrackBar),
                             static_cast<QWidget*>(VolumeTrackBar), static_cast<QWidget*>(FrequencyTrackBar)})
        control->setEnabled(enabled);
}

void SampleWindow::FileOpenClick(QObject*)
{
    FileDialogOptions options;
    options.filter = "Wave (*.wav)|*.wav|All files (*.*)|*.*";
    options.defaultExt = "wav";
    options.initialFolder = baseFolder_;
    options.mustExist = true;
    const std::optional<std::string> chosen = dialogs().openFile(options);
    if (!chosen)
        return;

    FileCloseClick(this);
    try {
        setWindowTitle(
            toQString(std::string(kApplicationTitle) + " - " + std::filesystem::path(*chosen).filename().string()));
        DXSound.Initialize();
        // The render takes the slot's sound from this copy; a failed copy keeps the old one.
        copyFile(*chosen, scratchFileName(), false);
        player_ = std::make_unique<TAudioFileStream>(*DXSound.DSound());
        player_->SetFileName(*chosen);
        setPrimaryFormat();
        enableSoundControls(true);

        // The sliders show the new player's values as they are: pan and volume 0, the pitch
        // slider the file's own rate (at its nearer end when the rate lies outside it).
        Updating = true;
        try {
            PanTrackBar->setValue(player_->Pan());
            VolumeTrackBar->setValue(player_->Volume());
            FrequencyTrackBar->setValue(player_->Frequency());
        } catch (...) {
            Updating = false;
            throw;
        }
        Updating = false;
    } catch (...) {
        FileCloseClick(this);
        throw;
    }
}

void SampleWindow::FileCloseClick(QObject*)
{
    Timer->stop();
    DXSound.Finalize();
    // Finalizing frees the player through DXSoundFinalize; a component that never opened
    // has no finalize event, and the slot is left without a player all the same.
    player_.reset();
    enableSoundControls(false);
}

void SampleWindow::PanTrackBarChange(QObject*)
{
    if (Updating || !player_)
        return;
    player_->SetPan(PanTrackBar->value() * 100);
}

void SampleWindow::VolumeTrackBarChange(QObject*)
{
    if (Updating || !player_)
        return;
    player_->SetVolume(VolumeTrackBar->value() * 100);
}

void SampleWindow::FrequencyTrackBarChange(QObject*)
{
    if (Updating || !player_)
        return;
    player_->SetFrequency(FrequencyTrackBar->value());
}

void SampleWindow::PlayButtonClick(QObject*)
{
    if (!player_)
        return;
    triggerSampleSlot(player_.get());
    Timer->start();
}

void SampleWindow::TimerTimer(QObject*)
{
    if (player_ && player_->Playing())
        return;
    // Stopped first, so a failure below is shown once, not at every tick.
    Timer->stop();
    if (player_ && player_->WaveStream()) {
        player_->SetPosition(0);
        player_->Stop();
        player_->SetPosition(0);
    }
    PlayButton->setEnabled(player_ != nullptr);
}

void SampleWindow::Button1Click(QObject*)
{
    stopSampleSlot(player_.get());
    hide();
}

void SampleWindow::FileEndClick(QObject*)
{
    close();
}

void SampleWindow::GlobalFocusItemClick(QObject*)
{
    GlobalFocusItem->setChecked(!GlobalFocusItem->isChecked());
    if (GlobalFocusItem->isChecked())
        DXSound.SetOptions(DXSound.Options() | soGlobalFocus);
    else
        DXSound.SetOptions(DXSound.Options() & ~soGlobalFocus);
    if (player_)
        player_->RecreateBuffer();
}

void SampleWindow::DXSoundFinalize(QObject*)
{
    player_.reset();
}

} // namespace groovane
