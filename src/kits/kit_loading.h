// Loading another kit in place of the one playing. A kit file holds sounds only; the volume and
// pan of each instrument (its mute setting and channel pan) belong to the user's setup, so they
// carry over from the old kit to the new one by instrument name.
#pragma once

#include <string>

namespace groovane {

class TWaveCollection;

// Reads the kit file `fileName` and puts its sounds in place of `kit`'s, each of the 16 kit
// instruments keeping the volume and then the pan it had in `kit`. An instrument that `kit`
// lacks (a kit that failed to load at start is empty) gets volume 0 and pan 0.
//
// The file is read into a collection of its own, and `kit` changes only once that has loaded
// and holds all 16 instruments. A damaged file raises the kit file errors, a kit without one of
// the instruments "Wave '<name>' not found"; `kit` then stays as it was, still playing.
// UI thread.
void loadKitKeepingSettings(TWaveCollection& kit, const std::string& fileName);

// Reads the kit file `fileName` and puts it in place of `kit` as it was saved: every sound at
// the file's pan and volume, 0 each. As above, `kit` changes only once the file has loaded and
// holds all 16 instruments; it raises the same errors and then stays as it was. UI thread.
void loadKitAsSaved(TWaveCollection& kit, const std::string& fileName);

// Whether a name chosen in the kit dialog is the bare extension ".dxg" (a file name of nothing
// but the extension), which loads nothing.
bool isBareKitExtension(const std::string& chosen);

} // namespace groovane
