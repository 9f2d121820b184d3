// The render window: shown while a song renders to a WAV file, naming the sound being mixed.
// Its Button1Click is the render seen from the user's side: the save dialog, the progress bar,
// Stop, and the play buttons and step list given back at the end. The main window hands it
// exactly the controls and values it needs (RenderHost); it never sees the main window's class.
#pragma once

#include "render/song_render.h"

#include <QWidget>

#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace groovane {

class StepList;

// What the render takes from the main window. Not owned; they outlive the render window.
struct RenderHost {
    QWidget* mainWindow = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* BitBtn3 = nullptr;  // Play Pattern
    QPushButton* BitBtn12 = nullptr; // Play Song
    StepList* MainPlay = nullptr;
    // The base folder, and the sounds of instruments 1..24 as they are at the render's start.
    std::function<std::string()> baseFolder;
    std::function<RenderSounds()> sounds;
    // True once Stop or Clear List was used (or the main window closed) since the render began.
    std::function<bool()> isStopRequested;
};

class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);

    QLabel* Label1;
    QLabel* Label2;

    void setHost(RenderHost host) { host_ = std::move(host); }

    // Renders the step list to the file chosen in the save dialog. A cancelled dialog writes
    // nothing. A stop request ends it with a partial file. A failure hides this window and the
    // progress bar and gives back the play buttons before its error passes on, and leaves an
    // existing output file as it was. UI thread; lets pending window messages run while it
    // works (every 20 ms).
    void Button1Click(QObject* Sender = nullptr);

private:
    // The end of every render, stopped or not: progress bar hidden, play buttons back, step list
    // emptied.
    void finish();

    RenderHost host_;
};

} // namespace groovane
