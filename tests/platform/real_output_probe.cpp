// Plays through the real output and reads back what a sound server recorded, for the test that
// checks sound reaches the real path (real_output_test.sh):
//   real_output_probe play N INTERVAL_MS [GAP_MS]
//                                          N clicks INTERVAL_MS apart, each placed as a step
//                                          tick places its sounds, the second half GAP_MS later;
//                                          exit 2 when the output that opened is not PortAudio
//   real_output_probe count FILE           the clicks in a raw 16-bit stereo recording and the
//                                          frames between them
#include "platform/sound_device.h"
#include "platform/sound_system.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

using namespace groovane;

namespace {

int play(int count, int intervalMs, int64_t gapMs)
{
    SoundSystem& system = SoundSystem::instance();
    std::shared_ptr<SoundDevice> device;
    if (system.createDevice(&device) != DS_OK)
        return 1;
    if (!system.output() || system.output()->name() != "portaudio") {
        std::cerr << "real_output_probe: the output is not PortAudio\n";
        return 2;
    }
    device->SetCooperativeLevel(&system, DSSCL_PRIORITY);
    SoundBufferDesc primaryDesc;
    primaryDesc.dwFlags = DSBCAPS_PRIMARYBUFFER;
    std::shared_ptr<SoundBuffer> primary;
    device->CreateSoundBuffer(&primaryDesc, &primary);
    const WaveFormatEx format{WAVE_FORMAT_PCM, 1, 44100, 88200, 2, 16, 0};
    primary->SetFormat(&format);

    // A 10 ms click.
    std::vector<int16_t> click(441, 20000);
    SoundBufferDesc desc;
    desc.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME | DSBCAPS_GLOBALFOCUS;
    desc.dwBufferBytes = static_cast<uint32_t>(click.size() * 2);
    desc.lpwfxFormat = &format;
    std::shared_ptr<SoundBuffer> buffer;
    if (device->CreateSoundBuffer(&desc, &buffer) != DS_OK)
        return 1;
    void* region = nullptr;
    uint32_t bytes = 0;
    buffer->Lock(0, desc.dwBufferBytes, &region, &bytes, nullptr, nullptr, 0);
    std::memcpy(region, click.data(), bytes);
    buffer->Unlock(region, bytes, nullptr, 0);

    // Let the stream settle first, as a user takes a moment before pressing Play: the sound
    // server's plug-in holds a new stream back for a second or more before it starts to play.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    std::vector<std::shared_ptr<SoundBuffer>> hits;
    const int64_t start = steadyNanoseconds();
    for (int i = 0; i < count; ++i) {
        // With a gap, the second half comes after the output has stopped its stream for lack of
        // anything to play, and must sound on its ticks all the same.
        const int64_t tick = start + int64_t{i} * intervalMs * 1'000'000 + (i >= count / 2 ? gapMs * 1'000'000 : 0);
        std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(tick)));
        std::shared_ptr<SoundBuffer> hit;
        device->DuplicateSoundBuffer(buffer, &hit);
        const PlayTimeStamp stamp(system, tick);
        hit->Play(0);
        hits.push_back(hit);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    hits.clear();
    buffer.reset();
    primary.reset();
    device.reset();
    system.stopOutput();
    return 0;
}

int countClicks(const char* path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return 1;
    const auto size = static_cast<size_t>(in.tellg());
    in.seekg(0);
    std::vector<int16_t> samples(size / 2, 0);
    in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
    std::vector<size_t> onsets;
    size_t quiet = 100000;
    for (size_t f = 0; f < samples.size() / 2; ++f) {
        const bool loud = std::abs(samples[2 * f]) > 10000;
        if (loud && quiet > 2000)
            onsets.push_back(f);
        quiet = loud ? 0 : quiet + 1;
    }
    std::cout << onsets.size();
    for (size_t i = 1; i < onsets.size(); ++i)
        std::cout << ' ' << onsets[i] - onsets[i - 1];
    std::cout << '\n';
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if ((argc == 4 || argc == 5) && std::string(argv[1]) == "play")
        return play(std::atoi(argv[2]), std::atoi(argv[3]), argc == 5 ? std::atoll(argv[4]) : 0);
    if (argc == 3 && std::string(argv[1]) == "count")
        return countClicks(argv[2]);
    std::cerr << "usage: real_output_probe play N INTERVAL_MS [GAP_MS] | count FILE\n";
    return 64;
}
