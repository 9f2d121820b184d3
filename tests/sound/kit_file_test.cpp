// Kits as collections and as files: look-up by name through the hash, the kit file layout byte
// for byte, and damaged kit and WAV files, which must each give a clean error.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "support/temp_folder.h"
#include "support/le_bytes.h"
#include "sound/wave.h"
#include "sound/wave_collection.h"
#include "sound/wave_collection_component.h"

namespace groovane {
namespace {

using test::chunk;
using test::le32;
using test::readLe32;

TWave twoByteWave()
{
    TWave wave;
    WaveFormatEx f;
    MakePCMWaveFormat(f, 44100, 16, 1);
    wave.SetFormatSize(16);
    std::memcpy(wave.Format(), formatRecordBytes(f).data(), 16);
    wave.SetSize(2);
    wave.Data()[0] = 0x34;
    wave.Data()[1] = 0x12;
    return wave;
}

TEST(HashCollection, BucketFollowsTheNameRule)
{
    EXPECT_EQ(THashCollectionItem::BucketOf(""), 0);
    EXPECT_EQ(THashCollectionItem::BucketOf("a"), 16);
    // "kick": 16 * 4 + 'k' + 'c' = 64 + 107 + 99 = 270 -> 14; case does not matter.
    EXPECT_EQ(THashCollectionItem::BucketOf("kick"), 14);
    EXPECT_EQ(THashCollectionItem::BucketOf("KICK"), 14);
}

TEST(HashCollection, FindsWithoutRegardToCaseAndPrefersTheLatestName)
{
    TWaveCollection kit;
    TWaveCollectionItem& first = kit.Add();
    first.SetName("Kick");
    TWaveCollectionItem& snare = kit.Add();
    snare.SetName("Snare");
    EXPECT_EQ(&kit.Find("kick"), &first);
    EXPECT_EQ(&kit.Find("SNARE"), &snare);

    TWaveCollectionItem& second = kit.Add();
    second.SetName("Kick");
    EXPECT_EQ(&kit.Find("Kick"), &second);
    first.SetName("Kick"); // the same name again: no change of order
    EXPECT_EQ(&kit.Find("Kick"), &second);
    second.SetName("Tom1");
    EXPECT_EQ(&kit.Find("Kick"), &first);
    EXPECT_EQ(&kit.Find("tom1"), &second);

    try {
        kit.Find("Cowbell");
        FAIL() << "found a missing name";
    } catch (const EWaveCollectionError& e) {
        EXPECT_STREQ(e.what(), "Wave 'Cowbell' not found");
    }
}

TEST(HashCollection, DeletingKeepsIndexesAndChainsRight)
{
    TWaveCollection kit;
    for (const char* name : {"A1", "B1", "A1x", "C1"})
        kit.Add().SetName(name);
    kit.Delete(1);
    ASSERT_EQ(kit.Count(), 3);
    for (int i = 0; i < kit.Count(); ++i)
        EXPECT_EQ(kit.Items(i).Index(), i);
    EXPECT_EQ(kit.Find("c1").Index(), 2);
    EXPECT_THROW(kit.Find("B1"), EWaveCollectionError);
    EXPECT_THROW(kit.Items(3), EListError);
    kit.Delete(0);
    EXPECT_EQ(kit.Find("A1X").Index(), 0);
}

TEST(KitFile, OneNamedSoundHasTheDocumentedLayout)
{
    TWaveCollection kit;
    TWaveCollectionItem& kick = kit.Add();
    kick.SetName("Kick");
    kick.SetWave(twoByteWave());
    const std::string bytes = kit.KitBytes();

    ASSERT_EQ(bytes.size(), 153u);
    EXPECT_EQ(bytes.substr(0, 3), std::string("\xFF\x0A\x00", 3));
    EXPECT_EQ(bytes.substr(3, 22), std::string("DRUMKITWAVECOLLECTION\0", 22));
    EXPECT_EQ(bytes.substr(25, 2), std::string("\x30\x10", 2));
    EXPECT_EQ(readLe32(bytes, 27), 122u);
    EXPECT_EQ(bytes.substr(31, 36), std::string("TPF0\x18TWaveCollectionComponent\0\x04List\x0E", 36));
    const std::string item = bytes.substr(67, 83);
    EXPECT_EQ(item.substr(0, 31), std::string("\x01\x04Name\x06\x04Kick\x06Looped\x08\x09Wave.WAVE\x0A", 31));
    EXPECT_EQ(readLe32(item, 31), 47u);
    EXPECT_EQ(item.substr(35, 47), kick.Wave().PropertyBytes());
    EXPECT_EQ(item[82], '\0');
    EXPECT_EQ(bytes.substr(150), std::string(3, '\0'));
}

TEST(KitFile, UnnamedLoopedEmptySoundIsWrittenWithoutAName)
{
    TWaveCollection kit;
    kit.Add().SetLooped(true);
    const std::string bytes = kit.KitBytes();
    EXPECT_EQ(bytes.substr(67),
              std::string("\x01\x06Looped\x09\x09Wave.WAVE\x0A\0\0\0\0\0", 25) + std::string(3, '\0'));

    TWaveCollection back;
    TMemoryStream stream(bytes);
    back.LoadFromStream(stream);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_TRUE(back.Items(0).Looped());
    EXPECT_EQ(back.Items(0).Name(), "");
    EXPECT_EQ(back.Items(0).Wave().Size(), 0);
}

TEST(KitFile, SeventeenSoundsRoundTripByteForByte)
{
    TWaveCollection kit;
    kit.Add().SetWave(twoByteWave());
    for (int i = 1; i <= 16; ++i) {
        TWaveCollectionItem& item = kit.Add();
        item.SetName("Sound" + std::to_string(i));
        item.SetWave(twoByteWave());
    }
    // A name of 300 bytes goes out as a long string.
    kit.Items(16).SetName(std::string(300, 'x'));
    const std::string bytes = kit.KitBytes();

    size_t names = 0;
    for (size_t at = bytes.find("\x04Name"); at != std::string::npos; at = bytes.find("\x04Name", at + 1))
        ++names;
    EXPECT_EQ(names, 16u);

    TWaveCollection back;
    TMemoryStream stream(bytes);
    back.LoadFromStream(stream);
    ASSERT_EQ(back.Count(), 17);
    EXPECT_EQ(back.Items(0).Name(), "");
    EXPECT_EQ(back.Items(3).Name(), "Sound3");
    EXPECT_EQ(back.Items(16).Name().size(), 300u);
    EXPECT_EQ(back.Find("sound5").Wave().Size(), 2);
    EXPECT_EQ(back.KitBytes(), bytes);
}

TEST(KitFile, ReadsAnIntegerBeforeAnItemAndIgnoresIt)
{
    TWaveCollection kit;
    kit.Add().SetName("Kick");
    std::string bytes = kit.KitBytes();
    // Insert a 16-bit integer value (tag 3) in front of the item start.
    bytes.insert(67, std::string("\x03\x07\x00", 3));
    TWaveCollection back;
    TMemoryStream stream(bytes);
    back.LoadFromStream(stream);
    ASSERT_EQ(back.Count(), 1);
    EXPECT_EQ(back.Items(0).Name(), "Kick");
}

TEST(KitFile, LoadingReplacesTheItemsAndSavesThroughFiles)
{
    test::TempFolder folder;
    TWaveCollection kit;
    kit.Add().SetName("Kick");
    kit.SaveToFile(folder.file("Mine.dxg"));
    TWaveCollection other;
    other.Add().SetName("Old1");
    other.Add().SetName("Old2");
    other.LoadFromFile(folder.file("MINE.DXG"));
    ASSERT_EQ(other.Count(), 1);
    EXPECT_EQ(other.Items(0).Name(), "Kick");
    EXPECT_THROW(other.LoadFromFile(folder.file("none.dxg")), EFileError);
}

TEST(KitFile, BadHeaderEmptiesTheCollectionAndKeepsWhatWasReadOnTruncation)
{
    TWaveCollection kit;
    kit.Add().SetName("Kick");
    kit.Add().SetName("Snare");
    std::string bytes = kit.KitBytes();

    TWaveCollection target;
    target.Add().SetName("Old");
    std::string bad = bytes;
    bad[0] = char(0xFE);
    TMemoryStream badStream(bad);
    try {
        target.LoadFromStream(badStream);
        FAIL() << "accepted a bad header";
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Invalid stream format");
    }
    EXPECT_EQ(target.Count(), 0);

    // Cut inside the second item: the first stays.
    const size_t secondItem = bytes.find("\x05Snare") - 7;
    TMemoryStream truncated(bytes.substr(0, secondItem + 10));
    try {
        target.LoadFromStream(truncated);
        FAIL() << "accepted a truncated kit";
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
    ASSERT_EQ(target.Count(), 2);
    EXPECT_EQ(target.Items(0).Name(), "Kick");
}

// A kit file made of `count` copies of one sound with two sample bytes.
std::string kitOfTinySounds(size_t count)
{
    TWaveCollection one;
    one.Add().SetWave(twoByteWave());
    const std::string bytes = one.KitBytes();
    const std::string item = bytes.substr(67, bytes.size() - 67 - 3);
    std::string kit = bytes.substr(0, 67);
    kit.reserve(67 + count * item.size() + 3);
    for (size_t i = 0; i < count; ++i)
        kit += item;
    kit += std::string(3, '\0');
    return kit.replace(27, 4, le32(uint32_t(kit.size() - 31)));
}

int64_t sampleBytesHeld(const TWaveCollection& kit)
{
    int64_t held = 0;
    for (int i = 0; i < kit.Count(); ++i)
        held += kit.Items(i).Wave().Capacity();
    return held;
}

TEST(KitFile, SoundsCostTheirOwnBytesAndAKitHoldsAtMost1024)
{
    TWaveCollection kit;
    TMemoryStream full(kitOfTinySounds(kMaxKitSounds));
    kit.LoadFromStream(full);
    ASSERT_EQ(kit.Count(), kMaxKitSounds);
    EXPECT_EQ(sampleBytesHeld(kit), 2 * kMaxKitSounds) << "a sound holds its samples, not a block";
    EXPECT_TRUE(kit.KitBytes() == full.Bytes()) << "loads and saves back byte for byte";

    // Ten megabytes of tiny sounds: refused at the first sound past the limit, having made
    // nothing for it or for any later one.
    const std::string huge = kitOfTinySounds(10 * 1024 * 1024 / 72);
    ASSERT_GE(huge.size(), 10u * 1024 * 1024);
    TMemoryStream stream(huge);
    try {
        kit.LoadFromStream(stream);
        FAIL() << "accepted " << huge.size() << " bytes of sounds";
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Kit has too many sounds: a kit holds at most 1024 sounds");
    }
    EXPECT_EQ(kit.Count(), kMaxKitSounds) << "the sounds read before the failure stay";
    EXPECT_EQ(sampleBytesHeld(kit), 2 * kMaxKitSounds);
}

// Every file of the corpus is damaged; each must be refused with one of the program's errors.
TEST(BadInput, EveryDamagedFileGivesAnErrorNotACrash)
{
    const std::filesystem::path corpus = GROOVANE_SOUND_CORPUS;
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string();
        const std::string ext = entry.path().extension().string();
        SCOPED_TRACE(name);
        ++files;
        if (ext == ".dxg") {
            TWaveCollection kit;
            EXPECT_THROW(kit.LoadFromFile(entry.path().string()), Exception);
        } else if (ext == ".wav") {
            TWave wave;
            try {
                wave.LoadFromFile(entry.path().string());
                // A few damaged images are still readable: what was read must be consistent.
                EXPECT_LE(int64_t(wave.Size()), wave.Capacity());
                EXPECT_TRUE(name.find("readable") != std::string::npos) << "accepted";
            } catch (const Exception&) {
                EXPECT_TRUE(name.find("readable") == std::string::npos) << "refused";
            }
        }
    }
    EXPECT_GE(files, 10);
}

} // namespace
} // namespace groovane
