#pragma once

#include "OvrajuceLoudnessAudioProcessor.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace ProcessorTestHelpers
{
constexpr double sampleRate = 48000.0;
constexpr int blockSize = 512;

/** A play head whose position the test sets; "hasPosition" false makes it
    answer with no position at all. */
class TestPlayHead : public juce::AudioPlayHead
{
public:
    juce::Optional<PositionInfo> getPosition() const override
    {
        if (! hasPosition)
            return {};

        return position;
    }

    bool hasPosition = true;
    PositionInfo position;
};

/** A clock the test sets; the audio thread may read it while the test moves it. */
class ManualClock : public MeasurementClock
{
public:
    explicit ManualClock (juce::Time start) : millis (start.toMilliseconds()) {}

    juce::Time now() const noexcept override { return juce::Time (millis.load()); }
    void advance (juce::RelativeTime by) noexcept { millis += by.inMilliseconds(); }

private:
    std::atomic<juce::int64> millis;
};

/** A processor set up as the main window sets it up, with the given device
    channel counts, prepared, and with the loudness module taken off its
    thread, so that a test decides when a measurement pass runs. */
inline std::unique_ptr<OvrajuceLoudnessAudioProcessor>
makePreparedProcessor (int numInputs = 6, int numOutputs = 6, int maxBlockSize = blockSize)
{
    auto processor = std::make_unique<OvrajuceLoudnessAudioProcessor>();
    processor->setPlayConfigDetails (numInputs, numOutputs, sampleRate, maxBlockSize);
    processor->prepareToPlay (sampleRate, maxBlockSize);
    processor->releaseResources();
    return processor;
}

/** A block whose channel c carries the constant (c + 1) / 10, so that every
    channel can be recognised wherever it ends up. */
inline juce::AudioBuffer<float> makeLabelledBlock (int numChannels, int numSamples)
{
    juce::AudioBuffer<float> block (numChannels, numSamples);

    for (int c = 0; c < numChannels; ++c)
        juce::FloatVectorOperations::fill (block.getWritePointer (c), (float) (c + 1) / 10.0f, numSamples);

    return block;
}

inline void process (OvrajuceLoudnessAudioProcessor& processor, juce::AudioBuffer<float>& block)
{
    juce::MidiBuffer midi;
    processor.processBlock (block, midi);
}

/** Reads the routed six slots of everything processed so far from the scope
    feed, which receives the processor's work buffer unchanged. */
inline juce::AudioBuffer<float> readRoutedSlots (OvrajuceLoudnessAudioProcessor& processor)
{
    auto& fifo = *processor.scopeFeed.fifo;
    juce::AudioBuffer<float> slots (6, fifo.getNumReady());
    fifo.read (slots, slots.getNumSamples());
    return slots;
}

/** A cleared block. */
inline juce::AudioBuffer<float> silentBlock (int numChannels, int numSamples = blockSize)
{
    juce::AudioBuffer<float> block (numChannels, numSamples);
    block.clear();
    return block;
}

/** Feeds seconds of a sine on one block channel in blocks and runs a
    measurement pass after every 100 ms of audio, as the loudness thread would. */
inline void measureSine (OvrajuceLoudnessAudioProcessor& processor, int channel, float amplitude,
                         double seconds)
{
    const auto total = (int64_t) (seconds * sampleRate);
    int64_t sinceLastPass = 0;

    for (int64_t start = 0; start < total; start += blockSize)
    {
        auto block = silentBlock (6);
        TestSignals::writeSine (block, channel, 997.0, sampleRate, amplitude, start);
        process (processor, block);
        sinceLastPass += blockSize;

        if (sinceLastPass >= (int64_t) (sampleRate / 10))
        {
            processor.loudnessModule.computeLoudness();
            sinceLastPass = 0;
        }
    }

    // Publish what the last pass produced.
    auto block = silentBlock (6, 1);
    process (processor, block);
}

inline ChannelLayout layoutOf (std::array<int, 6> channels)
{
    ChannelLayout layout;
    layout.channels = channels;
    return layout;
}
} // namespace ProcessorTestHelpers
