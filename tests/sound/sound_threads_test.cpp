// The kit and a streamed player played while a real output thread mixes: triggers, pan and
// volume changes, cleanup ticks and a device restart on the user-interface side, the player's
// worker on real time handing its refills to this thread through the UI call queue, rendering
// on the output's own thread. Run under ThreadSanitizer, it shows the sound layer hands nothing
// to the audio thread unsafely and the worker touches nothing of the player's.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>

#include "sound/audio_stream.h"
#include "sound/dx_sound.h"
#include "platform/sound_system.h"
#include "platform/ui_call_queue.h"
#include "sound/wave.h"
#include "sound/wave_collection.h"

namespace groovane {
namespace {

TWave noiseWave(int frames)
{
    TWave wave;
    WaveFormatEx f;
    MakePCMWaveFormat(f, 44100, 16, 1);
    wave.SetFormat(f);
    wave.SetSize(frames * 2);
    uint32_t state = 12345;
    for (int i = 0; i < frames * 2; ++i) {
        state = state * 1664525u + 1013904223u;
        wave.Data()[i] = uint8_t(state >> 24);
    }
    return wave;
}

TEST(SoundThreads, KitAndStreamedPlayerPlayWhileTheOutputThreadMixes)
{
    SoundSystem::instance().useOutput(makeNullAudioOutput(44100));
    TDXSoundForm form;
    TDXSound sound(&form);
    sound.SetOptions(soGlobalFocus | soExclusive);

    // The streamed player sits on a sound component of its own, as a second window's would, so
    // the kit's device restart leaves its ring alone.
    const std::string path =
        (std::filesystem::temp_directory_path() / ("groovane_streamed_" + std::to_string(::getpid()) + ".wav"))
            .string();
    noiseWave(2 * 44100).SaveToFile(path);
    TDXSound streamSound(&form);
    streamSound.SetOptions(soGlobalFocus);
    streamSound.Initialize();
    TAudioFileStream player(*streamSound.DSound());
    player.SetFileName(path);
    player.Play();
    TDXWaveList kit;
    kit.Items().Add().SetWave(noiseWave(16));
    for (const char* name : {"Kick", "Snare", "Tamb"}) {
        TWaveCollectionItem& item = kit.Items().Add();
        item.SetName(name);
        item.SetWave(noiseWave(2000));
    }
    kit.SetDXSound(&sound);
    sound.Initialize();

    for (int round = 0; round < 40; ++round) {
        TWaveCollectionItem& item = kit.Items().Find(round % 3 == 0 ? "kick" : round % 3 == 1 ? "snare" : "tamb");
        item.SetPan((round * 977) % 20001 - 10000);
        item.SetVolume(-(round * 131) % 3000);
        item.Play();
        if (round % 8 == 0)
            kit.Items().FreeStoppedCopies();
        if (round == 20)
            sound.Initialize(); // closes and reopens the device while the output runs
        uiCallQueue().serve();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(kit.Items().Initialized());

    // The player's refills run here, from the worker's hand-overs, until a fifth of a second has
    // played (at least one refill every 50 ms), then the player stops and its worker is joined.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (player.Position() < 44100 * 2 / 5 && std::chrono::steady_clock::now() < deadline) {
        uiCallQueue().serve();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_GE(player.Position(), 44100 * 2 / 5);
    EXPECT_TRUE(player.Playing());
    player.Stop();
    EXPECT_EQ(uiCallQueue().pending(), 0u);
    std::remove(path.c_str());

    // Play with wait returns once the output thread has played the copy to its end, and keeps
    // nothing on the playing list.
    kit.Items().FreeStoppedCopies();
    const int before = kit.Items().PlayingCount();
    kit.Items().Find("Kick").Play(true);
    EXPECT_LE(kit.Items().PlayingCount(), before);

    kit.SetDXSound(nullptr);
    sound.Finalize();
    SoundSystem::instance().useOfflineOutput();
}

} // namespace
} // namespace groovane
