// The kit file: a wave collection written as a component resource named
// "DrumKitWaveCollection" holding one component whose only property, "List", is the
// collection. The layout is fixed byte by byte, since kits made by other copies of the program
// must load: resource header, "TPF0", the component's class and name, then each sound as a
// list of properties "Name" (when not empty), "Looped" and "Wave.WAVE" (the sound's WAV image
// as raw bytes).
//
// User-interface thread only.
#pragma once

#include <string>

#include "sound/byte_stream.h"

namespace groovane {

class TWaveCollection;

// "Invalid stream format": the bytes are not a kit resource at all.
class EInvalidStreamFormat : public EReadError {
public:
    using EReadError::EReadError;
};

// The most sounds a kit file may hold. A kit holds 17 sounds (16 instruments after one unnamed
// sound); the limit leaves room for kits made otherwise, and with it a kit file of many tiny
// sounds costs a bounded number of items however large it is.
inline constexpr int kMaxKitSounds = 1024;

// Exists only for the moment of reading or writing a kit: `List` is the collection read into
// or written from.
class TWaveCollectionComponent {
public:
    explicit TWaveCollectionComponent(TWaveCollection& list) : list_(list) {}

    TWaveCollection& List() { return list_; }

    // Writes the resource at the stream's position. Write failures raise EWriteError.
    void WriteResource(TStream& stream, const std::string& resourceName);
    // The bytes WriteResource would write.
    std::string ResourceBytes(const std::string& resourceName);

    // Reads a resource from the stream's position, adding each sound to `List` as it is read
    // (the caller empties the list first). Failures: EInvalidStreamFormat "Invalid stream
    // format" for a bad header or signature; EReadError "Stream read error" for truncation or
    // lengths beyond the stream, "Property does not exist" for an unknown property, "Invalid
    // property value" for a value of the wrong kind, "Kit has too many sounds: a kit holds at
    // most 1024 sounds" at the start of a sound past kMaxKitSounds, before anything is made for
    // it; the wave errors of a bad sound image. The sounds read before the failure stay in the
    // list.
    void ReadResource(TStream& stream);

private:
    TWaveCollection& list_;
};

} // namespace groovane
