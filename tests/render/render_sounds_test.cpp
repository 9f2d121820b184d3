// The sounds a render mixes: the kit's sounds written to the scratch folder by instrument name
// with the kit's volumes and pans, so a kit in another order renders each instrument with its own
// sound; a sound the kit lacks writes an empty file; the sample slots' sounds are the files their
// players play.
#include "sound/byte_stream.h"
#include "platform/exception.h"
#include "render/render_sounds.h"
#include "song/song_slots.h"
#include "support/temp_folder.h"
#include "sound/wave_collection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace groovane;

namespace {

// A kit item holding `frames` frames of one 16-bit mono value, so each sound is told apart by
// its bytes.
void addSound(TWaveCollection& kit, const std::string& name, int value, int32_t volume, int32_t pan)
{
    TWaveCollectionItem& item = kit.Add();
    item.SetName(name);
    TWave wave;
    WaveFormatEx format;
    MakePCMWaveFormat(format, 44100, 16, 1);
    wave.SetFormat(format);
    wave.SetSize(4);
    for (int i = 0; i < 4; i += 2) {
        wave.Data()[i] = static_cast<uint8_t>(value);
        wave.Data()[i + 1] = static_cast<uint8_t>(value >> 8);
    }
    item.SetWave(wave);
    item.SetVolume(volume);
    item.SetPan(pan);
}

std::string imageOf(const TWaveCollection& kit, const std::string& name)
{
    TMemoryStream image;
    kit.Find(name).Wave().SaveToStream(image);
    return image.Bytes();
}

class FakeSlots final : public SongSlots {
public:
    std::optional<SongSampleSettings> settings(int slot) const override
    {
        if (slot == failing)
            throw Exception("WaveStream not set");
        const auto found = played.find(slot);
        return found == played.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<int32_t> volume(int slot) const override
    {
        return played.count(slot) ? std::optional<int32_t>(-100 * slot) : std::nullopt;
    }
    void setFileName(int, const std::string&) override {}
    void setFrequency(int, int32_t) override {}
    void setPan(int, int32_t) override {}
    void setVolume(int, int32_t) override {}
    void enableControls(int, int32_t) override {}

    std::map<int, SongSampleSettings> played;
    int failing = 0;
};

} // namespace

TEST(RenderSounds, KitSoundsGoByNameWithTheirVolumesAndPans)
{
    test::TempFolder dir;
    std::filesystem::create_directory(dir.path() / "temp");
    // Sound 0 first as in every kit, then the instruments out of order, "Snare" twice (the one
    // playback finds is rendered), and no "Tamb".
    TWaveCollection kit;
    addSound(kit, "", 7, 0, 0);
    addSound(kit, "snare", 3, -100, 200);
    addSound(kit, "Kick", 1, -2000, -1500);
    for (const char* name : {"Short Kick", "ClsHiat", "OpHiat", "Tom1", "Tom2", "Cymbol1", "Cymbol2", "Rimshot",
                             "Shaker", "Block", "Congo", "Cowbell", "Crack"})
        addSound(kit, name, 9, 0, 0);
    addSound(kit, "Snare", 4, -300, 900);

    exportKitSounds(kit, dir.path().string());
    EXPECT_EQ(dir.read("temp/0.wav"), imageOf(kit, ""));
    EXPECT_EQ(dir.read("temp/1.wav"), imageOf(kit, "Kick"));
    EXPECT_EQ(dir.read("temp/3.wav"), imageOf(kit, "Snare"));
    EXPECT_NE(dir.read("temp/3.wav"), dir.read("temp/2.wav"));
    EXPECT_EQ(dir.read("temp/16.wav"), "");

    const RenderSounds sounds = renderSoundsOf(kit, nullptr, dir.path().string());
    ASSERT_TRUE(sounds[1] && sounds[3] && sounds[16]);
    EXPECT_EQ(sounds[1]->file, dir.file("temp/1.wav"));
    EXPECT_EQ(std::make_pair(sounds[1]->volume, sounds[1]->pan), std::make_pair(-2000, -1500));
    EXPECT_EQ(std::make_pair(sounds[3]->volume, sounds[3]->pan), std::make_pair(-300, 900));
    EXPECT_EQ(std::make_pair(sounds[16]->volume, sounds[16]->pan), std::make_pair(0, 0));
    for (int slot = 17; slot <= 24; ++slot)
        EXPECT_FALSE(sounds[static_cast<size_t>(slot)]) << slot;

    // No scratch folder: the first file cannot be made.
    std::filesystem::remove_all(dir.path() / "temp");
    EXPECT_THROW(exportKitSounds(kit, dir.path().string()), EFileError);
}

TEST(RenderSounds, SampleSlotsSoundTheFileTheirPlayersPlay)
{
    TWaveCollection kit;
    FakeSlots slots;
    slots.played[1] = SongSampleSettings{"/songs/Low.wav", 22050, -3000};
    slots.played[8] = SongSampleSettings{"Blank.wav", 44100, 0};

    const RenderSounds sounds = renderSoundsOf(kit, &slots, "/base");
    ASSERT_TRUE(sounds[17] && sounds[24]);
    EXPECT_EQ(sounds[17]->file, "/songs/Low.wav");
    EXPECT_EQ(std::make_tuple(sounds[17]->volume, sounds[17]->pan, sounds[17]->frequency),
              std::make_tuple(-100, -3000, 22050));
    EXPECT_EQ(sounds[24]->file, "Blank.wav");
    for (int slot = 18; slot <= 23; ++slot)
        EXPECT_FALSE(sounds[static_cast<size_t>(slot)]) << "a slot without a sound renders nothing";

    // A slot that cannot say what it plays is not passed over silently.
    slots.failing = 5;
    EXPECT_THROW(renderSoundsOf(kit, &slots, "/base"), Exception);
}
