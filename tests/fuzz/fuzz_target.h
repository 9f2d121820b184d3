// What every reader harness shares. A harness is one check over one input: it feeds the bytes to
// a reader of outside data and verifies properties of the result (a round trip gives the same
// content, two ways of reading agree, a refused file changes nothing), not only that nothing
// crashed.
//
// GROOVANE_FUZZ_TARGET(name) defines the check. In the fuzzing build (libFuzzer) it becomes the
// fuzzer's entry point; in the test build every check registers under its name, so the normal
// suite replays each harness's seed corpus, findings included, as regression tests.
#pragma once

#include "platform/exception.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace groovane::fuzz {

using Check = void (*)(const std::string& input);

struct Harness {
    const char* name;
    Check check;
};

// Every check linked into this program, in no particular order.
std::vector<Harness>& harnesses();

struct Registration {
    Registration(const char* name, Check check) { harnesses().push_back({name, check}); }
};

// Names the input being checked in the message of a violated property (the corpus replay sets
// it; the fuzzer saves the input itself).
void setInputName(const std::string& name);

// A property that does not hold is a finding: say which and stop, so the fuzzer saves the input.
[[noreturn]] void fail(const char* harness, const char* what, const char* file, int line);

// The message of the program's error that `load` raised, or empty text when it raised none.
// Anything that is not one of the program's errors passes on: for the fuzzer that is a finding.
template <typename Load>
std::string errorOf(Load load)
{
    try {
        load();
    } catch (const Exception& e) {
        return e.what();
    }
    return {};
}

// A file with these bytes in a folder of its own, on a memory file system where there is one,
// for readers that only read files and for comparing file and memory reads. The same path is
// reused by every call of one process.
std::string writeScratchFile(const std::string& name, const std::string& bytes);

} // namespace groovane::fuzz

#define FUZZ_CHECK(condition, harness)                                                                                 \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            ::groovane::fuzz::fail(harness, #condition, __FILE__, __LINE__);                                           \
    } while (false)

#ifdef GROOVANE_LIBFUZZER
#define GROOVANE_FUZZ_TARGET(name)                                                                                     \
    static void fuzzCheck_##name(const std::string& input);                                                            \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)                                            \
    {                                                                                                                  \
        fuzzCheck_##name(std::string(reinterpret_cast<const char*>(data), size));                                      \
        return 0;                                                                                                      \
    }                                                                                                                  \
    static void fuzzCheck_##name(const std::string& input)
#else
#define GROOVANE_FUZZ_TARGET(name)                                                                                     \
    static void fuzzCheck_##name(const std::string& input);                                                            \
    static const ::groovane::fuzz::Registration fuzzRegistration_##name(#name, &fuzzCheck_##name);                     \
    static void fuzzCheck_##name(const std::string& input)
#endif
