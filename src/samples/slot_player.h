// What patterns, songs and the main window's Stop do to a sample slot, through the slot's
// player (SampleWindow::Player()). A slot without a player (closed in its window) is silent and
// passes over all of it, so a closed slot never makes playback, Stop or OK fail.
//
// UI thread only.
#pragma once

namespace groovane {

class TAudioFileStream;

// Rewinds the slot and plays it: a stopped slot starts from its beginning, a playing one
// restarts from there (one voice per slot). A player without a sound raises its
// EAudioStreamError "WaveStream not set".
void triggerSampleSlot(TAudioFileStream* player);

// Silences the slot.
void stopSampleSlot(TAudioFileStream* player);

} // namespace groovane
