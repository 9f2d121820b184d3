// The kit maker driven offscreen through its buttons, its file dialogs and questions answered
// from a script, its preview player's worker on a manual clock: a kit made from sixteen WAV files
// of mixed formats, checked byte for byte against the kit file layout and loaded back; starting
// from the current kit through the scratch folder; samples that cannot sound, which change
// nothing; the preview; and saving over an old kit.
#include "kits/kit_maker.h"
#include "kits/kit_maker_window.h"
#include "kit_sounds.h"
#include "pattern/instruments.h"
#include "support/scripted_dialogs.h"
#include "platform/ui_call_queue.h"
#include "sound/wave.h"
#include "support/working_folder.h"
#include "platform/worker_clock.h"

#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

using namespace groovane;

namespace {

// Sixteen sounds of every width, channel count and rate the device plays, each with its own
// length and samples, so a sound in the wrong place or a format mixed up shows.
std::string mixedWav(int n)
{
    const int bits = n % 2 == 0 ? 8 : 16;
    const int channels = n % 4 < 2 ? 1 : 2;
    const uint32_t rates[4] = {11025, 22050, 44100, 48000};
    return test::pcmWav(rates[(n / 4) % 4], bits, channels, 50 + n * 7,
                        [n](int k, int c) { return (n * 300 + k * 11 + c * 5) % 250; });
}

std::string samplesOf(const TWave& wave)
{
    return std::string(reinterpret_cast<const char*>(wave.Data()), static_cast<size_t>(wave.Size()));
}

std::string formatOf(const TWave& wave)
{
    return std::string(reinterpret_cast<const char*>(wave.Format()), static_cast<size_t>(wave.FormatSize()));
}

TWave waveOf(const std::string& bytes)
{
    TWave wave;
    wave.LoadPropertyBytes(bytes);
    return wave;
}

class KitMakerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setWorkerClock(&clock);
        mainKit.LoadFromFile("Rock_kit.dxg");
        window = std::make_unique<TMakit>(folder.path().string(), mainKit);
        window->useKit = [this](const std::string& file) { usedKits.push_back(file); };
    }
    void TearDown() override
    {
        window.reset();
        setWorkerClock(nullptr);
    }

    // Loads `bytes`, written to the folder as `name`, for the instrument with radio tag `tag`.
    void loadSample(int tag, const std::string& name, const std::string& bytes)
    {
        folder.write(name, bytes);
        window->RadioButtons[size_t(tag - 1)]->setChecked(true);
        dialogs.openAnswers.push_back(folder.file(name));
        QTest::mouseClick(window->Load_sample, Qt::LeftButton);
    }

    void save(const std::string& name, MessageResult useNow)
    {
        dialogs.saveAnswers.push_back(folder.file(name));
        dialogs.answers.push_back(useNow);
        QTest::mouseClick(window->Save_library, Qt::LeftButton);
    }

    TWaveCollectionItem& sound(int i) { return window->DXWaveList1.Items().Items(i); }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    ManualWorkerClock clock;
    TWaveCollection mainKit;
    std::unique_ptr<TMakit> window;
    std::vector<std::string> usedKits;
};

TEST_F(KitMakerTest, AKitOfSixteenFilesSavesInTheKitLayoutAndLoadsBack)
{
    window->Prepare(false);
    for (int n = 1; n <= 16; ++n)
        loadSample(n, "sound" + std::to_string(n) + ".wav", mixedWav(n));
    EXPECT_TRUE(dialogs.errors.empty()) << dialogs.errors.front();
    EXPECT_EQ(window->SlotFiles[0], folder.file("sound16.wav"));
    EXPECT_EQ(window->SlotFiles[3], folder.file("sound3.wav"));
    EXPECT_EQ(window->CurrentSlot, 16);
    ASSERT_EQ(dialogs.fileDialogs.size(), 16u);
    EXPECT_EQ(dialogs.fileDialogs[0].filter, "wav|*.wav");

    save("made.dxg", MessageResult::No);
    ASSERT_EQ(dialogs.fileDialogs.size(), 17u);
    const FileDialogOptions& saving = dialogs.fileDialogs.back();
    EXPECT_EQ(saving.filter, "*.dxg|*.dxg");
    EXPECT_EQ(saving.defaultExt, "dxg");
    EXPECT_EQ(saving.initialFolder, folder.path().string());
    EXPECT_TRUE(saving.overwritePrompt);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "Question");
    EXPECT_EQ(dialogs.messages[0].text, "Do you wish to use the new drum kit now?");
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(usedKits.empty());

    std::vector<std::string> names(instrumentNames().begin(), instrumentNames().begin() + 17);
    std::vector<std::string> images{TWave(sound(0).Wave()).PropertyBytes()};
    for (int n = 1; n <= 16; ++n) {
        TWave source;
        source.LoadFromFile(folder.file("sound" + std::to_string(n) + ".wav"));
        images.push_back(source.PropertyBytes());
    }
    EXPECT_EQ(folder.read("made.dxg"), test::kitFileBytes(names, images));

    TWaveCollection loaded;
    loaded.LoadFromFile(folder.file("made.dxg"));
    ASSERT_EQ(loaded.Count(), 17);
    EXPECT_EQ(loaded.Items(0).Name(), "");
    EXPECT_EQ(formatOf(loaded.Items(0).Wave()), formatOf(waveOf(images[0])));
    for (int n = 1; n <= 16; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(loaded.Items(n).Name(), instrumentNames()[size_t(n)]);
        // The samples as the test wrote them: the data chunk's bytes after its 8-byte header.
        const std::string file = mixedWav(n);
        EXPECT_EQ(samplesOf(loaded.Items(n).Wave()), file.substr(44));
        EXPECT_EQ(formatOf(loaded.Items(n).Wave()), file.substr(20, 16));
    }
}

// Every kit of the shipped library serves as the template.
TEST_F(KitMakerTest, TemplatingStartsFromTheCurrentKitThroughTheScratchFolder)
{
    std::istringstream kits(GROOVANE_KIT_FILES);
    for (std::string kit; std::getline(kits, kit, '|');) {
        SCOPED_TRACE(kit);
        mainKit.LoadFromFile(kit);
        window->Prepare(true);
        EXPECT_TRUE(dialogs.errors.empty());
        ASSERT_EQ(window->DXWaveList1.Items().Count(), 17);
        for (int n = 1; n <= 16; ++n) {
            SCOPED_TRACE(n);
            EXPECT_EQ(sound(n).Name(), instrumentNames()[size_t(n)]);
            EXPECT_EQ(samplesOf(sound(n).Wave()), samplesOf(mainKit.Items(n).Wave()));
            EXPECT_EQ(formatOf(sound(n).Wave()), formatOf(mainKit.Items(n).Wave()));
            const std::string scratch = "temp/" + std::to_string(n) + ".wav";
            EXPECT_EQ(window->SlotFiles[size_t(n)], folder.file(scratch));
            EXPECT_EQ(folder.read(scratch), mainKit.Items(n).Wave().PropertyBytes());
        }
    }
    TWave blank;
    blank.LoadFromFile("Blank.wav");
    EXPECT_EQ(samplesOf(sound(0).Wave()), samplesOf(blank));

    // Preparing again without templating starts over from blank sounds and bare names.
    window->Prepare(false);
    EXPECT_EQ(samplesOf(sound(5).Wave()), samplesOf(blank));
    EXPECT_EQ(window->SlotFiles[5], "Blank.wav");
    EXPECT_EQ(window->SlotFiles[0], folder.file("Blank.wav"));
}

TEST_F(KitMakerTest, TemplatingAShortKitStopsAtItsFirstMissingSound)
{
    while (mainKit.Count() > 6)
        mainKit.Delete(mainKit.Count() - 1);
    try {
        window->Prepare(true);
        FAIL() << "templated from a kit of six sounds";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "List index out of bounds (6)");
    }
    EXPECT_EQ(window->SlotFiles[5], folder.file("temp/5.wav"));
    EXPECT_EQ(window->SlotFiles[6], "Blank.wav");
}

TEST_F(KitMakerTest, ASampleThatCannotSoundKeepsTheOldSoundAndItsFile)
{
    window->Prepare(false);
    loadSample(3, "good.wav", mixedWav(3));
    const std::string good = samplesOf(sound(3).Wave());

    const std::pair<std::string, std::string> bad[] = {
        {"text.wav", "not a wave at all"},
        {"empty.wav", test::pcmWav(44100, 16, 1, 0, [](int, int) { return 0; })},
        {"wide.wav", test::pcmWav(44100, 24, 1, 10, [](int, int) { return 0; })},
        {"many.wav", test::pcmWav(44100, 16, 3, 10, [](int, int) { return 0; })},
        {"short.wav", mixedWav(3).substr(0, 60)},
    };
    for (const auto& [name, bytes] : bad)
        loadSample(3, name, bytes);
    dialogs.openAnswers.push_back(folder.file("gone.wav"));
    QTest::mouseClick(window->Load_sample, Qt::LeftButton);

    EXPECT_EQ(dialogs.errors,
              (std::vector<std::string>{"Wave is invalid.", "Wave is invalid.", "Sound Buffer cannot be made.",
                                        "Sound Buffer cannot be made.", "Stream read error.",
                                        "Cannot open file " + folder.file("gone.wav") + "."}));
    EXPECT_EQ(samplesOf(sound(3).Wave()), good);
    EXPECT_EQ(window->SlotFiles[3], folder.file("good.wav"));
    EXPECT_EQ(window->SlotFiles[0], folder.file("good.wav"));

    // A cancelled dialog changes nothing either.
    dialogs.openAnswers.push_back(std::nullopt);
    QTest::mouseClick(window->Load_sample, Qt::LeftButton);
    EXPECT_EQ(window->SlotFiles[3], folder.file("good.wav"));

    // The kit saved now opens on a sound device like any kit.
    save("Rock_kit.dxg", MessageResult::No);
    TDXSoundForm form;
    TDXSound device(&form);
    TDXWaveList list;
    list.SetDXSound(&device);
    list.Items().LoadFromFile("Rock_kit.dxg");
    EXPECT_NO_THROW(device.Initialize());
}

TEST_F(KitMakerTest, PlayPreviewsTheInstrumentsFileFromDisk)
{
    // Before any Prepare there is no player, and Play does nothing.
    QTest::mouseClick(window->Play, Qt::LeftButton);
    EXPECT_EQ(window->PreviewPlayer, nullptr);
    EXPECT_TRUE(dialogs.errors.empty());

    window->Prepare(false);
    ASSERT_NE(window->PreviewPlayer, nullptr);
    EXPECT_EQ(window->PreviewPlayer->FileName(), folder.file("Blank.wav"));

    // A slot never loaded plays the blank sound by its bare name.
    window->RadioButtons[6]->setChecked(true);
    QTest::mouseClick(window->Play, Qt::LeftButton);
    EXPECT_EQ(window->CurrentSlot, 7);
    EXPECT_EQ(window->PreviewPlayer->FileName(), "Blank.wav");
    EXPECT_TRUE(window->PreviewPlayer->Playing());

    loadSample(2, "long.wav", test::constantWav(1000, 44100));
    // The preview plays the file: replacing it on disk changes what is heard, not the kit.
    folder.write("long.wav", test::constantWav(2000, 22050));
    QTest::mouseClick(window->Play, Qt::LeftButton);
    EXPECT_EQ(window->PreviewPlayer->FileName(), folder.file("long.wav"));
    EXPECT_EQ(window->PreviewPlayer->Size(), 44100);
    EXPECT_EQ(window->PreviewPlayer->Position(), 0);
    EXPECT_TRUE(window->PreviewPlayer->Playing());
    clock.step(50, uiCallQueue());
    EXPECT_EQ(samplesOf(sound(2).Wave()), test::constantWav(1000, 44100).substr(44));

    // A file that has gone: the player's error, the player left without a file; another slot
    // plays again.
    loadSample(4, "brief.wav", mixedWav(4));
    std::filesystem::remove(folder.path() / "brief.wav");
    QTest::mouseClick(window->Play, Qt::LeftButton);
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0], "Cannot open file " + folder.file("brief.wav") + ".");
    EXPECT_EQ(window->PreviewPlayer->FileName(), "");
    window->RadioButtons[1]->setChecked(true);
    QTest::mouseClick(window->Play, Qt::LeftButton);
    EXPECT_TRUE(window->PreviewPlayer->Playing());

    // Finalizing the device frees the player; Play then does nothing.
    window->DXSound.Finalize();
    EXPECT_EQ(window->PreviewPlayer, nullptr);
    QTest::mouseClick(window->Play, Qt::LeftButton);
    EXPECT_EQ(clock.workerCount(), 0);
}

TEST_F(KitMakerTest, WithoutTheBlankSoundPrepareFailsAndNoIncompleteKitIsSaved)
{
    std::filesystem::remove(folder.path() / "Blank.wav");
    try {
        window->Prepare(false);
        FAIL() << "prepared without the blank sound";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + folder.file("Blank.wav"));
    }
    EXPECT_EQ(window->PreviewPlayer, nullptr);
    QTest::mouseClick(window->Play, Qt::LeftButton);
    EXPECT_EQ(dialogs.errors.size(), 0u);
    EXPECT_EQ(clock.workerCount(), 0);

    // Every instrument still has its place: samples load where they belong.
    loadSample(3, "snare.wav", mixedWav(3));
    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(window->DXWaveList1.Items().Count(), kKitSounds);
    EXPECT_EQ(sound(3).Name(), "Snare");
    EXPECT_EQ(samplesOf(sound(3).Wave()), mixedWav(3).substr(44));

    // A kit with instruments still empty would stop every start that loads it: it is refused,
    // naming the first instrument without samples, before a file is asked for.
    save("Rock_kit.dxg", MessageResult::No);
    EXPECT_EQ(dialogs.errors.back(), "Wave 'Kick' has no samples.");
    EXPECT_EQ(dialogs.saveAnswers.size(), 1u);
    dialogs.saveAnswers.clear();
    dialogs.answers.clear();
    for (int tag = 1; tag <= 16; ++tag)
        if (tag != 3 && tag != 16)
            loadSample(tag, "any.wav", mixedWav(tag));
    save("Rock_kit.dxg", MessageResult::No);
    EXPECT_EQ(dialogs.errors.back(), "Wave 'Tamb' has no samples.");
    const std::string kit = folder.read("Rock_kit.dxg");

    // Complete, it saves and opens on a sound device like any kit.
    dialogs.saveAnswers.clear();
    dialogs.answers.clear();
    loadSample(16, "tamb.wav", mixedWav(16));
    save("Rock_kit.dxg", MessageResult::No);
    EXPECT_NE(folder.read("Rock_kit.dxg"), kit);
    TDXSoundForm form;
    TDXSound device(&form);
    TDXWaveList list;
    list.SetDXSound(&device);
    list.Items().LoadFromFile("Rock_kit.dxg");
    EXPECT_NO_THROW(device.Initialize());
    EXPECT_EQ(samplesOf(list.Items().Find("Tamb").Wave()), mixedWav(16).substr(44));

    // A kit without one of the names is refused by name too.
    TWaveCollection shortKit;
    makeKitLayout(shortKit);
    shortKit.Items(7).SetName("Tom 2");
    try {
        checkKitComplete(shortKit);
        FAIL() << "a kit without Tom2 passed";
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Wave 'Tom2' not found");
    }
}

TEST_F(KitMakerTest, ExtensibleAndPaddedFilesLoadAsThePcmTheyHold)
{
    window->Prepare(false);
    const auto value = [](int k, int c) { return (k * 37 + c * 11) % 200 + 1; };
    for (const int bits : {16, 8}) {
        const std::string plain = test::pcmWav(22050, bits, 2, 41, value);
        loadSample(bits == 16 ? 5 : 6, "edited.wav", test::extensibleWav(22050, bits, 2, 41, value));
        const TWave& wave = sound(bits == 16 ? 5 : 6).Wave();
        EXPECT_EQ(samplesOf(wave), plain.substr(44)) << bits;
    }
    EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(KitMakerTest, SavingOverAnOldKitAndUsingItAtOnce)
{
    window->Prepare(false);
    loadSample(1, "kick.wav", mixedWav(1));
    folder.write("old.dxg", "old kit");
    save("old.dxg", MessageResult::Yes);
    EXPECT_EQ(usedKits, std::vector<std::string>{folder.file("old.dxg")});
    TWaveCollection loaded;
    loaded.LoadFromFile(folder.file("old.dxg"));
    EXPECT_EQ(samplesOf(loaded.Items(1).Wave()), mixedWav(1).substr(44));

    // A save that cannot be written shows why and asks nothing.
    dialogs.saveAnswers.push_back(folder.file("missing/kit.dxg"));
    QTest::mouseClick(window->Save_library, Qt::LeftButton);
    ASSERT_EQ(dialogs.errors.size(), 1u);
    EXPECT_EQ(dialogs.errors[0].rfind("Cannot create file", 0), 0u) << dialogs.errors[0];
    EXPECT_EQ(dialogs.messages.size(), 2u); // the question, then the error box

    // A cancelled dialog saves nothing and asks nothing.
    dialogs.saveAnswers.push_back(std::nullopt);
    QTest::mouseClick(window->Save_library, Qt::LeftButton);
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

} // namespace
