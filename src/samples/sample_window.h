// The eight sample windows share one implementation; the window classes differ only in their
// slot number, which fixes the caption, the scratch file and the design position.
#pragma once

#include <QWidget>

namespace groovane {

class SampleWindow : public QWidget {
    Q_OBJECT
public:
    // slot: 1..8.
    explicit SampleWindow(int slot, QWidget* parent = nullptr);
    int slot() const { return slot_; }

private:
    int slot_;
};

// The window classes, one per slot (the class number is one below the slot from slot 2 on).
class TMainForm : public SampleWindow { public: explicit TMainForm(QWidget* p = nullptr) : SampleWindow(1, p) {} };
class TMainForm1 : public SampleWindow { public: explicit TMainForm1(QWidget* p = nullptr) : SampleWindow(2, p) {} };
class TMainForm2 : public SampleWindow { public: explicit TMainForm2(QWidget* p = nullptr) : SampleWindow(3, p) {} };
class TMainForm3 : public SampleWindow { public: explicit TMainForm3(QWidget* p = nullptr) : SampleWindow(4, p) {} };
class TMainForm4 : public SampleWindow { public: explicit TMainForm4(QWidget* p = nullptr) : SampleWindow(5, p) {} };
class TMainForm5 : public SampleWindow { public: explicit TMainForm5(QWidget* p = nullptr) : SampleWindow(6, p) {} };
class TMainForm6 : public SampleWindow { public: explicit TMainForm6(QWidget* p = nullptr) : SampleWindow(7, p) {} };
class TMainForm7 : public SampleWindow { public: explicit TMainForm7(QWidget* p = nullptr) : SampleWindow(8, p) {} };

} // namespace groovane
