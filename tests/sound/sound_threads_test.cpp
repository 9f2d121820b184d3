// The kit played while a real output thread mixes: triggers, pan and volume changes, cleanup
// ticks and a device restart on the user-interface side, rendering on the audio side. Run under
// ThreadSanitizer, it shows the sound layer hands nothing to the audio thread unsafely.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "dx_sound.h"
#include "sound_system.h"
#include "wave.h"
#include "wave_collection.h"

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

TEST(SoundThreads, KitPlaysWhileTheOutputThreadMixes)
{
    SoundSystem::instance().useOutput(makeNullAudioOutput(44100));
    TDXSoundForm form;
    TDXSound sound(&form);
    sound.SetOptions(soGlobalFocus | soExclusive);
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
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(kit.Items().Initialized());

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
