// The instrument pans on the main window: "Panning.dat" at start and close, the selector and the
// pan slider (user moves against program moves), "R", and closing with a kit that lacks an
// instrument.
#include "support/scripted_dialogs.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "support/working_folder.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <gtest/gtest.h>

using namespace groovane;

namespace {

// A pan file of 17 lines, CR LF ended, from the given values.
std::string panFile(const std::vector<int>& values)
{
    std::string text;
    for (int v : values)
        text += std::to_string(v) + "\r\n";
    return text;
}

} // namespace

class SequencePansTest : public ::testing::Test {
protected:
    void start()
    {
        window = std::make_unique<TSequence>();
        ui = &controlsOf(*window);
        window->show();
        window->FormCreate();
    }
    int32_t pan(const std::string& name) { return window->DXWaveList1.Items().Find(name).Pan(); }
    // The user picks entry `index` from the selector's list.
    void pick(int index)
    {
        ui->ComboBox1->setCurrentIndex(index);
        emit ui->ComboBox1->activated(index);
    }
    bool closeWindow() { return window->close(); }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<TSequence> window;
    TSequenceControls* ui = nullptr; // the window's controls
};

TEST_F(SequencePansTest, StoredPansComeBackAndTheSliderShowsThemWithinItsRange)
{
    std::vector<int> values(17, 0);
    values[3] = -2000; // Snare
    values[5] = 5000;  // OpHiat
    folder.write("Panning.dat", panFile(values));
    start();
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(pan("Snare"), -2000);
    EXPECT_EQ(pan("OpHiat"), 5000);

    pick(3);
    EXPECT_EQ(ui->Panning->value(), -2000);
    pick(5);
    EXPECT_EQ(ui->Panning->value(), 2000) << "the slider holds the pan at its end";
    EXPECT_EQ(pan("OpHiat"), 5000) << "showing a pan is a program move of the slider";

    // A sample, or a text the list lacks, shows the tambourine; the empty entry moves nothing.
    window->DXWaveList1.Items().Find("Tamb").SetPan(-700);
    pick(19); // Sample3
    EXPECT_EQ(ui->Panning->value(), -700);
    pick(0);
    EXPECT_EQ(ui->Panning->value(), -700);

    // Setting the selector's text from code runs nothing.
    ui->ComboBox1->setEditText("Snare");
    EXPECT_EQ(ui->Panning->value(), -700);

    ASSERT_TRUE(closeWindow());
    values[16] = -700;
    EXPECT_EQ(folder.read("Panning.dat"), panFile(values)) << "a pan the slider could not show is written as it is";
}

TEST_F(SequencePansTest, UserMovesSetThePanOfTheSelectedKitInstrumentOnly)
{
    start();
    pick(3); // Snare
    QTest::keyClick(ui->Panning, Qt::Key_Home);
    EXPECT_EQ(pan("Snare"), -2000);

    // A sample selected: the message each time, and no pan changes.
    pick(17); // Sample1 shows the tambourine's pan
    QTest::keyClick(ui->Panning, Qt::Key_End);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "Sample Panning");
    EXPECT_EQ(dialogs.messages[0].text,
              "Use the sample importer (Edit/Sample#) to change your imported samples panning");
    EXPECT_EQ(pan("Tamb"), 0);

    // The empty entry: the slider moves, no pan does.
    pick(0);
    QTest::keyClick(ui->Panning, Qt::Key_Home);
    for (int slot = 1; slot <= 16; ++slot) {
        if (slot != 3) {
            EXPECT_EQ(pan(ui->ComboBox1->itemText(slot).toStdString()), 0);
        }
    }

    ASSERT_TRUE(closeWindow());
    std::vector<int> expected(17, 0);
    expected[3] = -2000;
    EXPECT_EQ(folder.read("Panning.dat"), panFile(expected));
}

TEST_F(SequencePansTest, ResetCentresEveryInstrumentAndTheSlider)
{
    std::vector<int> values(17, 1500);
    values[0] = 0;
    folder.write("Panning.dat", panFile(values));
    start();
    pick(1);
    ui->ComboBox1->setEditText("Congo");
    QTest::mouseClick(ui->BitBtn5, Qt::LeftButton);
    EXPECT_EQ(ui->Panning->value(), 0);
    EXPECT_EQ(ui->ComboBox1->currentText(), "Congo");
    EXPECT_EQ(pan("Kick"), 0);
    EXPECT_EQ(pan("Tamb"), 0);
    ASSERT_TRUE(closeWindow());
    EXPECT_EQ(folder.read("Panning.dat"), panFile(std::vector<int>(17, 0)));
}

TEST_F(SequencePansTest, ADamagedPanFileEndsStartUpAndIsNotOverwrittenWithZeros)
{
    // "Short Kick" applies, "Snare" does not read, everything after it keeps 0.
    const std::string damaged = "0\r\n-300\r\n400\r\nleft\r\n900\r\n";
    folder.write("Panning.dat", damaged);
    start();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "'left' is not a valid integer value.");
    EXPECT_EQ(pan("Kick"), -300);
    EXPECT_EQ(pan("Short Kick"), 400);
    EXPECT_EQ(pan("OpHiat"), 0);
    ASSERT_TRUE(closeWindow());
    EXPECT_EQ(folder.read("Panning.dat"), damaged);
}

TEST_F(SequencePansTest, AShortPanFileFailsAtItsFirstMissingLine)
{
    folder.write("Panning.dat", panFile(std::vector<int>(9, 100)));
    start();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "'' is not a valid integer value.");
    EXPECT_EQ(pan("Cymbol1"), 100);
    EXPECT_EQ(pan("Cymbol2"), 0);

    // Once the user changes a pan, the kit's pans are what the user sees and are written.
    pick(9); // Cymbol2
    QTest::keyClick(ui->Panning, Qt::Key_End);
    ASSERT_TRUE(closeWindow());
    std::vector<int> expected(17, 0);
    for (int slot = 1; slot <= 8; ++slot)
        expected[static_cast<size_t>(slot)] = 100;
    expected[9] = 2000;
    EXPECT_EQ(folder.read("Panning.dat"), panFile(expected));
}

TEST_F(SequencePansTest, AMissingPanFileIsReportedAndMadeAtClose)
{
    std::filesystem::remove(folder.path() / "Panning.dat");
    start();
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Cannot open file Panning.dat.");
    ASSERT_TRUE(closeWindow());
    EXPECT_EQ(folder.read("Panning.dat"), panFile(std::vector<int>(17, 0)));
}

TEST_F(SequencePansTest, AKitWithoutAnInstrumentStillClosesAndKeepsTheStoredFile)
{
    std::vector<int> values(17, 0);
    values[13] = 1234; // Congo
    folder.write("Panning.dat", panFile(values));
    start();
    ASSERT_TRUE(dialogs.errors.empty());
    window->DXWaveList1.Items().Find("Congo").SetName("Bongo");
    pick(2);
    QTest::keyClick(ui->Panning, Qt::Key_End);

    EXPECT_TRUE(closeWindow()) << "the program closes";
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Wave 'Congo' not found.");
    EXPECT_EQ(folder.read("Panning.dat"), panFile(values));
}

TEST_F(SequencePansTest, AFileThatCannotBeWrittenKeepsTheWindowOpen)
{
    start();
    pick(1);
    QTest::keyClick(ui->Panning, Qt::Key_End);
    // A folder in the file's place: it can be neither replaced nor written.
    std::filesystem::remove(folder.path() / "Panning.dat");
    std::filesystem::create_directory(folder.path() / "Panning.dat");
    EXPECT_FALSE(closeWindow());
    EXPECT_TRUE(window->isVisible());
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].rfind("Cannot create file ", 0), 0u) << dialogs.errors[0];
}

TEST_F(SequencePansTest, TypingInTheSelectorShowsThePanOfWhatItNames)
{
    std::vector<int> values(17, 0);
    values[3] = -1500; // Snare
    values[16] = 800;  // Tamb
    folder.write("Panning.dat", panFile(values));
    start();
    ui->ComboBox1->lineEdit()->setFocus();
    QTest::keyClicks(ui->ComboBox1->lineEdit(), "sn");
    EXPECT_EQ(ui->Panning->value(), 800) << "a text the list lacks shows the tambourine";
    QTest::keyClicks(ui->ComboBox1->lineEdit(), "are");
    EXPECT_EQ(ui->Panning->value(), -1500) << "letter case is ignored";
    EXPECT_EQ(pan("Tamb"), 800);
}
