#include "render/render_window.h"

#include "platform/dialogs.h"
#include "platform/files.h"
#include "platform/qt_text.h"
#include "song/step_list.h"
#include "platform/window_geometry.h"

#include <QCoreApplication>
#include <QFont>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <chrono>
#include <climits>

namespace groovane {

namespace {

// The bar counts in steps of this many lines, so that its range fits the toolkit's int however
// long the song.
std::int64_t progressUnit(std::int64_t lines)
{
    return lines / INT_MAX + 1;
}

// The render as the windows see it: Stop is asked of the main window, progress goes to the
// bar, the sound's name to the label, and pending messages run while the render works, often
// enough for the window to answer at once (every 20 ms) and not so often that they slow it.
class WindowObserver : public RenderObserver {
public:
    WindowObserver(const RenderHost& host, QLabel& label, std::int64_t lines)
        : host_(host),
          label_(label),
          unit_(progressUnit(lines))
    {}

    bool isStopRequested() override { return host_.isStopRequested && host_.isStopRequested(); }
    void linePassed(std::int64_t position) override
    {
        position_ = position;
        pumpWhenDue();
    }
    // Long sounds keep the render mixing for seconds between lines; messages run then too.
    void mixing() override { pumpWhenDue(); }
    void hitStarting(const std::string& soundName) override
    {
        if (soundName != shownName_) {
            shownName_ = soundName;
            label_.setText(toQString(soundName));
        }
    }

private:
    void pumpWhenDue()
    {
        const auto now = std::chrono::steady_clock::now();
        if (now - lastPump_ < kPumpInterval)
            return;
        lastPump_ = now;
        host_.ProgressBar1->setValue(static_cast<int>(position_ / unit_));
        QCoreApplication::processEvents();
    }

    static constexpr std::chrono::milliseconds kPumpInterval{20};
    const RenderHost& host_;
    QLabel& label_;
    std::int64_t unit_;
    std::int64_t position_ = 0;
    std::chrono::steady_clock::time_point lastPump_{};
    std::string shownName_;
};

} // namespace

// No border icons: the render window has no close button.
TForm1::TForm1(QWidget* parent) : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setWindowTitle("Render");
    placeWindowOuter(this, 168, 250, 313, 115);

    Label1 = new QLabel("Now Adding:", this);
    QFont heading("Times New Roman");
    heading.setBold(true);
    heading.setPixelSize(19);
    Label1->setFont(heading);
    Label1->setGeometry(8, 8, 290, 24);

    Label2 = new QLabel(this);
    QFont name("MS Sans Serif");
    name.setBold(true);
    name.setItalic(true);
    name.setPixelSize(19);
    Label2->setFont(name);
    Label2->setGeometry(8, 40, 290, 24);
}

void TForm1::finish()
{
    host_.ProgressBar1->hide();
    host_.BitBtn3->setEnabled(true);
    host_.BitBtn12->setEnabled(true);
    host_.MainPlay->clear();
}

void TForm1::Button1Click(QObject*)
{
    FileDialogOptions options;
    options.title = "Save As One Big Lovely WAV File";
    options.defaultExt = "wav";
    options.filter = "Audio files (*.wav)|*.WAV|All files (*.*)|*.*";
    options.overwritePrompt = true;
    const std::optional<std::string> chosen = dialogs().saveFile(options);
    if (!chosen) {
        finish();
        return;
    }
    if (host_.mainWindow)
        host_.mainWindow->repaint();

    const std::string base = host_.baseFolder();
    // The render walks its own copy: Stop empties the main window's list while messages run.
    const StepList steps = *host_.MainPlay;
    show();
    host_.ProgressBar1->setMaximum(static_cast<int>(steps.lineCount() / progressUnit(steps.lineCount())));
    host_.ProgressBar1->setValue(0);
    host_.ProgressBar1->show();
    WindowObserver observer(host_, *Label2, steps.lineCount());
    RenderOutcome outcome;
    try {
        outcome = renderSong(steps, host_.sounds(), joinPath(base, "work1.tmp"), *chosen, observer);
    } catch (...) {
        hide();
        finish();
        throw;
    }
    // Presses made while the file was written are taken now, while the render still counts as
    // running, so a Render or F11 pressed meanwhile is dropped rather than starting another.
    QCoreApplication::processEvents();
    hide();
    if (outcome == RenderOutcome::Stopped)
        host_.ProgressBar1->setValue(0);
    finish();
}

} // namespace groovane
