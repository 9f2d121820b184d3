#include "kits/volume_control_window.h"

#include "platform/handler_guard.h"
#include "pattern/instruments.h"
#include "sound/wave_collection.h"
#include "platform/window_geometry.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSlider>

namespace groovane {

namespace {

constexpr int kColumnWidth = 32;
// What the strip under the columns calls each instrument, short enough for a column.
constexpr const char* kStripNames[TVolume_Control::kInstruments] = {
    "Kick",  "Short Kick", "Snare",  "Cls HH", "Op HH", "Tom 1",    "Tom 2", "Cym 1",
    "Cym 2", "Rim",        "Shaker", "Block",  "Congo", "Cow bell", "Crack", "Tamb"};

// The strip under the columns that names each column's instrument.
QPixmap drawInstrumentStrip(int width, int height)
{
    QPixmap strip(width, height);
    strip.fill(QColor(32, 32, 40));
    QPainter p(&strip);
    QFont f("Sans Serif");
    f.setPixelSize(9);
    p.setFont(f);
    p.setPen(QColor(230, 220, 160));
    for (int n = 1; n <= TVolume_Control::kInstruments; ++n) {
        const QRect cell((n - 1) * kColumnWidth, 0, kColumnWidth, height);
        p.drawText(cell.adjusted(1, 1, -1, -1), Qt::AlignCenter | Qt::TextWordWrap, kStripNames[n - 1]);
        if (n > 1)
            p.drawLine(cell.topLeft(), cell.bottomLeft());
    }
    return strip;
}

} // namespace

TVolume_Control::TVolume_Control(TWaveCollection& kit, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowStaysOnTopHint),
      kit_(kit)
{
    setObjectName("Volume_Control");
    setWindowTitle("Kit Volume Control");
    placeWindowOuter(this, 7, 234, 525, 309);

    for (int n = 1; n <= kInstruments; ++n) {
        const int x = kColumnWidth * (n - 1);
        auto* bevel = new QFrame(this);
        bevel->setFrameShape(QFrame::Box);
        bevel->setFrameShadow(QFrame::Sunken);
        bevel->setGeometry(x, 16, 33, 185);
        Bevels.push_back(bevel);

        auto* slider = new QSlider(Qt::Vertical, this);
        slider->setObjectName(QString("TrackBar%1").arg(n));
        slider->setGeometry(x + 2, 24, 30, 150);
        slider->setRange(0, 40);
        slider->setValue(0);
        slider->setTickInterval(1);
        slider->setTickPosition(QSlider::TicksBothSides);
        // 0, full level, at the top.
        slider->setInvertedAppearance(true);
        slider->setInvertedControls(true);
        TrackBars.push_back(slider);
        connect(slider, &QSlider::valueChanged, this, guarded([this, n] { TrackBarChange(n); }));

        auto* box = new QCheckBox(this);
        box->setObjectName(QString("CheckBox%1").arg(n));
        box->setGeometry(x + 8, 176, 17, 17);
        box->setChecked(true);
        CheckBoxes.push_back(box);
        connect(box, &QCheckBox::clicked, this, guarded([this, n] { CheckBoxClick(n); }));
    }

    Image1 = new QLabel(this);
    Image1->setGeometry(0, 208, 513, 33);
    Image1->setPixmap(drawInstrumentStrip(513, 33));
    Image1->setScaledContents(true);

    Button1 = new QPushButton("OK", this);
    Button1->setGeometry(216, 248, 75, 25);
    connect(Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(Button1); }));
}

void TVolume_Control::TrackBarChange(int n)
{
    const QSlider* slider = TrackBars[static_cast<size_t>(n - 1)];
    kit_.Find(instrumentNames()[static_cast<size_t>(n)]).SetVolume(slider->value() * kVolumeStep);
}

void TVolume_Control::CheckBoxClick(int n)
{
    const size_t i = static_cast<size_t>(n - 1);
    const std::string& name = instrumentNames()[static_cast<size_t>(n)];
    if (CheckBoxes[i]->isChecked()) {
        TrackBars[i]->setEnabled(true);
        kit_.Find(name).SetVolume(SavedVolume[i]);
    } else {
        TrackBars[i]->setEnabled(false);
        TWaveCollectionItem& sound = kit_.Find(name);
        SavedVolume[i] = sound.Volume();
        sound.SetVolume(kMutedVolume);
    }
}

void TVolume_Control::Button1Click(QObject*)
{
    hide();
}

} // namespace groovane
