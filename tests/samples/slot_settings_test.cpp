// The command-line render's sample slots hold plain settings instead of players: the same calls
// must leave them with what a real player on the sound device holds, files it refuses and values
// the device refuses included, or a render from the command line would differ from the window's.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sound/audio_stream.h"
#include "sound/dx_sound.h"
#include "platform/exception.h"
#include "support/le_bytes.h"
#include "samples/slot_players.h"
#include "samples/slot_settings.h"
#include "platform/sound_system.h"
#include "support/temp_folder.h"

namespace groovane {
namespace {

using test::chunk;
using test::le16;
using test::le32;

std::string wav(int channels, uint32_t rate, int bits, uint32_t bytesPerSec, int align)
{
    const std::string fmt = le16(1) + le16(channels) + le32(rate) + le32(bytesPerSec) + le16(align) + le16(bits);
    const std::string body = "WAVE" + chunk("fmt ", fmt) + chunk("data", std::string(64, '\0'));
    return "RIFF" + le32(static_cast<uint32_t>(body.size())) + body;
}

// What a call raised, empty when it raised nothing.
template <typename Call>
std::string failureOf(Call call)
{
    try {
        call();
        return {};
    } catch (...) {
        return exceptionMessage(std::current_exception());
    }
}

TEST(SampleSlotSettings, TakeAndRefuseFilesAndValuesAsAPlayerOnTheDevice)
{
    SoundSystem::instance().useOfflineOutput(44100, 0);
    test::TempFolder folder;
    TDXSoundForm form;
    TDXSound sound{&form};
    sound.SetOptions(soGlobalFocus | soExclusive);
    sound.Initialize();
    TAudioFileStream player(*sound.DSound());
    SampleSlotSettingsList slots;

    const auto expectSame = [&](const std::string& step) {
        const std::optional<SongSampleSettings> real = playerSettings(&player);
        const std::optional<SongSampleSettings> plain = slots.settings(1);
        ASSERT_EQ(real.has_value(), plain.has_value()) << step;
        if (real) {
            EXPECT_EQ(plain->fileName, real->fileName) << step;
            EXPECT_EQ(plain->frequency, real->frequency) << step;
            EXPECT_EQ(plain->pan, real->pan) << step;
        }
        EXPECT_EQ(slots.volume(1), playerVolume(&player)) << step;
    };

    const std::vector<std::pair<std::string, std::string>> files{
        {"stereo.wav", wav(2, 44100, 16, 176400, 4)},
        {"mono8.wav", wav(1, 11025, 8, 11025, 1)},
        {"stereo.wav", wav(2, 44100, 16, 176400, 4)}, // the same file again keeps its settings
        {"bits24.wav", wav(2, 44100, 24, 264600, 6)},
        {"slow.wav", wav(1, 50, 16, 100, 2)},
        {"norate.wav", wav(1, 22050, 16, 0, 2)},
        {"noalign.wav", wav(1, 22050, 16, 44100, 0)},
        {"text.wav", "not a wave"},
        {"missing.wav", ""},
        {"mono8.wav", wav(1, 11025, 8, 11025, 1)},
    };
    int refused = 0;
    for (const auto& [name, bytes] : files) {
        if (!bytes.empty())
            folder.write(name, bytes);
        const std::string path = folder.file(name);
        const int32_t volume = playerVolume(&player).value_or(0);
        const std::string real = failureOf([&] {
            player.SetFileName(path);
            player.SetVolume(volume);
        });
        EXPECT_EQ(failureOf([&] { slots.setFileName(1, path); }), real) << name;
        refused += real.empty() ? 0 : 1;
        expectSame(name);
        if (!real.empty())
            continue;
        for (const int32_t value : {0, 99, 100, 22050, 200000, 200001, -5}) {
            EXPECT_EQ(failureOf([&] { slots.setFrequency(1, value); }), failureOf([&] { player.SetFrequency(value); }));
            expectSame(name + " frequency " + std::to_string(value));
        }
        for (const int32_t value : {-10001, -10000, 3000, 10000, 10001}) {
            slots.setPan(1, value);
            player.SetPan(value);
            expectSame(name + " pan " + std::to_string(value));
        }
        for (const int32_t value : {1, -10000, -10001, -2500}) {
            slots.setVolume(1, value);
            player.SetVolume(value);
            expectSame(name + " volume " + std::to_string(value));
        }
    }
    // Without a sound, a value raises as it does on a player without a ring.
    player.SetFileName("");
    const std::string unmade = failureOf([&] { player.SetPan(0); });
    EXPECT_FALSE(unmade.empty());
    EXPECT_EQ(failureOf([&] { slots.setPan(2, 0); }), unmade);
    EXPECT_EQ(refused, 6) << "every file meant to be refused was refused";
}

} // namespace
} // namespace groovane
