#include "support/working_folder.h"

#include "platform/sound_system.h"

#include <filesystem>

namespace groovane::test {

WorkingFolder::WorkingFolder()
{
    namespace fs = std::filesystem;
    fs::copy_file(GROOVANE_DEFAULT_KIT, path() / "Rock_kit.dxg");
    for (const char* name : {"Blank.wav", "Panning.dat"})
        fs::copy_file(fs::path(GROOVANE_SOURCE_DATA) / name, path() / name);
    fs::create_directory(path() / "temp");
    enter();
    output_ = &SoundSystem::instance().useOfflineOutput(44100, 0);
    SoundSystem::instance().setClock([this] { return output_->timeOfFrame(output_->framesRendered()); });
}

WorkingFolder::~WorkingFolder()
{
    SoundSystem::instance().setClock({});
}

std::vector<int16_t> WorkingFolder::pump(uint32_t frames)
{
    return output_->pump(frames);
}

} // namespace groovane::test
