#pragma once

#include "LoudnessResults.h"
#include "OVRAAudioFifo.h"
#include "OVRALoudnessHistogram.h"
#include "RelaxedAtomic.h"

#include <juce_audio_basics/juce_audio_basics.h>
#include <juce_core/juce_core.h>

#include <array>
#include <memory>

/** BS.1770 loudness of six-channel audio.

    The audio thread K-weights each block and appends it to two overlapping
    FIFOs (pushSamples); every 50 ms the loudness thread takes at most one
    400 ms momentary window (hop 100 ms) and one 3 s short-term window (hop
    about 600 ms) and turns each into a loudness value (computeLoudness).
    While a measurement runs, momentary values are counted for the integrated
    loudness and short-term values for the loudness range.

    Threads: pushSamples and setIntegrating on the audio thread,
    computeLoudness on the loudness thread, resetMeasurement on any other
    thread, setupKWeighting and prepare only while audio and the loudness
    pass are stopped. Resets never block the audio thread: the FIFOs are
    emptied by the loudness thread at the start of its next pass, up to the
    write position at the moment of the request, so the first window after a
    reset starts with the first frame pushed after it.
*/
class OVRALoudnessModule : public juce::TimeSliceClient
{
public:
    static constexpr int numChannels = 6;

    OVRALoudnessModule();
    ~OVRALoudnessModule() override;

    //==============================================================================
    /** Sets both K-weighting stages of all channels for sampleRate. */
    void setupKWeighting();

    /** Window lengths from sampleRate; rebuilds (and so empties) both FIFOs. */
    void prepare();

    /** Audio thread: on a change, empties both windows and restarts the filters. */
    void setIntegrating (int shouldIntegrate) noexcept;

    /** Audio thread: K-filters inputBuffer in place and appends it to both FIFOs. */
    void pushSamples() noexcept;

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

    std::unique_ptr<OVRAAudioFifo> momentaryFifo, shortTermFifo;
    OVRALoudnessHistogram momentaryHistogram, shortTermHistogram;

    /** Filled by the processor before each pushSamples. */
    juce::AudioBuffer<float> inputBuffer;

    LoudnessResults results;
    RelaxedAtomic<int> integrating { 0 };
    RelaxedAtomic<bool> momentaryUpdated { false };
    RelaxedAtomic<bool> shortTermUpdated { false };

private:
    // ... implementation detail: filters, window buffers, reset requests, pass lock
};
