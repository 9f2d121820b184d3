// The kit list: a palette of the 16 kit instruments that stays beside the main window. Clicking
// a name puts that instrument into the main window's instrument selector and shows its pan on
// the pan slider, so the next cell placed in the grid names it. Both are program changes: the
// selector's and the slider's own change handlers do not run, so nothing sounds and no pan
// changes.
//
// The window is handed exactly what it acts on: the selector, the pan slider and the kit whose
// pans it reads. The labels show display texts; the names put into the selector are the
// instrument names ("ClsHiHat" selects "ClsHiat"). A kit without the instrument raises
// "Wave '<name>' not found" after the selector has changed.
//
// UI thread only.
#pragma once

#include <QLabel>
#include <QWidget>

#include <vector>

class QComboBox;
class QSlider;

namespace groovane {

class TWaveCollection;

// A label that reports a click of the left mouse button.
class ClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class TKit_List : public QWidget {
    Q_OBJECT
public:
    static constexpr int kInstruments = 16;

    // The controls and the kit must outlive the window.
    TKit_List(QComboBox& selector, QSlider& panning, const TWaveCollection& kit, QWidget* parent = nullptr);

    // Label n (1..16) is element n - 1.
    std::vector<ClickLabel*> Labels;

    // Label1Click .. Label16Click: selects instrument n and shows its pan.
    void LabelClick(int n);

private:
    QComboBox& ComboBox1;
    QSlider& Panning;
    const TWaveCollection& kit_;
};

} // namespace groovane
