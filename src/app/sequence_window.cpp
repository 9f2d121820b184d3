#include "app/sequence_window.h"

#include "app/artwork.h"
#include "app/playhead_display.h"
#include "platform/dialogs.h"
#include "platform/exception.h"
#include "platform/files.h"
#include "platform/handler_guard.h"
#include "pattern/instrument_pans.h"
#include "platform/qt_text.h"
#include "pattern/pattern_editing.h"
#include "samples/scratch_files.h"
#include "platform/window_geometry.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>

#include <climits>
#include <filesystem>
#include <limits>

namespace groovane {

namespace {

// The size of the window's design font, in points.
constexpr int kDesignPoints = 8;

template <class W>
W* place(W* widget, int left, int top, int width = -1, int height = -1)
{
    if (width < 0 || height < 0) {
        widget->adjustSize();
        widget->move(left, top);
        if (width >= 0)
            widget->resize(width, widget->height());
    } else {
        widget->setGeometry(left, top, width, height);
    }
    return widget;
}

QLabel* label(QWidget* parent, const char* text, bool bold = false)
{
    auto* l = new QLabel(QString::fromUtf8(text), parent);
    if (bold)
        l->setFont(designFont(kDesignPoints, true));
    return l;
}

QPushButton* button(QWidget* parent, const QString& text, const QIcon& icon = QIcon())
{
    auto* b = new QPushButton(icon, text, parent);
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}

} // namespace

TSequence::TSequence(QWidget* parent) : QMainWindow(parent)
{
    for (TDXTimer* timer : {&DXTimer1, &DXTimer2}) {
        timer->setEnabled(false);
        timer->setInterval(1000);
        timer->setActiveOnly(false);
        timer->setMaxLag(10);
        timer->Loaded();
    }

    setObjectName("Sequence");
    setWindowTitle(kCaption);
    setWindowIcon(drawWindowIcon());
    setFont(designFont(kDesignPoints));
    openDocument = [](const QUrl& url) { QDesktopServices::openUrl(url); };

    buildControls();
    buildMenu();
    Edits.setViews(editViewsOf(*SongList, *Edit2, *Edit3, [this] { updateUndoItems(); }));
    connectHandlers();
    connectSampleHandlers();
    connectKitHandlers();
    setUpSound();
    connectPanAndSongHandlers();
    setUpPlayback();

    move(5, 4);
    // The design's outer size is 669 x 541; the client area below the menu holds the controls.
    centralWidget()->setFixedSize(661, 495);
    adjustSize();
    BitBtn12->setFocus();
    qApp->installEventFilter(this);
}

TSequence::~TSequence()
{
    qApp->removeEventFilter(this);
}

void TSequence::buildControls()
{
    auto* c = new QWidget(this);
    setCentralWidget(c);

    // Frames first, so every control sits above them.
    const QRect bevelRects[7] = {{4, 4, 158, 170},    {164, 4, 178, 170},  {348, 4, 311, 170},  {0, 174, 475, 44},
                                 {478, 188, 46, 300}, {526, 188, 133, 80}, {526, 268, 133, 220}};
    for (const QRect& r : bevelRects) {
        auto* bevel = new QFrame(c);
        bevel->setFrameShape(QFrame::Box);
        bevel->setFrameShadow(QFrame::Sunken);
        bevel->setGeometry(r);
        Bevels.push_back(bevel);
    }

    QStyle* st = style();
    Label1 = place(label(c, "Pattern Library", true), 8, 8);
    MusicLib = place(new ListBox(c), 8, 24, 97, 145);
    MusicLib->addItem("<Blank>");
    LibBin = place(button(c, "", st->standardIcon(QStyle::SP_TrashIcon)), 108, 24, 25, 25);
    LibBin->setToolTip("Delete pattern");
    BitBtn1 = place(button(c, "", st->standardIcon(QStyle::SP_ArrowRight)), 116, 56, 41, 33);
    BitBtn1->setToolTip("Add to play list");
    BitBtn2 = place(button(c, "", st->standardIcon(QStyle::SP_ArrowLeft)), 116, 88, 41, 33);
    BitBtn2->setToolTip("Remove from play list");

    Label2 = place(label(c, "Play List", true), 168, 8);
    SongList = place(new ListBox(c), 168, 24, 89, 145);
    UpDown1 = place(new UpDown(c), 256, 16, 16, 49);
    SongBin = place(button(c, "", st->standardIcon(QStyle::SP_TrashIcon)), 280, 24, 25, 25);
    SongBin->setToolTip("Delete from play list");
    Noend = place(new QCheckBox("Loop", c), 280, 50);
    Rendor = place(button(c, "Render", drawRenderGlyph()), 264, 70, 73, 33);
    Rendor->setToolTip("Render to wave file");
    BitBtn10 = place(button(c, "Clear List"), 264, 104, 73, 33);
    BitBtn12 = place(button(c, "Play List", drawPlayGlyph()), 264, 136, 73, 33);

    Image3 = place(new QLabel(c), 354, 10, 301, 47);
    Image3->setPixmap(drawBannerLogo(301, 47));
    Image3->setScaledContents(true);
    Label8 = place(label(c, "Sample Bank", true), 378, 80);
    // Names and captions differ on purpose: the captions read 1..8 along the rows.
    const struct {
        QPushButton** field;
        const char* caption;
        int left;
        int top;
    } sampleButtons[8] = {{&Button1, "1", 366, 104}, {&Button2, "2", 391, 104}, {&Button3, "3", 416, 104},
                          {&Button4, "4", 441, 104}, {&Button8, "5", 366, 132}, {&Button6, "6", 391, 132},
                          {&Button5, "7", 416, 132}, {&Button7, "8", 441, 132}};
    for (const auto& b : sampleButtons)
        *b.field = place(button(c, b.caption), b.left, b.top, 24, 25);

    Label9 = place(label(c, "Song Title", true), 504, 80);
    Edit3 = place(new QLineEdit(c), 504, 104, 145, 33);
    Edit3->setFont(designFont(12, true));
    BitBtn8 = place(button(c, "Open"), 504, 144, 39, 25);
    BitBtn9 = place(button(c, "Save"), 544, 144, 39, 25);

    Label7 = place(label(c, "Pattern Name"), 0, 177);
    Edit2 = place(new QLineEdit(c), 0, 192, 68, 27);
    // A name read from a pattern file is shown whole, however long: a line edit would cut it at
    // its default 32767 characters, and the cut text would then replace the name cell.
    Edit2->setMaxLength(std::numeric_limits<int>::max());
    // Shown only: the name cell stays empty until the text changes.
    Edit2->setText("Name");
    Edit2->setFont(designFont(10, true));
    Label15 = place(label(c, "Length/beat"), 72, 177);
    // The box keeps its designed width; its list drops down as wide as its widest item.
    TimeBar = place(new DropDownBox(c), 72, 192, 57, 24);
    TimeBar->setEditable(true);
    TimeBar->setInsertPolicy(QComboBox::NoInsert);
    for (const std::string& item : timeBarItems())
        TimeBar->addItem(toQString(item));
    TimeBar->setCurrentIndex(-1);
    TimeBar->setEditText("");
    Edit4 = place(new QLineEdit(c), 144, 192, 49, 24);
    Edit5 = place(new QLineEdit(c), 264, 192, 57, 24);
    for (QLineEdit* e : {Edit4, Edit5}) {
        // Shown only: disabled, but drawn in bold like an enabled box, so the values read clearly.
        e->setEnabled(false);
        e->setFont(designFont(kDesignPoints, true));
        QPalette pal = e->palette();
        pal.setColor(QPalette::Disabled, QPalette::Text, pal.color(QPalette::Active, QPalette::Text));
        e->setPalette(pal);
    }
    BitBtn13 = place(button(c, "Update"), 192, 190, 73, 28);
    BitBtn6 = place(button(c, "Save Pattern"), 326, 190, 73, 28);
    BitBtn7 = place(button(c, "Clear Pattern"), 400, 190, 73, 28);

    StringGrid1 = place(new GridView(Grid, c), 0, 216, 475, 273);

    Label4 = place(label(c, "Loops"), 486, 193);
    Loop = place(new QSpinBox(c), 482, 208, 37, 22);
    Loop->setRange(INT_MIN, INT_MAX);
    Loop->setValue(1);
    // At the designed width the arrow buttons would leave room for two digits; without them four
    // fit. The Up and Down keys and the mouse wheel still step the count.
    Loop->setButtonSymbols(QAbstractSpinBox::NoButtons);
    Delay = place(new QSlider(Qt::Vertical, c), 488, 232, 25, 185);
    Delay->setRange(1, 140);
    Delay->setValue(60);
    Delay->setTickInterval(1);
    Delay->setTickPosition(QSlider::TicksBothSides);
    Delay->setInvertedAppearance(true); // 1, the fastest, at the top
    Delay->setInvertedControls(true);
    Label5 = place(label(c, "BPM", true), 488, 416);
    Label6 = place(label(c, "80"), 493, 432);
    Label14 = place(label(c, "Global"), 484, 448);
    Global = place(new QCheckBox(c), 494, 464);

    Panel2 = place(new QFrame(c), 528, 192, 129, 73);
    Panel2->setFrameShape(QFrame::Panel);
    Panel2->setFrameShadow(QFrame::Raised);
    Label16 = place(label(Panel2, "      Play               Stop"), 4, 2);
    BitBtn3 = place(button(Panel2, "", drawPlayGlyph()), 8, 16, 49, 41);
    BitBtn3->setIconSize(QSize(24, 24));
    BitBtn3->setToolTip("Play Pattern");
    BitBtn4 = place(button(Panel2, "", drawStopGlyph()), 72, 16, 49, 41);
    BitBtn4->setIconSize(QSize(24, 24));
    BitBtn4->setToolTip("Stop");
    endless = place(new QCheckBox("Endless loop", Panel2), 8, 56);
    endless->setFont(designFont(7));
    endless->adjustSize();

    Panel1 = place(new QGroupBox(c), 528, 272, 129, 113);
    Label13 = place(label(Panel1, "Play"), 8, 3);
    Label13->setFont(designFont(6));
    Label13->adjustSize();
    Label3 = place(label(Panel1, "Instrument List"), 40, 3);
    place(label(Panel1, "Panning", true), 44, 50);
    Label11 = place(label(Panel1, "L"), 6, 72);
    Label12 = place(label(Panel1, "R"), 118, 72);
    BitBtn5 = place(button(Panel1, "R"), 3, 91, 17, 17);
    BitBtn5->setFont(designFont(kDesignPoints, true));
    BitBtn11 = place(button(c, "", drawSpeakerGlyph()), 536, 287, 25, 24);
    BitBtn11->setToolTip("Play Instrument");
    ComboBox1 = place(new QComboBox(c), 560, 288, 89, 22);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    // What the user types goes into the cells as typed: no completion to a listed name.
    ComboBox1->setCompleter(nullptr);
    ComboBox1->setMaxVisibleItems(17);
    for (const std::string& name : instrumentNames())
        ComboBox1->addItem(toQString(name));
    ComboBox1->setCurrentIndex(0);
    ComboBox1->setEditText("");
    {
        QPalette pal = ComboBox1->palette();
        pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
        ComboBox1->setPalette(pal);
    }
    Panning = place(new QSlider(Qt::Horizontal, c), 544, 338, 97, 45);
    Panning->setRange(-2000, 2000);
    Panning->setValue(0);
    Panning->setTickPosition(QSlider::TicksBothSides);
    Panning->setTickInterval(400);
    Panning->setCursor(Qt::PointingHandCursor);

    Image2 = place(new QLabel(c), 536, 400, 113, 81);
    Image2->setPixmap(drawPadLogo(113, 81));
    Image2->setScaledContents(true);

    ProgressBar1 = place(new QProgressBar(c), 0, 176, 657, 16);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->hide();
}

void TSequence::buildMenu()
{
    QMenuBar* bar = menuBar();
    auto item = [this](QMenu* menu, const QString& caption, const QKeySequence& shortcut = {}) {
        QAction* a = menu->addAction(caption);
        if (!shortcut.isEmpty()) {
            a->setShortcut(shortcut);
            a->setShortcutContext(Qt::WindowShortcut);
            menuShortcuts_.push_back(shortcut[0]);
        }
        return a;
    };

    File1 = bar->addMenu("File");
    New_Song = item(File1, "&New Song", QKeySequence(Qt::CTRL | Qt::Key_N));
    OpenPattern1 = item(File1, "Open Song", QKeySequence(Qt::CTRL | Qt::Key_O));
    SavePattern1 = item(File1, "Save Song", QKeySequence(Qt::CTRL | Qt::Key_S));
    Exit1 = item(File1, "E&xit", QKeySequence(Qt::CTRL | Qt::Key_C));
    Rendor_to_wav = item(File1, "Render song to wav file", QKeySequence(Qt::Key_F11));

    Edit1 = bar->addMenu("Edit");
    Undo1 = item(Edit1, "Undo", QKeySequence(Qt::CTRL | Qt::Key_Z));
    Redo1 = item(Edit1, "Redo", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    Redo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    menuShortcuts_.push_back(QKeySequence(Qt::CTRL | Qt::Key_Y)[0]);
    Edit1->addSeparator();
    CopyPattern1 = item(Edit1, "Clear Pattern");
    Edit1->addSeparator(); // ClearList1
    UpdateTime1 = item(Edit1, "Clear List");
    Edit1->addSeparator(); // N1
    UpdateTime2 = item(Edit1, "Update Time");
    // The menu shows the first short cut, "Enter"; the main keyboard's Return key is Enter too.
    Insertinstrument1 = item(Edit1, "Insert instrument", QKeySequence(Qt::Key_Enter));
    Insertinstrument1->setShortcuts({QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)});
    menuShortcuts_.push_back(QKeySequence(Qt::Key_Return)[0]);
    Edit1->addSeparator(); // N4
    KitVolumeControl1 = item(Edit1, "Kit Volume Control");
    KitList1 = item(Edit1, "Kit List");
    KitMake = item(Edit1, "Kit Maker");

    Import1 = bar->addMenu("Import");
    for (int k = 1; k <= 8; ++k)
        SampleItems.push_back(item(Import1, QString("Sample %1").arg(k)));
    SoundLibrary1 = item(Import1, "Drum Kit Library");

    Play1 = bar->addMenu("Play");
    Play2 = item(Play1, "Play Pattern", QKeySequence(Qt::Key_F6));
    Stop1 = item(Play1, "Play Song", QKeySequence(Qt::Key_F5));
    Play1->addSeparator(); // N2
    Stop2 = item(Play1, "&Stop", QKeySequence(Qt::Key_F8));
    Play1->addSeparator(); // N3
    // Shows Ctrl+S like the design, but Save Song comes first in the menu and owns the key.
    PlayInstrument1 = item(Play1, "Play Instrument\tCtrl+S");
    set1 = item(Play1, "44.1Khz, 16bit");
    set2 = item(Play1, "44.1Khz, 8bit");
    set3 = item(Play1, "22.5Khz, 16bit");
    set4 = item(Play1, "22.5Khz, 8bit");
    for (QAction* a : {set1, set2, set3, set4})
        a->setCheckable(true);
    set3->setChecked(true);
    Focus = item(Play1, "Sound Focus");
    Focus->setCheckable(true);
    Focus->setChecked(true);

    Help1 = bar->addMenu("Help");
    Contents1 = item(Help1, "&Contents");
    Vis_Site = item(Help1, "Visit the installed manual");
}

void TSequence::onTriggered(QAction* action, Handler handler)
{
    connect(action, &QAction::triggered, this, guarded([this, handler, action] { (this->*handler)(action); }));
}

void TSequence::onClicked(QPushButton* button, Handler handler)
{
    connect(button, &QPushButton::clicked, this, guarded([this, handler, button] { (this->*handler)(button); }));
}

void TSequence::onCommand(QPushButton* button, QAction* item, Handler handler)
{
    onClicked(button, handler);
    onTriggered(item, handler);
}

void TSequence::connectHandlers()
{
    onTriggered(Exit1, &TSequence::Exit1Click);
    onTriggered(Undo1, &TSequence::Undo1Click);
    onTriggered(Redo1, &TSequence::Redo1Click);
    updateUndoItems();
    onTriggered(Contents1, &TSequence::Contents1Click);
    onTriggered(Vis_Site, &TSequence::Vis_SiteClick);
    onTriggered(Insertinstrument1, &TSequence::Insertinstrument1Click);
    onCommand(BitBtn7, CopyPattern1, &TSequence::BitBtn7Click);
    onCommand(BitBtn13, UpdateTime2, &TSequence::BitBtn13Click);

    connect(StringGrid1, &GridView::mouseUp, this, guarded([this] { StringGrid1MouseUp(StringGrid1); }));
    connect(Edit2, &QLineEdit::textChanged, this, guarded([this] { Edit2Change(Edit2); }));
    connect(TimeBar, &QComboBox::editTextChanged, this, guarded([this] { TimeBarChange(TimeBar); }));
    connectListAndTempoHandlers();
}

// ---------------------------------------------------------------------------------------------
// Start-up and closing

void TSequence::FormCreate(QObject*)
{
    // Each step may raise; the first error ends the start-up work and is shown, and the window
    // opens with what was done.
    runGuarded([this] {
        // The default kit.
        DXWaveList1.Items().LoadFromFile("Rock_kit.dxg");
        // The output format whose menu item is checked at start: 22050 Hz, 16 bits.
        OutputRate = 22050;
        OutputBits = 16;
        // Lay the grid out for 16 steps in groups of 4.
        writeLengthAndTime(Grid, 16, 4);
        // Tempo read-out from the slider's start position.
        TempoPosition = Delay->value();
        showTempo(TempoPosition);
        // The working folder at start is the base folder of every file the program writes.
        BaseFolder = std::filesystem::current_path().string();
        // The pattern library: every "*.pat" of the working folder, then sorted.
        Library.scan(BaseFolder);
        showMusicLib();
        Loop->setValue(1);
        writeStepLabels(Grid, 16, 4);
        writeChannelHeadings(Grid);
        // The instrument pans kept from the last run, applied once the device is open again.
        MusicPad.loadFromFile(kPanningFile);
        // Open the sound device again, now in the chosen format; the kit's sounds get their
        // buffers.
        DXSound1.Initialize();
        applyStoredPans();
        // The eight sample slots start from the blank sound.
        resetSampleScratchFiles(BaseFolder);
    });
}

void TSequence::closeEvent(QCloseEvent* event)
{
    bool mayClose = isClosingUnasked_;
    const auto closeWork = [&] {
        // Yes saves as Save Pattern and Save Song do; a save that does not happen keeps the window.
        mayClose = mayClose || mayCloseWith(Edits.unsavedWork([this] { BitBtn6Click(); }, [this] { BitBtn9Click(); }));
        if (mayClose)
            FormClose(this);
    };
    if (!runGuarded(closeWork) || !mayClose) {
        event->ignore();
        return;
    }
    event->accept();
    // A render running inside one of this window's handlers ends with what it has mixed; the
    // program ends once that handler returns.
    isRenderStopRequested_ = isRendering_;
    // Nothing plays on while the program ends.
    DXTimer1.setEnabled(false);
    DXTimer2.setEnabled(false);
    if (onClosed)
        onClosed();
}

void TSequence::Exit1Click(QObject*)
{
    close();
}

bool TSequence::closeWithoutQuestion()
{
    isClosingUnasked_ = true;
    const ScopeExit asked([this] { isClosingUnasked_ = false; });
    return close();
}

void TSequence::Contents1Click(QObject*)
{
    const std::string folder = BaseFolder.empty() ? std::filesystem::current_path().string() : BaseFolder;
    // A missing manual is the desktop's to report; a FIFO or a device in its place would hang
    // or flood the viewer that opens it, so it is refused here.
    const std::string manual = joinPath(folder, kHelpFile);
    std::error_code error;
    const auto status = std::filesystem::status(resolvePath(manual), error);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status))
        throw EFileError(formatMessage("Cannot open file %s", manual));
    openDocument(QUrl::fromLocalFile(QDir(toQString(folder)).filePath(kHelpFile)));
}

void TSequence::Vis_SiteClick(QObject*)
{
    if (InstalledFolder.empty()) {
        Contents1Click();
        return;
    }
    openDocument(QUrl::fromLocalFile(QDir(toQString(InstalledFolder)).filePath(kHelpFile)));
}

bool TSequence::eventFilter(QObject* watched, QEvent* event)
{
    // The menu's short cuts win over the focused control: an edit box would otherwise take
    // Ctrl+C as copy and Enter for itself. Leaving the override unaccepted lets the short cut run.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this) {
            const QKeyCombination key = static_cast<QKeyEvent*>(event)->keyCombination();
            for (const QKeyCombination& shortcut : menuShortcuts_)
                if (shortcut == key) {
                    event->ignore();
                    return true;
                }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TSequence::updateUndoItems()
{
    Undo1->setEnabled(Edits.history().canUndo());
    Redo1->setEnabled(Edits.history().canRedo());
}

// ---------------------------------------------------------------------------------------------
// Pattern grid

void TSequence::StringGrid1MouseUp(QObject*)
{
    const auto edit = Edits.edit();
    const int column = StringGrid1->currentColumn();
    const int row = StringGrid1->currentRow();
    // Selector text that reads as the cell's text is that text, whatever bytes the cell holds.
    const std::string& cell = Grid.cell(column, row);
    Grid.setCell(column, row, toggledCellText(cell, keptOrTyped(ComboBox1->currentText(), cell)));
}

void TSequence::Insertinstrument1Click(QObject*)
{
    StringGrid1->setFocus(Qt::ShortcutFocusReason);
    StringGrid1MouseUp(this);
}

void TSequence::Edit2Change(QObject*)
{
    const auto edit = Edits.edit(EditHistory::kNameTyping);
    // The name loaded from a file keeps its bytes until the user edits it.
    Grid.setCell(0, 0, keptOrTyped(Edit2->text(), Grid.cell(0, 0)));
}

void TSequence::TimeBarChange(QObject*)
{
    const std::string text = fromQString(TimeBar->currentText());
    if (text.empty())
        return;
    const TimeBarSplit split = splitTimeBarText(text);
    Edit4->setText(toQString(split.length));
    Edit5->setText(toQString(split.time));
}

void TSequence::BitBtn13Click(QObject*)
{
    const auto edit = Edits.edit();
    if (Edit4->text().isEmpty() || Edit5->text().isEmpty()) {
        TimeBar->setEditText("");
        Edit4->clear();
        Edit5->clear();
        return;
    }
    applyLengthAndTime(Grid, fromQString(Edit4->text()), fromQString(Edit5->text()));
}

void TSequence::BitBtn7Click(QObject*)
{
    const auto edit = Edits.edit();
    clearPatternCells(Grid);
    Edit2->setText("");
    Loop->setValue(1);
}

} // namespace groovane
