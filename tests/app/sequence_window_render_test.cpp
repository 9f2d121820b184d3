// Render from the main window on the default kit: the save dialog, the file written, the play
// buttons, progress bar and step list given back after a finished, cancelled, stopped or refused
// render, Render ignored while one runs, and what stops a render and what does not.
#include "platform/exception.h"
#include "support/le_bytes.h"
#include "platform/line_buffer.h"
#include "song/play_list.h"
#include "render/render_window.h"
#include "support/scripted_dialogs.h"
#include "app/sequence_window.h"
#include "support/sequence_window_access.h"
#include "support/working_folder.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

using namespace groovane;

namespace {

// Left channel of frame `frame` of a 16-bit stereo WAV file with the 44-byte header.
int leftSample(const std::string& bytes, size_t frame)
{
    const size_t at = 44 + frame * 4;
    if (at + 1 >= bytes.size())
        return 0;
    return static_cast<int16_t>(static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8);
}

} // namespace

class SequenceRenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder.write("Beat.pat", kickPattern());
        window = std::make_unique<TSequence>();
        ui = &controlsOf(*window);
        window->FormCreate();
        form.setHost(RenderHost{window.get(), ui->ProgressBar1, ui->BitBtn3, ui->BitBtn12, &window->MainPlay,
                                [this] { return window->BaseFolder; }, [this] { return window->renderSounds(); },
                                [this] { return window->isRenderStopRequested(); }});
        window->runRender = [this] {
            ++renders;
            form.Button1Click(&form);
        };
        PlayList list;
        list.append("Beat");
        window->showSongList(list);
    }

    // Four steps at tempo 60 with a kick on every step.
    static std::string kickPattern()
    {
        std::vector<std::string> lines{"Beat", "Length:", "4", "Time:", "4", "", ""};
        lines.insert(lines.end(), {"", "Channel:1", "Channel:2", "Channel:3", "Channel:4", "Channel:5", "Channel:6"});
        for (int step = 1; step <= 5; ++step) {
            lines.push_back(step <= 4 ? std::to_string(step) + ":x" : "");
            for (int channel = 1; channel <= 6; ++channel)
                lines.push_back(step <= 4 && channel == 1 ? "Kick" : "");
        }
        lines.push_back("60");
        lines.push_back("1");
        return LineBuffer::joinLines(lines);
    }

    void expectIdle()
    {
        EXPECT_TRUE(ui->BitBtn3->isEnabled());
        EXPECT_TRUE(ui->BitBtn12->isEnabled());
        EXPECT_TRUE(window->MainPlay.empty());
        EXPECT_FALSE(ui->ProgressBar1->isVisible());
        EXPECT_FALSE(form.isVisible());
    }

    test::WorkingFolder folder;
    test::ScriptedDialogs dialogs;
    std::unique_ptr<TSequence> window;
    TSequenceControls* ui = nullptr; // the window's controls
    TForm1 form;
    int renders = 0;
};

TEST_F(SequenceRenderTest, RenderWritesEveryKickOfTheSongAndGivesTheButtonsBack)
{
    dialogs.saveAnswers.push_back(folder.file("song.wav"));
    window->RendorClick(ui->Rendor);

    ASSERT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(dialogs.fileDialogs[0].title, "Save As One Big Lovely WAV File");
    EXPECT_TRUE(dialogs.fileDialogs[0].overwritePrompt);
    const std::string bytes = folder.read("song.wav");
    ASSERT_GT(bytes.size(), 44u + 3 * 5292 * 4);
    // The kit's kick is heard at every step (its exact frames are the render walk's own tests).
    for (size_t step = 0; step < 4; ++step) {
        int loudest = 0;
        for (size_t f = 0; f < 200; ++f)
            loudest = std::max(loudest, std::abs(leftSample(bytes, step * 5292 + f)));
        EXPECT_GT(loudest, 0) << step;
    }
    EXPECT_EQ(form.Label2->text(), "Kick");
    expectIdle();
}

TEST_F(SequenceRenderTest, WithoutAKitTheRenderIsRefusedBeforeItStarts)
{
    // No "Rock_kit.dxg" at start leaves the kit empty: a render of it would be silence.
    window->DXWaveList1.Items().Clear();
    dialogs.saveAnswers.push_back(folder.file("song.wav"));
    ui->Rendor->click();
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"List index out of bounds (0)"});
    EXPECT_TRUE(dialogs.fileDialogs.empty());
    EXPECT_EQ(renders, 0);
    EXPECT_FALSE(std::filesystem::exists(folder.file("song.wav")));
    dialogs.saveAnswers.clear();
}

TEST_F(SequenceRenderTest, CancelledDialogWritesNothing)
{
    dialogs.saveAnswers.push_back(std::nullopt);
    window->RendorClick(ui->Rendor);
    EXPECT_FALSE(std::filesystem::exists(folder.file("song.wav")));
    expectIdle();

    // An empty play list does not even ask.
    window->showSongList(PlayList{});
    window->RendorClick(ui->Rendor);
    EXPECT_EQ(dialogs.fileDialogs.size(), 1u);
    EXPECT_EQ(renders, 1);
}

TEST_F(SequenceRenderTest, StopDuringTheRenderLeavesAValidFileAndRenderIsIgnoredMeanwhile)
{
    dialogs.saveAnswers.push_back(folder.file("song.wav"));
    // Runs while the render lets window messages through after its first line.
    // Render, Play Song and Play Pattern (still live in the menu) are ignored meanwhile.
    bool wasPlaying = true;
    QTimer::singleShot(0, window.get(), [this, &wasPlaying] {
        window->RendorClick(ui->Rendor);
        window->BitBtn12Click(ui->BitBtn12);
        window->BitBtn3Click(ui->BitBtn3);
        wasPlaying = window->DXTimer1.Enabled() || window->DXTimer2.Enabled();
        window->BitBtn4Click(ui->BitBtn4);
    });
    window->RendorClick(ui->Rendor);

    EXPECT_EQ(renders, 1);
    EXPECT_FALSE(wasPlaying);
    const std::string bytes = folder.read("song.wav");
    ASSERT_GE(bytes.size(), 44u);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.size() - 44,
              static_cast<size_t>(static_cast<unsigned char>(bytes[40]) | static_cast<unsigned char>(bytes[41]) << 8 |
                                  static_cast<unsigned char>(bytes[42]) << 16));
    expectIdle();
}

TEST_F(SequenceRenderTest, RefusedOutputGivesTheButtonsBackBeforeTheMessage)
{
    folder.write("song.wav", "earlier");
    dialogs.saveAnswers.push_back(folder.file("work1.tmp"));
    EXPECT_THROW(window->RendorClick(ui->Rendor), Exception);
    expectIdle();

    dialogs.saveAnswers.push_back(folder.file("song.wav"));
    window->RendorClick(ui->Rendor);
    EXPECT_EQ(renders, 2);
    EXPECT_NE(folder.read("song.wav"), "earlier");
}

TEST_F(SequenceRenderTest, SaveSongAndOpenSongDuringTheRenderDoNotStopIt)
{
    dialogs.saveAnswers.push_back(folder.file("whole.wav"));
    window->RendorClick(ui->Rendor);

    // Both enable Play Pattern while the render lets window messages through.
    dialogs.saveAnswers.push_back(folder.file("song.wav"));
    dialogs.saveAnswers.push_back(folder.file("Beat.sng"));
    dialogs.openAnswers.push_back(folder.file("Beat.sng"));
    QTimer::singleShot(0, window.get(), [this] {
        window->BitBtn9Click();
        window->BitBtn8Click();
    });
    window->RendorClick(ui->Rendor);

    EXPECT_TRUE(dialogs.errors.empty());
    EXPECT_EQ(folder.read("song.wav"), folder.read("whole.wav"));
    expectIdle();
}

TEST_F(SequenceRenderTest, ClearListAndClosingTheWindowStopTheRender)
{
    dialogs.saveAnswers.push_back(folder.file("whole.wav"));
    window->RendorClick(ui->Rendor);
    const size_t whole = folder.read("whole.wav").size();

    int stopped = 0;
    for (const auto& stop : std::vector<std::function<void()>>{[this] { window->BitBtn10Click(); },
                                                               [this] {
                                                                   // Clear List left the song changed: closing asks.
                                                                   dialogs.answers.push_back(MessageResult::No);
                                                                   window->close();
                                                               }}) {
        PlayList list;
        list.append("Beat");
        window->showSongList(list);
        dialogs.saveAnswers.push_back(folder.file("part.wav"));
        QTimer::singleShot(0, window.get(), stop);
        window->RendorClick(ui->Rendor);

        const std::string bytes = folder.read("part.wav");
        ASSERT_GE(bytes.size(), 44u);
        EXPECT_LT(bytes.size(), whole) << stopped;
        EXPECT_EQ(test::readLe32(bytes, 40), bytes.size() - 44) << stopped;
        expectIdle();
        ++stopped;
    }
    EXPECT_TRUE(dialogs.errors.empty());
}
