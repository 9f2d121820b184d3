// The kit volume control: a fader panel of the 16 kit instruments. Each column has a vertical
// slider, 0 (full level) at the top and 40 at the bottom, that sets the instrument's volume in
// steps of -100 (a hundredth of a decibel each, so -40 dB at the bottom), and a check box that
// mutes the instrument at -4000 and gives it back the volume it had when it was muted.
//
// The window changes only the kit sounds' Volume, found by instrument name in the kit it is
// handed; the sliders show what the user last set, whatever a kit load has done since. A kit
// without the instrument raises "Wave '<name>' not found" after the slider was enabled or
// disabled.
//
// UI thread only. Handlers raise; the connections run them through the handler guard.
#pragma once

#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QSlider;

namespace groovane {

class TWaveCollection;

class TVolume_Control : public QWidget {
    Q_OBJECT
public:
    static constexpr int kInstruments = 16;
    static constexpr int32_t kVolumeStep = -100;
    static constexpr int32_t kMutedVolume = -4000;

    // `kit`: the main window's kit, which must outlive the window.
    explicit TVolume_Control(TWaveCollection& kit, QWidget* parent = nullptr);

    // Column n (1..16) is element n - 1.
    std::vector<QFrame*> Bevels;
    std::vector<QSlider*> TrackBars;
    std::vector<QCheckBox*> CheckBoxes;
    QLabel* Image1;
    QPushButton* Button1; // "OK"

    // The volume each instrument had when it was last muted; 0 until then.
    std::array<int32_t, kInstruments> SavedVolume{};

    // TrackBar1Change .. TrackBar16Change: instrument n's volume from its slider.
    void TrackBarChange(int n);
    // CheckBox1Click .. CheckBox16Click: checked enables the slider and restores the saved
    // volume; unchecked disables it, saves the volume and mutes.
    void CheckBoxClick(int n);
    // OK: hides the window.
    void Button1Click(QObject* Sender = nullptr);

private:
    TWaveCollection& kit_;
};

} // namespace groovane
