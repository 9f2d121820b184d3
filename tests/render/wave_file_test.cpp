// Reading and writing WAV files: the fixed header, the chunk walk and what hostile files do.
#include "wav_bytes.h"

#include "platform/files.h"
#include "support/full_disk.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace groovane;
using namespace groovane::test;
using groovane::wavaudio::TWave;

namespace {

class WaveFileTest : public ::testing::Test {
protected:
    TempFolder dir;
    TWave wave;
};

TEST_F(WaveFileTest, NewWaveSavesAsTheFixed44ByteHeader)
{
    wave.SaveToFile(dir.file("out.wav"));
    const std::string expected = "RIFF" + le32(36) + "WAVE" + "fmt " + le32(16) + le16(1) + le16(2) + le32(44100) +
                                 le32(176400) + le16(4) + le16(16) + "data" + le32(0);
    ASSERT_EQ(expected.size(), 44u);
    EXPECT_EQ(dir.read("out.wav"), expected);
}

TEST_F(WaveFileTest, PlainFileRoundTripsByteForByte)
{
    const std::string file = wav16(1, 22050, {1, -1, 32767, -32768, 0});
    loadBytes(wave, dir, file);
    EXPECT_EQ(wave.FrameCount(), 5);
    EXPECT_EQ(wave.Format().channels(), 1);
    EXPECT_EQ(wave.Format().sampleRate(), 22050u);
    EXPECT_DOUBLE_EQ(wave.Duration(), 5.0 / 22050);
    EXPECT_EQ(allSamples(wave), (std::vector<int>{1, -1, 32767, -32768, 0}));

    wave.SaveToFile(dir.file("OUT.wav"));
    EXPECT_EQ(dir.read("OUT.wav"), file);
    // Saving again replaces the file rather than appending to it.
    wave.SaveToFile(dir.file("out.wav"));
    EXPECT_EQ(dir.read("OUT.wav"), file);
}

TEST_F(WaveFileTest, SoundLayerImageWithRiffSizePastTheDataLoadsWhole)
{
    // An 18-byte format record, a RIFF size that runs past the data chunk and one extra zero
    // byte at the end: the walk must skip the 2 extra format bytes and stop cleanly at the end.
    const std::string body = samples16({100, -100, 200, -200, 300, -300});
    const std::string chunks = chunk("fmt ", fmtBody(2, 44100, 16) + le16(0)) + chunk("data", body);
    loadBytes(wave, dir, riff(static_cast<std::uint32_t>(4 + chunks.size() + 9), chunks) + std::string(1, '\0'));
    EXPECT_EQ(wave.FrameCount(), 3);
    EXPECT_EQ(allSamples(wave), (std::vector<int>{100, -100, 200, -200, 300, -300}));
}

TEST_F(WaveFileTest, ShortFormatChunkFillsOnlyTheLeadingFields)
{
    // Tag and channel count only: the rate, block align and bits keep the defaults.
    loadBytes(wave, dir, riff(chunk("fmt ", le16(1) + le16(1)) + chunk("data", samples16({7, 8}))));
    EXPECT_EQ(wave.Format().channels(), 1);
    EXPECT_EQ(wave.Format().sampleRate(), 44100u);
    EXPECT_EQ(wave.Format().blockAlign(), 4);
    EXPECT_EQ(wave.FrameCount(), 1);
}

TEST_F(WaveFileTest, ChunkWalkSkipsPadBytesAndTheLastDataChunkWins)
{
    // An odd-sized chunk followed by its zero pad byte, and one written without it.
    for (const std::string& pad : {std::string(1, '\0'), std::string()}) {
        const std::string chunks = chunk("fmt ", fmtBody(1, 8000, 16)) + chunk("data", samples16({1, 2, 3})) +
                                   chunk("LIST", "abc") + pad + chunk("data", samples16({9, 8}));
        loadBytes(wave, dir, riff(chunks));
        EXPECT_EQ(allSamples(wave), (std::vector<int>{9, 8})) << pad.size();
        EXPECT_EQ(wave.Data().size(), 4u);
    }
}

TEST_F(WaveFileTest, FrameCountUsesTheBlockAlignKnownWhenTheDataArrives)
{
    // Data before the format chunk is counted with the default 4 bytes per frame.
    loadBytes(wave, dir, riff(chunk("data", samples16({1, 2, 3, 4})) + chunk("fmt ", fmtBody(1, 8000, 16))));
    EXPECT_EQ(wave.Format().blockAlign(), 2);
    EXPECT_EQ(wave.FrameCount(), 2);
}

TEST_F(WaveFileTest, FrameCountRoundsPartialFramesHalfToEven)
{
    const struct {
        std::string data;
        std::int32_t frames;
    } cases[] = {{"ab", 0}, {"abcdef", 2}, {"abcdefghij", 2}, {"abcdefghijklmn", 4}, {"abcde", 1}};
    for (const auto& c : cases) {
        loadBytes(wave, dir, riff(chunk("data", c.data)));
        EXPECT_EQ(wave.FrameCount(), c.frames) << c.data.size() << " bytes";
        // Bytes beyond the counted frames are not read.
        EXPECT_EQ(wave.GetSample(0, c.frames), 0) << c.data.size() << " bytes";
    }
    // The missing byte of the last, partial sample reads as zero.
    loadBytes(wave, dir, riff(chunk("data", samples16({5, 6, 7}) + "\x02")));
    EXPECT_EQ(wave.FrameCount(), 2);
    EXPECT_EQ(wave.GetSample(1, 1), 2);
}

TEST_F(WaveFileTest, OpenAndCreateFailuresNameThePath)
{
    const std::string missing = dir.file("missing.wav");
    try {
        wave.LoadFromFile(missing);
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot open file " + missing);
    }
    const std::string noFolder = dir.file("no/such/folder.wav");
    try {
        wave.SaveToFile(noFolder);
        FAIL() << "no error";
    } catch (const EFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + noFolder);
    }
}

TEST_F(WaveFileTest, ASaveTheDiskCannotHoldRaisesAndKeepsTheOldFile)
{
    // In memory and from the scratch file; a full disk, and bytes that cannot be flushed.
    dir.write("song.wav", "the user's earlier song");
    loadBytes(wave, dir, riff(chunk("fmt ", fmtBody(1, 44100, 16)) + chunk("data", std::string(8000, '\x01'))));
    wave.SetScratchFileName(dir.file("work1.tmp"));
    FullDisk disk(FullDiskKind::FileSizeLimit, dir.path(), 1000);
    for (const bool scratch : {false, true}) {
        wave.SetScratchMode(scratch);
        for (const bool flushFails : {false, true}) {
            if (flushFails)
                setWriteFaultsForTesting({-1, true});
            else
                disk.fill();
            const std::string error = errorOf([&] { wave.SaveToFile(dir.file("Song.WAV")); });
            disk.clear();
            setWriteFaultsForTesting({});
            EXPECT_EQ(error, "Stream write error") << scratch << flushFails;
            EXPECT_EQ(dir.read("song.wav"), "the user's earlier song") << scratch << flushFails;
        }
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 3);
}

TEST_F(WaveFileTest, RandomlyDamagedFilesLoadOrFailCleanly)
{
    // Seeded, so every run damages the same bytes; a damaged file must load (and mix) or raise
    // "Stream read error", never crash, hang or allocate what a size field claims.
    const std::string good = riff(chunk("fmt ", fmtBody(2, 22050, 16) + le16(0)) + chunk("LIST", "abcde") +
                                  chunk("data", samples16({1, -2, 300, -400, 5000, -6000, 32767, -32768})));
    std::uint32_t seed = 7;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int round = 0; round < 1500; ++round) {
        std::string bytes = good;
        for (int hits = 1 + next() % 4; hits > 0; --hits) {
            const std::size_t at = next() % bytes.size();
            switch (next() % 3) {
            case 0:
                bytes[at] = static_cast<char>(next());
                break;
            case 1:
                bytes.resize(at);
                break;
            default:
                bytes[at] = static_cast<char>(0xff);
                break;
            }
            if (bytes.empty())
                break;
        }
        TWave damaged;
        TWave out;
        try {
            loadBytes(damaged, dir, bytes);
        } catch (const EStreamError& e) {
            EXPECT_STREQ(e.what(), "Stream read error");
        }
        out.Mix(damaged, 44100, 1.0, 0.0, 0.0);
        EXPECT_LE(static_cast<std::size_t>(out.FrameCount()), 4 * bytes.size()) << "round " << round;
    }
}

// The bad-input corpus: files that are not WAV files, are cut short or lie about their sizes.
// Each is refused, read as far as it goes or reported as a read error; none crashes, hangs or
// allocates what a size field claims.
enum class Outcome { Unchanged, StreamReadError, Loads };

struct BadFile {
    const char* name;
    std::string bytes;
    Outcome outcome;
    std::int32_t frames = 0; // FrameCount after a load
};

void PrintTo(const BadFile& file, std::ostream* os)
{
    *os << file.name;
}

class BadInputTest : public ::testing::TestWithParam<BadFile> {
protected:
    TempFolder dir;
};

TEST_P(BadInputTest, IsRefusedReadAsFarAsItGoesOrReported)
{
    const BadFile& file = GetParam();
    TWave wave;
    loadBytes(wave, dir, wav16(2, 44100, {11, 22, 33, 44}), "before.wav");
    dir.write("bad.wav", file.bytes);
    switch (file.outcome) {
    case Outcome::Unchanged:
        wave.LoadFromFile(dir.file("bad.wav"));
        EXPECT_EQ(wave.FrameCount(), 2);
        EXPECT_EQ(allSamples(wave), (std::vector<int>{11, 22, 33, 44}));
        EXPECT_EQ(wave.Format().sampleRate(), 44100u);
        break;
    case Outcome::StreamReadError:
        try {
            wave.LoadFromFile(dir.file("bad.wav"));
            FAIL() << "no error";
        } catch (const EStreamError& e) {
            EXPECT_STREQ(e.what(), "Stream read error");
        }
        EXPECT_EQ(wave.FrameCount(), 2) << "the frame count from before stays";
        break;
    case Outcome::Loads:
        wave.LoadFromFile(dir.file("bad.wav"));
        EXPECT_EQ(wave.FrameCount(), file.frames);
        break;
    }
}

const std::string kFmt = chunk("fmt ", fmtBody(2, 44100, 16));
const std::string kData = chunk("data", samples16({1, 2, 3, 4, 5, 6}));

INSTANTIATE_TEST_SUITE_P(
    Corpus, BadInputTest,
    ::testing::Values(
        BadFile{"empty", "", Outcome::Unchanged},
        BadFile{"text", "This is not a wave file at all, just some text.\r\n", Outcome::Unchanged},
        BadFile{"riff_cut_in_header", "RIFF\x10\0", Outcome::Unchanged},
        BadFile{"riff_not_wave", "RIFF" + le32(16) + "AVI " + kFmt, Outcome::Unchanged},
        BadFile{"wave_without_riff", "RIFX" + le32(40) + "WAVE" + kFmt + kData, Outcome::Unchanged},
        BadFile{"no_chunks", riff(""), Outcome::Unchanged},
        BadFile{"riff_size_zero", riff(0, kFmt + kData), Outcome::Unchanged},
        BadFile{"riff_size_ends_before_data", riff(4 + static_cast<std::uint32_t>(kFmt.size()), kFmt + kData),
                Outcome::Unchanged},
        BadFile{"riff_size_far_past_the_end", riff(0xffffffffu, kFmt + kData), Outcome::Loads, 3},
        BadFile{"chunk_header_cut_short", riff(kFmt + kData + "LIS"), Outcome::Loads, 3},
        BadFile{"huge_unknown_chunk", riff(0xffffffffu, kFmt + chunkClaiming("junk", 0xffffffffu, "xyz") + kData),
                Outcome::Unchanged},
        BadFile{"data_claims_4_gigabytes", riff(kFmt + chunkClaiming("data", 0xfffffff0u, samples16({1, 2}))),
                Outcome::StreamReadError},
        BadFile{"data_cut_short", riff(kFmt + chunkClaiming("data", 12, samples16({1, 2, 3}))),
                Outcome::StreamReadError},
        BadFile{"fmt_cut_short", riff(chunkClaiming("fmt ", 16, le16(1) + le16(1) + "\x44")), Outcome::StreamReadError},
        BadFile{"block_align_zero",
                riff(chunk("fmt ", le16(1) + le16(2) + le32(44100) + le32(0) + le16(0) + le16(16)) + kData),
                Outcome::Loads, 0}));

} // namespace
