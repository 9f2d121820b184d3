#include "render/song_render.h"

#include "platform/exception.h"
#include "platform/files.h"
#include "pattern/pattern_editing.h"
#include "pattern/pattern_grid.h"
#include "song/step_list.h"
#include "song/tempo_rule.h"
#include "render/wavaudio.h"

#include <algorithm>
#include <bit>
#include <deque>
#include <limits>
#include <memory>
#include <system_error>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace groovane {

namespace {

// Names match without regard to case, also for files that do not exist yet: "WORK1.TMP" is the
// scratch file even before the render has made "work1.tmp".
bool sameFile(const std::string& a, const std::string& b)
{
    std::error_code ec;
    const fs::path pa = fs::weakly_canonical(fs::absolute(resolvePath(a)), ec);
    if (ec)
        return false;
    const fs::path pb = fs::weakly_canonical(fs::absolute(resolvePath(b)), ec);
    return !ec && pa.parent_path() == pb.parent_path() &&
           equalsIgnoreCase(pa.filename().string(), pb.filename().string());
}

std::string soundName(int instrument)
{
    if (instrument >= kFirstSampleSlot)
        return formatMessage("Sample %d", instrument - kFirstSampleSlot + 1);
    return instrumentNames()[static_cast<size_t>(instrument)];
}

// The most frames a wave holds (its frame count is a signed 32-bit number); a hit is not mixed
// past them.
constexpr std::int64_t kMaxFrames = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kWindowFrames = wavaudio::TWave::kWindowFrames;
// The most frames of one hit mixed between two looks at the observer: a few milliseconds of
// work, so a window full of long sounds never keeps Stop or the window waiting.
constexpr std::int64_t kMixPieceFrames = 32768;
constexpr int kChannels = PatternGrid::kChannelCount;

// One instrument's sound, read once per render into an empty wave (a file that holds no WAV data
// leaves it empty, and an empty source mixes nothing), and scaled once: volume, pan and rate are
// the same for every hit of an instrument, so every hit adds the same values.
struct InstrumentSound {
    std::unique_ptr<wavaudio::TWave> source;
    wavaudio::TMixSource mix;
    std::string name;
};

InstrumentSound prepareSound(const wavaudio::TWave& output, const RenderSound& sound, int instrument)
{
    InstrumentSound prepared;
    prepared.source = std::make_unique<wavaudio::TWave>();
    prepared.source->LoadFromFile(sound.file);
    int rate = sound.frequency;
    if (rate == 0)
        rate = static_cast<int>(std::min<std::uint32_t>(prepared.source->Format().sampleRate(), INT32_MAX));
    prepared.mix = output.PrepareMix(*prepared.source, rate, renderVolumeFactor(sound.volume), sound.pan * 0.0005);
    prepared.name = soundName(instrument);
    return prepared;
}

// The render's look at the step list's walk: every hit's time. The first line is always a marker
// with its tempo line, which sets the step length. Six cells make a row; each row after the first
// sounds one step length after the one before, the length of the pattern it belongs to, and the
// time is summed row by row. Stop is asked before each line is taken.
class HitWalk {
public:
    struct Hit {
        int instrument = 0;
        double startSeconds = 0;
    };

    HitWalk(const StepList& list, const std::array<bool, kRenderSlots>& isRendered, RenderObserver& observer)
        : walk_(list),
          isRendered_(isRendered),
          observer_(observer)
    {}

    // The next hit of a rendered instrument; nothing at the end of the list or once stopped.
    std::optional<Hit> next()
    {
        while (!isEnd_) {
            if (observer_.isStopRequested()) {
                isStopped_ = true;
                isEnd_ = true;
                break;
            }
            const StepLine line = walk_.next();
            isEnd_ = line.kind == StepLine::Kind::End;
            if (line.kind == StepLine::Kind::Marker)
                stepSeconds_ = stepIntervalMs(line.tempoPosition) * 0.001;
            else
                ++rowCell_;
            observer_.linePassed(walk_.index());
            if (rowCell_ == kChannels) {
                rowCell_ = 0;
                startSeconds_ += stepSeconds_;
            }
            if (line.kind != StepLine::Kind::Cell)
                continue;
            const int instrument = instrumentSlot(line.text());
            if (instrument > 0 && isRendered_[static_cast<size_t>(instrument)])
                return Hit{instrument, startSeconds_};
        }
        return std::nullopt;
    }

    bool isStopped() const { return isStopped_; }

private:
    StepWalk walk_;
    const std::array<bool, kRenderSlots>& isRendered_;
    RenderObserver& observer_;
    double startSeconds_ = 0.0;
    double stepSeconds_ = 0.0;
    int rowCell_ = -1;
    bool isEnd_ = false;
    bool isStopped_ = false;
};

// A hit being mixed: the output frames it covers.
struct HitSpan {
    std::int64_t start;
    std::int64_t end;
};

// out[i] := clamp(out[i] + values[i], -32767, 32767), the sum and clip of Mix. This is where a
// render spends its time, so eight samples go at once where the processor allows: widened to 32
// bits, added, narrowed with saturation to -32768..32767 and lifted to -32767, which is the same
// clip.
void addClipped(std::int16_t* out, const std::int32_t* values, std::int64_t count)
{
    std::int64_t i = 0;
#if defined(__SSE2__)
    const __m128i lowest = _mm_set1_epi16(-32767);
    for (; i + 8 <= count; i += 8) {
        const __m128i held = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + i));
        // Sign-extend the eight 16-bit samples: unpack each into the high half, shift back down.
        const __m128i low = _mm_srai_epi32(_mm_unpacklo_epi16(held, held), 16);
        const __m128i high = _mm_srai_epi32(_mm_unpackhi_epi16(held, held), 16);
        const __m128i sumLow = _mm_add_epi32(low, _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + i)));
        const __m128i sumHigh = _mm_add_epi32(high, _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + i + 4)));
        const __m128i clipped = _mm_max_epi16(_mm_packs_epi32(sumLow, sumHigh), lowest);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), clipped);
    }
#endif
    for (; i < count; ++i)
        out[i] = static_cast<std::int16_t>(std::clamp(values[i] + out[i], -32767, 32767));
}

// One window of output frames as 16-bit samples, summed hit by hit and clipped after every sum
// as Mix clips, then stored in the output wave as its sample bytes.
class OutputWindow {
public:
    explicit OutputWindow(int channels) : channels_(channels), samples_(static_cast<size_t>(kWindowFrames * channels))
    {}

    void clear() { std::fill(samples_.begin(), samples_.end(), std::int16_t{0}); }

    // Adds `frames` frames of values onto the window from frame `at` of it.
    void add(std::int64_t at, const std::int32_t* values, std::int64_t frames)
    {
        addClipped(samples_.data() + at * channels_, values, frames * channels_);
    }

    // Stores the window's first `frames` frames at frame `first` of `output` (16-bit little-endian).
    void store(wavaudio::TWave& output, std::int64_t first, std::int64_t frames)
    {
        const auto count = static_cast<size_t>(frames * channels_);
        const std::uint8_t* bytes = nullptr;
        if constexpr (std::endian::native == std::endian::little) {
            bytes = reinterpret_cast<const std::uint8_t*>(samples_.data());
        } else {
            bytes_.resize(count * 2);
            for (size_t i = 0; i < count; ++i) {
                const auto bits = static_cast<std::uint16_t>(samples_[i]);
                bytes_[2 * i] = static_cast<std::uint8_t>(bits);
                bytes_[2 * i + 1] = static_cast<std::uint8_t>(bits >> 8);
            }
            bytes = bytes_.data();
        }
        output.WriteFrames(static_cast<std::int32_t>(first), bytes, count * 2);
    }

private:
    int channels_;
    std::vector<std::int16_t> samples_;
    std::vector<std::uint8_t> bytes_;
};

} // namespace

std::set<int> renderInstruments(const StepList& list)
{
    std::set<int> found;
    StepWalk walk(list);
    int64_t passLeft = 0;
    for (StepLine line = walk.next(); line.kind != StepLine::Kind::End; line = walk.next()) {
        if (line.kind == StepLine::Kind::Marker) {
            passLeft = line.passCells;
            continue;
        }
        if (const int slot = instrumentSlot(line.text()); slot > 0)
            found.insert(slot);
        // The rest of the pattern repeats this pass.
        if (--passLeft <= 0)
            walk.skipPattern();
    }
    return found;
}

double renderVolumeFactor(std::int32_t volume)
{
    return std::clamp((volume + 4000) * 0.00025, 0.0, 1.0);
}

void checkOutputIsNotScratchFile(const std::string& outputFile, const std::string& scratchFile)
{
    if (sameFile(outputFile, scratchFile))
        throw Exception(formatMessage(
            "%s is the file the render builds the song in; please choose another name for the song's WAV file",
            outputFile));
}

namespace {

// The render's walk and mix into `output`, whose scratch file is open, and the WAV file written.
RenderOutcome renderInto(wavaudio::TWave& output, const StepList& list, const RenderSounds& sounds,
                         const std::string& outputFile, RenderObserver& observer)
{
    // Every sound is read before anything is mixed, so the render mixes the sounds as they were
    // when it started, whatever happens to their files meanwhile.
    std::array<std::optional<InstrumentSound>, kRenderSlots> prepared;
    std::array<bool, kRenderSlots> isRendered{};
    for (const int instrument : renderInstruments(list)) {
        const std::optional<RenderSound>& sound = sounds[static_cast<size_t>(instrument)];
        if (!sound)
            continue;
        prepared[static_cast<size_t>(instrument)] = prepareSound(output, *sound, instrument);
        isRendered[static_cast<size_t>(instrument)] = true;
    }

    // The output is built one window of frames at a time, each window complete before the next:
    // the hits that sound in it are summed instrument after instrument in ascending order, and
    // each instrument's hits in the order of the walk, which is the order in which every output
    // sample receives its sums when the whole song is mixed one instrument at a time. A hit that
    // reaches past its window is carried into the next. Stop takes no further hit and mixes
    // nothing more: the window is stored as far as it was mixed, so a stopped render's file holds
    // every window before it whole and part of the one in progress.
    HitWalk walk(list, isRendered, observer);
    bool isStopped = false;
    std::optional<HitWalk::Hit> next = walk.next();
    std::array<std::deque<HitSpan>, kRenderSlots> sounding;
    const int channels = output.Format().channels();
    OutputWindow window(channels);
    std::vector<std::int32_t> scratch;
    for (std::int64_t windowStart = 0; windowStart < kMaxFrames; windowStart += kWindowFrames) {
        const std::int64_t windowEnd = std::min(windowStart + kWindowFrames, kMaxFrames);
        for (; next; next = walk.next()) {
            const std::int64_t start = output.MixStartFrame(next->startSeconds);
            if (start >= windowEnd)
                break;
            const InstrumentSound& sound = *prepared[static_cast<size_t>(next->instrument)];
            observer.hitStarting(sound.name);
            const std::int64_t end = std::min(start + sound.mix.Frames(), kMaxFrames);
            // Stopped before the scratch file passes what a WAV file can count.
            wavaudio::checkWavDataSize(end * output.Format().blockAlign());
            if (end > std::max<std::int64_t>(start, 0))
                sounding[static_cast<size_t>(next->instrument)].push_back(HitSpan{start, end});
        }

        window.clear();
        std::int64_t filled = windowStart;
        for (size_t instrument = 0; instrument < sounding.size() && !isStopped; ++instrument) {
            std::deque<HitSpan>& hits = sounding[instrument];
            if (hits.empty())
                continue;
            const wavaudio::TMixSource& mix = prepared[instrument]->mix;
            for (const HitSpan& hit : hits) {
                const std::int64_t to = std::min(hit.end, windowEnd);
                for (std::int64_t from = std::max(hit.start, windowStart); from < to && !isStopped;) {
                    observer.mixing();
                    if (observer.isStopRequested()) {
                        isStopped = true;
                        break;
                    }
                    const std::int64_t count = std::min(to - from, kMixPieceFrames);
                    window.add(from - windowStart, mix.Values(from - hit.start, count, scratch), count);
                    from += count;
                    filled = std::max(filled, from);
                }
                if (isStopped)
                    break;
            }
            std::erase_if(hits, [windowEnd](const HitSpan& hit) { return hit.end <= windowEnd; });
        }
        // A window no hit reaches is left out; the next one written fills it with silence.
        if (filled > windowStart)
            window.store(output, windowStart, filled - windowStart);
        if (isStopped ||
            (!next && std::all_of(sounding.begin(), sounding.end(), [](const auto& hits) { return hits.empty(); })))
            break;
    }
    output.SaveToFile(outputFile);
    return walk.isStopped() || isStopped ? RenderOutcome::Stopped : RenderOutcome::Finished;
}

} // namespace

RenderOutcome renderSong(const StepList& list, const RenderSounds& sounds, const std::string& scratchFile,
                         const std::string& outputFile, RenderObserver& observer)
{
    checkOutputIsNotScratchFile(outputFile, scratchFile);

    wavaudio::TWave output;
    output.SetScratchFileName(scratchFile);
    output.SetScratchMode(true);
    try {
        return renderInto(output, list, sounds, outputFile, observer);
    } catch (...) {
        // A failed render keeps nothing of its scratch file, which may have grown to fill the
        // disk; only a render that wrote its WAV file leaves it in place.
        deleteFile(scratchFile);
        throw;
    }
}

} // namespace groovane
