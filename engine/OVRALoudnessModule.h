#pragma once

#include "KWeightingFilter.h"
#include "LoudnessResults.h"
#include "OVRAAudioFifo.h"
#include "OVRALoudnessHistogram.h"
#include "RelaxedAtomic.h"
#include "Slots.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

/** BS.1770 loudness of six-channel audio.

    The audio thread K-weights each block straight into a FIFO with two
    readers, one per window (pushSamples); every 50 ms the loudness thread
    takes at most one 400 ms momentary window (hop 100 ms) and one 3 s
    short-term window (hop about 600 ms), each at its own reader's position,
    and turns each into a loudness value (computeLoudness).
    While a measurement runs, momentary values are counted for the integrated
    loudness and short-term values for the loudness range.

    Threads: pushSamples and setIntegrating on the audio thread,
    computeLoudness on the loudness thread, resetMeasurement on any other
    thread, setupKWeighting and prepare only while audio and the loudness
    pass are stopped. Resets never block the audio thread. setIntegrating
    restarts the filters itself and leaves the emptying of the windows to the
    loudness thread, which at the start of its next pass drops every frame up
    to the write position at the moment of the request; resetMeasurement waits
    for a running pass, empties the windows itself and leaves the filter restart
    to the next pushSamples. Either way the first window after a reset starts
    with the first frame pushed after it, and no pass publishes a value from
    frames pushed before it.
*/
class OVRALoudnessModule : public juce::TimeSliceClient
{
public:
    static constexpr int numChannels = Slots::count;

    OVRALoudnessModule();
    ~OVRALoudnessModule() override;

    //==============================================================================
    /** Sets both K-weighting stages of all channels for sampleRate. */
    void setupKWeighting();

    /** Window lengths from sampleRate; rebuilds (and so empties) the FIFO. */
    void prepare();

    /** Audio thread: on a change, empties both windows and restarts the filters. */
    void setIntegrating (int shouldIntegrate) noexcept;

    /** Audio thread: K-filters inputBuffer into the FIFO, for both windows.
        A channel whose block holds a NaN or infinity is counted as silence.
        Only when the FIFO cannot take the whole block is it filtered in
        inputBuffer first. */
    void pushSamples() noexcept;

    /** pushSamples on a copy of the source, without the copy: the filter
        reads the source. */
    void pushSamples (const juce::AudioBuffer<float>& source) noexcept;

    /** Loudness thread: one measurement pass. */
    void computeLoudness();

    int useTimeSlice() override;

    /** Restarts the twelve filter states. Audio thread (or with audio stopped). */
    void reset() noexcept;

    /** The measurement reset, from any thread but the audio thread: empties both
        windows, restarts the filters, clears both histograms and sets every
        result to -70. Waits for a running pass, never for the audio thread. */
    void resetMeasurement();

    //==============================================================================
    double sampleRate = 0.0;
    int momentaryWindowLength = 0;
    int shortTermWindowLength = 0;

    /** L, R, C, LFE, LS, RS. Exactly 1.41 for the surrounds. */
    std::array<float, numChannels> channelWeights { 1.0f, 1.0f, 1.0f, 0.0f, 1.41f, 1.41f };

    /** Last momentary level per channel: 10 log10 (weight * mean square). */
    std::array<RelaxedAtomic<float>, numChannels> channelMomentaryLevels;

    /** The windows' readers of windowFifo. */
    static constexpr int momentaryReader = 0, shortTermReader = 1;

    /** K-weighted audio, read by both windows. */
    std::unique_ptr<OVRAAudioFifo> windowFifo;
    OVRALoudnessHistogram momentaryHistogram, shortTermHistogram;

    /** Filled before each pushSamples() without a source. */
    juce::AudioBuffer<float> inputBuffer;

    LoudnessResults results;
    RelaxedAtomic<int> integrating { 0 };

    /** The last pass produced a new value. Set with release order after the
        results, so a reader that loads a flag with acquire order and then
        copies the results never takes an older value for the new one. */
    std::atomic<bool> momentaryUpdated { false };
    std::atomic<bool> shortTermUpdated { false };

private:
    //==============================================================================
    /** Which window a pass works on: its reader, its reset requests and its result. */
    enum class WindowKind
    {
        momentary,
        shortTerm
    };

    static int readerOf (WindowKind kind) noexcept
    {
        return kind == WindowKind::momentary ? momentaryReader : shortTermReader;
    }

    /** Takes one window from its reader if one is complete and no reset is pending;
        returns its loudness or nothing. Loudness thread, under passLock. */
    std::optional<float> measureWindow (WindowKind kind, bool& countIt);

    /** Loudness thread or a reset under passLock: empties a window's reader up
        to its requested write position if a request is new. */
    void handleResetRequest (WindowKind kind) noexcept;

    // A reset request: generation (31 bits), the integrating state (1 bit) and
    // the FIFO's write position at the request (32 bits), in one atomic word so
    // that the loudness thread always sees a consistent triple.
    static uint64_t packRequest (uint32_t generation, bool integratingState, int writePosition) noexcept;
    static uint32_t requestGeneration (uint64_t request) noexcept { return (uint32_t) (request >> 33); }
    static bool requestIntegrating (uint64_t request) noexcept { return ((request >> 32) & 1) != 0; }
    static int requestPosition (uint64_t request) noexcept { return (int) (uint32_t) request; }

    KWeightingFilter kWeighting;

    // One request serves both windows, which read one FIFO; each reader
    // empties its own part of it.
    RelaxedAtomic<uint64_t> resetRequest;
    uint32_t nextRequestGeneration = 0; // audio thread
    std::array<uint32_t, OVRAAudioFifo::maxReaders> handledRequestGeneration {}; // under passLock, by reader
    RelaxedAtomic<bool> filterResetRequested { false };
    RelaxedAtomic<int> pushedChannels { 0 };

    juce::CriticalSection passLock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRALoudnessModule)
};
