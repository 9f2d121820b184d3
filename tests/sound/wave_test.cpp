// The sound layer's WAV images: the exact layout it writes, the chunk walk it reads with, and
// the block rule of the sample buffer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/files.h"
#include "support/full_disk.h"
#include "support/temp_folder.h"
#include "support/le_bytes.h"
#include "sound/wave.h"
#include "sound/wave_stream.h"

namespace groovane {
namespace {

using test::chunk;
using test::le32;
using test::readLe32;

std::string pcm16Format()
{
    WaveFormatEx f;
    MakePCMWaveFormat(f, 44100, 16, 1);
    return formatRecordBytes(f).substr(0, 16);
}

TWave loadBytes(const std::string& bytes)
{
    TWave wave;
    TMemoryStream stream(bytes);
    wave.LoadFromStream(stream);
    return wave;
}

TWave smallWave()
{
    TWave wave;
    const std::string format = pcm16Format();
    wave.SetFormatSize(16);
    std::memcpy(wave.Format(), format.data(), 16);
    wave.SetSize(4);
    const uint8_t samples[4] = {1, 2, 0xFE, 0xFF};
    std::memcpy(wave.Data(), samples, 4);
    return wave;
}

TEST(WaveImage, SavesTheDocumentedLayoutAndLoadsItBack)
{
    const TWave wave = smallWave();
    TMemoryStream stream;
    wave.SaveToStream(stream);
    const std::string& image = stream.Bytes();

    ASSERT_EQ(image.size(), 49u);
    EXPECT_EQ(image.substr(0, 4), "RIFF");
    EXPECT_EQ(readLe32(image, 4), 51u);
    EXPECT_EQ(image.substr(8, 8), "WAVEfmt ");
    EXPECT_EQ(readLe32(image, 16), 16u);
    EXPECT_EQ(image.substr(20, 16), pcm16Format());
    EXPECT_EQ(image.substr(36, 4), "data");
    EXPECT_EQ(readLe32(image, 40), 4u);
    EXPECT_EQ(image.substr(44, 4), std::string("\x01\x02\xFE\xFF", 4));
    EXPECT_EQ(image[48], '\0');
    EXPECT_EQ(stream.Position(), 49);

    TMemoryStream reread(image);
    TWave back;
    back.LoadFromStream(reread);
    EXPECT_EQ(back.FormatSize(), 16);
    EXPECT_EQ(back.Size(), 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(back.Data()), 4), image.substr(44, 4));
    EXPECT_EQ(back.PropertyBytes(), image);
}

TEST(WaveImage, WritesAtTheStreamPositionAndLeavesEarlierBytes)
{
    TMemoryStream stream(std::string("abc"));
    stream.Seek(0, soFromEnd);
    smallWave().SaveToStream(stream);
    EXPECT_EQ(stream.Bytes().size(), 52u);
    EXPECT_EQ(stream.Bytes().substr(0, 7), "abcRIFF");
    EXPECT_EQ(readLe32(stream.Bytes(), 7), 51u);

    // Loading from the same position reads the image that starts there.
    stream.SetPosition(3);
    TWave back;
    back.LoadFromStream(stream);
    EXPECT_EQ(back.Size(), 4);
    EXPECT_EQ(stream.Position(), 3 + 48);
}

TEST(WaveImage, EmptyWavesWriteNothingAndEmptyStreamsLoadEmpty)
{
    TWave empty;
    EXPECT_EQ(empty.PropertyBytes(), "");
    TWave formatOnly;
    formatOnly.SetFormatSize(18);
    EXPECT_EQ(formatOnly.PropertyBytes(), "");

    TWave loaded = smallWave();
    loaded.LoadPropertyBytes("");
    EXPECT_EQ(loaded.FormatSize(), 0);
    EXPECT_EQ(loaded.Size(), 0);
}

TEST(WaveImage, ChunkWalkTakesChunksInAnyOrderAndTheLaterOneWins)
{
    const std::string format = pcm16Format();
    // "data" before "fmt ", an unknown chunk between, a second "data" that wins.
    const std::string image = "RIFF" + le32(0) + "WAVE" + chunk("data", "wxyz") + chunk("junk", "12") +
                              chunk("fmt ", format) + chunk("data", "AB");
    const TWave wave = loadBytes(image);
    EXPECT_EQ(wave.FormatSize(), 16);
    EXPECT_EQ(std::memcmp(wave.Format(), format.data(), 16), 0);
    ASSERT_EQ(wave.Size(), 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(wave.Data()), 2), "AB");
}

TEST(WaveImage, OddChunkIsFollowedByItsPadByteOrByTheNextChunk)
{
    const std::string format = pcm16Format();
    // A 3-byte "LIST" chunk and its zero pad byte, as editors write them: the samples are found.
    const std::string padded = "RIFF" + le32(0) + "WAVE" + chunk("fmt ", format) + chunk("LIST", "abc") +
                               std::string(1, '\0') + chunk("data", "1234");
    const TWave wave = loadBytes(padded);
    EXPECT_EQ(wave.FormatSize(), 16);
    ASSERT_EQ(wave.Size(), 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(wave.Data()), 4), "1234");

    // A writer that leaves the pad out puts the next header straight after the third byte.
    const std::string unpadded =
        "RIFF" + le32(0) + "WAVE" + chunk("fmt ", format) + chunk("LIST", "abc") + chunk("data", "1234");
    EXPECT_EQ(loadBytes(unpadded).Size(), 4);

    // Odd samples of this layer's own image: its trailing zero byte is their pad, and the
    // image loads back whole.
    const TWave odd =
        loadBytes("RIFF" + le32(0) + "WAVE" + chunk("fmt ", format) + chunk("data", "12345") + std::string(1, '\0'));
    EXPECT_EQ(odd.Size(), 5);
    EXPECT_EQ(loadBytes(odd.PropertyBytes()).Size(), 5);
}

TEST(WaveImage, RefusesBadHeadersAndLeavesTheWaveEmpty)
{
    const std::string body = chunk("fmt ", pcm16Format()) + chunk("data", "1234");
    for (const std::string& image : {"RIFX" + le32(0) + "WAVE" + body, "RIFF" + le32(0) + "AVI " + body}) {
        TWave wave = smallWave();
        TMemoryStream stream(image);
        try {
            wave.LoadFromStream(stream);
            FAIL() << "accepted a bad header";
        } catch (const EWaveStreamError& e) {
            EXPECT_STREQ(e.what(), "Wave is invalid");
        }
        EXPECT_EQ(wave.FormatSize(), 0);
        EXPECT_EQ(wave.Size(), 0);
    }

    TWave wave = smallWave();
    TMemoryStream shortHeader(std::string("RIFF\0\0", 6));
    try {
        wave.LoadFromStream(shortHeader);
        FAIL() << "accepted a 6-byte header";
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    EXPECT_EQ(wave.Size(), 0);
}

TEST(WaveImage, LengthsBeyondTheStreamAreReadErrorsNotAllocations)
{
    const std::string format = pcm16Format();
    // A "data" chunk claiming 4 GB keeps the format; nothing is allocated for the samples.
    const std::string hugeData = "RIFF" + le32(0) + "WAVE" + chunk("fmt ", format) + "data" + le32(0xFFFFFFF0u) + "12";
    TWave wave;
    TMemoryStream stream(hugeData);
    EXPECT_THROW(wave.LoadFromStream(stream), EReadError);
    EXPECT_EQ(wave.FormatSize(), 16);
    EXPECT_EQ(wave.Capacity(), 0);

    const std::string hugeFormat = "RIFF" + le32(0) + "WAVE" + "fmt " + le32(0x7FFFFFFFu) + format;
    TMemoryStream stream2(hugeFormat);
    EXPECT_THROW(wave.LoadFromStream(stream2), EReadError);

    // A length that would step backwards if taken as signed is a long forward skip instead:
    // the walk ends rather than looping over the same header.
    const std::string backwards =
        "RIFF" + le32(0) + "WAVE" + chunk("fmt ", format) + "junk" + le32(0xFFFFFFF8u) + chunk("data", "12");
    const TWave walked = loadBytes(backwards);
    EXPECT_EQ(walked.Size(), 0);
}

TEST(WaveStream, ClampsReadsWritesAndSeeksToTheSamples)
{
    TMemoryStream host(smallWave().PropertyBytes());
    TWaveStream ws(host);
    uint8_t byte = 0;
    try {
        ws.Read(&byte, 1);
        FAIL() << "read before open";
    } catch (const EWaveStreamError& e) {
        EXPECT_STREQ(e.what(), "Stream not opend");
    }
    EXPECT_EQ(ws.GetSize(), 0);
    ws.Open(false);
    EXPECT_THROW(ws.Open(false), EWaveStreamError);
    EXPECT_EQ(ws.GetSize(), 4);

    EXPECT_EQ(ws.Seek(-1, soFromEnd), 3);
    uint8_t buffer[8] = {};
    EXPECT_EQ(ws.Read(buffer, 8), 1);
    EXPECT_EQ(buffer[0], 0xFF);
    EXPECT_EQ(ws.Seek(100, soFromBeginning), 4);
    EXPECT_EQ(ws.Seek(-100, soFromCurrent), 0);

    // In read mode a write never runs past the sample length (nor into the trailing byte).
    ws.Seek(2, soFromBeginning);
    EXPECT_EQ(ws.Write("QRST", 4), 2);
    EXPECT_EQ(host.Bytes().substr(44, 5), std::string("\x01\x02QR\0", 5));
}

TEST(WaveStream, RefusesToWriteWithoutAFormat)
{
    TMemoryStream host;
    TWaveStream ws(host);
    try {
        ws.Open(true);
        FAIL() << "opened for writing without a format";
    } catch (const EWaveStreamError& e) {
        EXPECT_STREQ(e.what(), "Format is invalid");
    }
    EXPECT_EQ(host.Bytes(), "");
}

TEST(WaveBuffer, HoldsExactlyItsSamples)
{
    TWave wave;
    wave.SetSize(1);
    EXPECT_EQ(wave.Capacity(), 1);
    wave.SetSize(100);
    EXPECT_EQ(wave.Capacity(), 100);
    wave.Data()[99] = 42;
    wave.SetSize(8097);
    EXPECT_EQ(wave.Size(), 8097);
    EXPECT_EQ(wave.Capacity(), 8097);
    EXPECT_EQ(wave.Data()[99], 42);
    EXPECT_EQ(wave.Data()[8096], 0);
    wave.SetSize(100);
    EXPECT_EQ(wave.Capacity(), 100) << "shrinking gives the memory back";
    EXPECT_EQ(wave.Data()[99], 42);
    wave.SetSize(-5);
    EXPECT_EQ(wave.Size(), 0);
    EXPECT_EQ(wave.Capacity(), 0);
}

TEST(WaveBuffer, AssignCopiesAndSelfAssignKeeps)
{
    TWave source = smallWave();
    TWave copy;
    copy.Assign(&source);
    source.Data()[0] = 99;
    EXPECT_EQ(copy.Data()[0], 1);
    EXPECT_EQ(copy.PropertyBytes().size(), 49u);
    copy.Assign(&copy);
    EXPECT_EQ(copy.Size(), 4);
    copy.Assign(nullptr);
    EXPECT_EQ(copy.Size(), 0);
    EXPECT_EQ(copy.FormatSize(), 0);
}

TEST(WaveFormat, MakePcmFormatComputesAlignmentAndRate)
{
    WaveFormatEx f;
    MakePCMWaveFormat(f, 22100, 8, 2);
    EXPECT_EQ(f.nBlockAlign, 2);
    EXPECT_EQ(f.nAvgBytesPerSec, 44200u);
    MakePCMWaveFormat(f, 44100, 16, 2);
    EXPECT_EQ(f.nBlockAlign, 4);
    EXPECT_EQ(f.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(f.wFormatTag, 1);
    EXPECT_EQ(f.cbSize, 0);
    const std::string bytes = formatRecordBytes(f);
    ASSERT_EQ(bytes.size(), 18u);
    EXPECT_EQ(readLe32(bytes, 4), 44100u);
    const WaveFormatEx back = formatRecordFromBytes(reinterpret_cast<const uint8_t*>(bytes.data()), 18);
    EXPECT_EQ(back.nAvgBytesPerSec, 176400u);
}

TEST(WaveFile, SavesAndLoadsThroughFilesFoundWithoutRegardToCase)
{
    test::TempFolder folder;
    smallWave().SaveToFile(folder.file("Hit.wav"));
    TWave back;
    back.LoadFromFile(folder.file("hit.WAV"));
    EXPECT_EQ(back.Size(), 4);
    EXPECT_THROW(back.LoadFromFile(folder.file("missing.wav")), EFileError);

    TWaveFileStream file(folder.file("HIT.wav"), FileMode::OpenRead);
    file.Open(false);
    EXPECT_EQ(file.GetSize(), 4);
}

// A save the disk cannot hold raises instead of leaving a short file, and the old file stays:
// a wave small enough to wait whole in a write buffer until the file is closed, one larger
// than the room left, and one whose bytes cannot be flushed to the disk.
TEST(WaveFile, ASaveTheDiskCannotHoldRaisesAndKeepsTheOldFile)
{
    test::TempFolder folder;
    folder.write("Hit.wav", "the old hit");
    test::FullDisk disk(test::FullDiskKind::FileSizeLimit, folder.path(), 1000);
    for (const int32_t size : {2000, 64 * 1024, 0}) {
        TWave wave = smallWave();
        if (size > 0) {
            wave.SetSize(size);
            disk.fill();
        } else {
            setWriteFaultsForTesting({-1, true});
        }
        const std::string error = test::errorOf([&] { wave.SaveToFile(folder.file("HIT.wav")); });
        disk.clear();
        setWriteFaultsForTesting({});
        EXPECT_EQ(error, "Stream write error") << size;
        EXPECT_EQ(folder.read("Hit.wav"), "the old hit") << size;
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()), std::filesystem::directory_iterator()),
              1);
}

} // namespace
} // namespace groovane
