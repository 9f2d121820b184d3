#include "kits/kit_list_window.h"

#include "platform/handler_guard.h"
#include "pattern/instruments.h"
#include "platform/qt_text.h"
#include "sound/wave_collection.h"
#include "platform/window_geometry.h"

#include <QComboBox>
#include <QMouseEvent>
#include <QSlider>

namespace groovane {

namespace {

constexpr const char* kCaptions[TKit_List::kInstruments] = {
    "Kick",    "Short Kick", "Snare",  "ClsHiHat", "OpHiHat", "Tom1",    "Tom2",  "Cymbol1",
    "Cymbol2", "Rimshot",    "Shaker", "Block",    "Congo",   "Cowbell", "Crack", "Tamb"};
constexpr int kTops[TKit_List::kInstruments] = {8,   32,  57,  81,  105, 129, 153, 177,
                                                201, 225, 249, 273, 297, 321, 345, 369};

} // namespace

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

TKit_List::TKit_List(QComboBox& selector, QSlider& panning, const TWaveCollection& kit, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint),
      ComboBox1(selector),
      Panning(panning),
      kit_(kit)
{
    setObjectName("Kit_List");
    setWindowTitle("Kit List");
    placeWindowClient(this, 671, 121, 104, 397);

    for (int n = 1; n <= kInstruments; ++n) {
        auto* label = new ClickLabel(kCaptions[n - 1], this);
        label->setObjectName(QString("Label%1").arg(n));
        QFont f("MS Sans Serif");
        f.setStyleHint(QFont::SansSerif);
        f.setPixelSize(13);
        f.setBold(true);
        f.setItalic(n >= 10);
        label->setFont(f);
        label->setCursor(Qt::PointingHandCursor);
        label->adjustSize();
        label->move(22, kTops[n - 1]);
        Labels.push_back(label);
        connect(label, &ClickLabel::clicked, this, guarded([this, n] { LabelClick(n); }));
    }
}

void TKit_List::LabelClick(int n)
{
    const std::string& name = instrumentNames()[static_cast<size_t>(n)];
    // The list entry of that name, so the drop-down shows it selected too.
    ComboBox1.setCurrentIndex(ComboBox1.findText(toQString(name), Qt::MatchFixedString));
    ComboBox1.setEditText(toQString(name));
    // The slider holds the pan within its range.
    Panning.setValue(kit_.Find(name).Pan());
}

} // namespace groovane
