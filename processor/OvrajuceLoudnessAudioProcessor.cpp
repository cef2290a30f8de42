#include "OvrajuceLoudnessAudioProcessor.h"

#include "DiagnosticPrinter.h"
#include "ProcessorState.h"
#include "VectorPath.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace
{
constexpr float downmixGain = 0.7071f;
constexpr float correlationFloorRms = 0.0001f;
constexpr int numParameters = 17;
constexpr int loudnessThreadStopTimeoutMs = 1000;
constexpr int printedOutputTimeoutMs = 500;

constexpr std::array<std::pair<int, int>, Slots::count> correlationPairs { {
    { Slots::L, Slots::R },
    { Slots::L, Slots::C },
    { Slots::R, Slots::C },
    { Slots::LS, Slots::RS },
    { Slots::L, Slots::LS },
    { Slots::R, Slots::RS },
} };

juce::AudioPlayHead::CurrentPositionInfo toCurrentPositionInfo (const juce::AudioPlayHead::PositionInfo& pos)
{
    juce::AudioPlayHead::CurrentPositionInfo info;

    if (const auto sig = pos.getTimeSignature())
    {
        info.timeSigNumerator = sig->numerator;
        info.timeSigDenominator = sig->denominator;
    }

    if (const auto loop = pos.getLoopPoints())
    {
        info.ppqLoopStart = loop->ppqStart;
        info.ppqLoopEnd = loop->ppqEnd;
    }

    if (const auto frame = pos.getFrameRate())
        info.frameRate = *frame;

    if (const auto seconds = pos.getTimeInSeconds())
        info.timeInSeconds = *seconds;

    if (const auto barStart = pos.getPpqPositionOfLastBarStart())
        info.ppqPositionOfLastBarStart = *barStart;

    if (const auto ppq = pos.getPpqPosition())
        info.ppqPosition = *ppq;

    if (const auto origin = pos.getEditOriginTime())
        info.editOriginTime = *origin;

    if (const auto bpm = pos.getBpm())
        info.bpm = *bpm;

    if (const auto samples = pos.getTimeInSamples())
        info.timeInSamples = *samples;

    info.isPlaying = pos.getIsPlaying();
    info.isRecording = pos.getIsRecording();
    info.isLooping = pos.getIsLooping();
    return info;
}

constexpr int stereoStateParameter = 16;

/** The reading from a pair's single-precision sums of squares and products. */
float correlationFromSums (float sll, float srr, float slr, int numSamples) noexcept
{
    const float rmsL = std::sqrt (sll / (float) numSamples);
    const float rmsR = std::sqrt (srr / (float) numSamples);

    // The comparisons are false for NaN, which therefore reads as uncorrelated
    // silence rather than a NaN on the meter.
    if (! (rmsL >= correlationFloorRms && rmsR >= correlationFloorRms))
        return 1.0f;

    const float correlation = slr / std::sqrt (sll * srr);

    // Sums that overflowed to infinity give NaN here; read them the same way.
    if (std::isnan (correlation))
        return 1.0f;

    return juce::jlimit (-1.0f, 1.0f, correlation);
}

using Floats4 = float __attribute__ ((vector_size (16)));
using Floats8 = float __attribute__ ((vector_size (32)));

/** Lanes of the pairs' sums: the six pairs, padded to a whole AVX vector. */
constexpr int pairLanes = 8;

/** Adds n samples of each lane's pair of channels to the lane's sums of
    l * l, r * r and l * r, each in sample order. The additions' latency
    leaves room to gather the lanes in the same loop. */
template <typename Floats>
inline __attribute__ ((always_inline)) void
addPairProducts (const float* const* lefts, const float* const* rights, int n, float* sums) noexcept
{
    constexpr int lanes = (int) (sizeof (Floats) / sizeof (float));
    constexpr int vectors = pairLanes / lanes;
    Floats ll[vectors], rr[vectors], lr[vectors];
    std::memcpy (ll, sums, sizeof (ll));
    std::memcpy (rr, sums + pairLanes, sizeof (rr));
    std::memcpy (lr, sums + 2 * pairLanes, sizeof (lr));

    for (int i = 0; i < n; ++i)
    {
        for (int v = 0; v < vectors; ++v)
        {
            Floats l, r;

            for (int lane = 0; lane < lanes; ++lane)
            {
                l[lane] = lefts[v * lanes + lane][i];
                r[lane] = rights[v * lanes + lane][i];
            }

            ll[v] = ll[v] + l * l;
            rr[v] = rr[v] + r * r;
            lr[v] = lr[v] + l * r;
        }
    }

    std::memcpy (sums, ll, sizeof (ll));
    std::memcpy (sums + pairLanes, rr, sizeof (rr));
    std::memcpy (sums + 2 * pairLanes, lr, sizeof (lr));
}

using PairProductAdder = void (*) (const float* const*, const float* const*, int, float*) noexcept;

void addPairProductsSse2 (const float* const* lefts, const float* const* rights, int n, float* sums) noexcept
{
    addPairProducts<Floats4> (lefts, rights, n, sums);
}

__attribute__ ((target ("avx"))) void
addPairProductsAvx (const float* const* lefts, const float* const* rights, int n, float* sums) noexcept
{
    addPairProducts<Floats8> (lefts, rights, n, sums);
}
} // namespace

//==============================================================================
OvrajuceLoudnessAudioProcessor::OvrajuceLoudnessAudioProcessor (juce::AudioDeviceManager* manager)
    : juce::AudioProcessor (
        BusesProperties()
            .withInput ("Input", juce::AudioChannelSet::discreteChannels (numSlots), true)
            .withOutput ("Output", juce::AudioChannelSet::discreteChannels (numSlots), true))
    , deviceManager (manager)
{
    for (auto& level : blockTruePeaks)
        level = levelFloor;

    for (auto& level : channelMomentaryLoudness)
        level = levelFloor;

    restoreDefaultSettings();
    resetDisplayValues();
    loudnessResults.reset();

    inputLayout = ChannelLayout().pack();
    outputLayout = ChannelLayout().pack();

    loudnessThread.startThread();
}

OvrajuceLoudnessAudioProcessor::~OvrajuceLoudnessAudioProcessor()
{
    stopTimer();
    stopMeasurementLog();
    loudnessThread.removeTimeSliceClient (&loudnessModule);
    loudnessThread.stopThread (loudnessThreadStopTimeoutMs);

    // What was printed reaches the output before the program ends, unless
    // the output is stuck.
    DiagnosticPrinter::waitUntilWritten (printedOutputTimeoutMs);
}

//==============================================================================
const juce::String OvrajuceLoudnessAudioProcessor::getName() const { return "ZEL5.1Extended"; }

void OvrajuceLoudnessAudioProcessor::prepareToPlay (double sampleRate, int samplesPerBlock)
{
    samplesPerBlock = juce::jmax (0, samplesPerBlock);
    lastSampleRate = sampleRate;
    lastBlockSize = samplesPerBlock;

    // The module's FIFOs are rebuilt below; no pass may be reading them.
    loudnessThread.removeTimeSliceClient (&loudnessModule);

    if (loudnessModule.sampleRate != sampleRate)
    {
        loudnessModule.sampleRate = sampleRate;
        loudnessModule.setupKWeighting();
        loudnessModule.prepare();
    }

    loudnessModule.inputBuffer.setSize (numSlots, samplesPerBlock);
    truePeakMeter.prepare (sampleRate, samplesPerBlock);
    scopeFeed.prepare (sampleRate, samplesPerBlock);

    // Everything processBlock sizes per block is allocated here, so that a
    // block of up to samplesPerBlock frames allocates nothing.
    workBuffer.setSize (numSlots, samplesPerBlock);
    outputBuffer.setSize (juce::jmax (numSlots, getTotalNumInputChannels(), getTotalNumOutputChannels()),
                          samplesPerBlock);

    loudnessThread.addTimeSliceClient (&loudnessModule);
    audioRunning = true;
}

void OvrajuceLoudnessAudioProcessor::releaseResources()
{
    // May run on the device's own thread (a JACK server that stops closes the
    // device from there), beside a reset on the message thread: a reset left
    // for a block that will not come is carried out here. Both sides set
    // their flag before reading the other's, so one of them takes it.
    audioRunning = false;

    if (readingsResetRequested.exchange (false))
        clearReadings();

    loudnessThread.removeTimeSliceClient (&loudnessModule);
}

bool OvrajuceLoudnessAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    // Any device with up to six channels each way; the layouts say which
    // channel carries which slot.
    if (layouts.inputBuses.size() != 1 || layouts.outputBuses.size() != 1)
        return false;

    return layouts.getMainInputChannels() <= numSlots && layouts.getMainOutputChannels() <= numSlots;
}

//==============================================================================
void OvrajuceLoudnessAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    // The logger first: a block that sees a log started after a reset also
    // sees that reset's request below.
    measurementLog.beginBlock();

    if (readingsResetRequested.exchange (false))
        clearReadings();

    const int numSamples = buffer.getNumSamples();
    const int numBlockChannels = buffer.getNumChannels();
    const int numInputs = juce::jmin (getTotalNumInputChannels(), numBlockChannels);
    const auto inputs = getInputLayout();
    const auto outputs = getOutputLayout();

    lastBlockSize = numSamples;
    readTransport (numSamples);

    const bool gatingOff = juce::roundToInt (settings.gatingOffFlag.get()) != 0;
    loudnessModule.momentaryHistogram.gatingEnabled = ! gatingOff;
    loudnessModule.shortTermHistogram.gatingEnabled = ! gatingOff;

    workBuffer.setSize (numSlots, numSamples, false, false, true);
    workBuffer.clear();

    routeInputs (buffer, numInputs, inputs);

    if (settings.stereoMixdownFlag.get() != 0.0f)
        downmixToStereo (workBuffer);

    // A module that was never prepared has no windows to fill.
    if (loudnessModule.momentaryFifo != nullptr && loudnessModule.shortTermFifo != nullptr)
    {
        auto& moduleInput = loudnessModule.inputBuffer;
        moduleInput.setSize (workBuffer.getNumChannels(), numSamples, false, false, true);

        for (int slot = 0; slot < workBuffer.getNumChannels(); ++slot)
            moduleInput.copyFrom (slot, 0, workBuffer, slot, 0, numSamples);

        loudnessModule.pushSamples();
    }

    // The flags before the results: the module stores a pass's results before
    // its flags, so results read after a set flag are at least that pass's.
    const bool newMomentary = loudnessModule.momentaryUpdated.load (std::memory_order_acquire);
    const bool newShortTerm = loudnessModule.shortTermUpdated.load (std::memory_order_acquire);
    loudnessResults = loudnessModule.results;

    if (scopeFeed.fifo != nullptr)
        scopeFeed.fifo->write (workBuffer);

    publishNewValues (numBlockChannels, newMomentary, newShortTerm);
    measureTruePeaks();

    if (numBlockChannels > 0 && numSamples > 0)
        routeOutputs (buffer, numInputs, inputs, outputs);

    publishSoundField (numBlockChannels);
    publishCorrelations (numSamples);
    measurementLog.endBlock();
}

void OvrajuceLoudnessAudioProcessor::readTransport (int numSamples) noexcept
{
    bool moving = false;
    bool havePosition = false;

    if (auto* playHead = getPlayHead())
    {
        if (const auto position = playHead->getPosition())
        {
            const auto info = toCurrentPositionInfo (*position);
            moving = (info != lastPosInfo);
            lastPosInfo = info;
            havePosition = true;
        }
    }

    if (! havePosition)
        lastPosInfo.resetToDefault();

    if (juce::roundToInt (settings.followTransportFlag.get()) != 0)
    {
        settings.isMeasuring = moving ? 1.0f : 0.0f;
        loudnessModule.setIntegrating (moving ? 1 : 0);

        if (moving)
            displaySnapshot.processedSamplesCounter = displaySnapshot.processedSamplesCounter + numSamples;
    }
    else
    {
        // Any value other than 0 counts as measuring, for the counter and the
        // histograms alike, so the two can never disagree.
        const bool measuring = settings.isMeasuring.get() != 0.0f;
        loudnessModule.setIntegrating (measuring ? 1 : 0);

        if (measuring)
            displaySnapshot.processedSamplesCounter = displaySnapshot.processedSamplesCounter + numSamples;
    }
}

void OvrajuceLoudnessAudioProcessor::routeInputs (const juce::AudioBuffer<float>& block, int numInputs,
                                                  ChannelLayout layout) noexcept
{
    const int numSamples = block.getNumSamples();

    for (int slot = 0; slot < numSlots; ++slot)
    {
        const int channel = layout[slot];

        if (channel >= 0 && channel < numInputs)
            workBuffer.copyFrom (slot, 0, block, channel, 0, numSamples);
    }
}

void OvrajuceLoudnessAudioProcessor::downmixToStereo (juce::AudioBuffer<float>& sixSlots) noexcept
{
    if (sixSlots.getNumChannels() < numSlots)
        return;

    const int numSamples = sixSlots.getNumSamples();

    for (auto slot : { Slots::C, Slots::LS, Slots::RS })
        sixSlots.applyGain (slot, 0, numSamples, downmixGain);

    for (auto [target, surround] : { std::pair<int, int> { Slots::L, Slots::LS }, { Slots::R, Slots::RS } })
    {
        sixSlots.addFrom (target, 0, sixSlots, Slots::C, 0, numSamples);
        sixSlots.addFrom (target, 0, sixSlots, surround, 0, numSamples);
    }

    for (auto slot : { Slots::C, Slots::LFE, Slots::LS, Slots::RS })
        sixSlots.clear (slot, 0, numSamples);
}

void OvrajuceLoudnessAudioProcessor::publishNewValues (int numBlockChannels, bool newMomentary,
                                                       bool newShortTerm) noexcept
{
    auto& display = displaySnapshot;

    if (newMomentary)
    {
        const float momentary = loudnessResults.momentaryLoudness;
        display.momentaryLoudness = momentary;
        display.momentaryLoudnessPix = quantisedPosition (roundToOneDecimal (momentary), 0);
        measurementLog.logMomentary();
        display.programLoudness = roundToOneDecimal (loudnessResults.integratedLoudness);

        for (int slot = 0; slot < juce::jmin (numBlockChannels, numSlots); ++slot)
            channelMomentaryLoudness[(size_t) slot] =
                loudnessModule.channelMomentaryLevels[(size_t) slot].get();
    }

    if (newShortTerm)
    {
        const float shortTerm = loudnessResults.shortTermLoudness;
        const auto quantised = [this] (float level) {
            return quantisedPosition (roundToOneDecimal (level), 0);
        };

        display.shortTermLoudness = shortTerm;
        display.arrowSliderValue = quantised (shortTerm);
        measurementLog.logShortTerm();
        display.loudnessRange = roundToOneDecimal (loudnessResults.loudnessRange);
        display.loudnessRangeVectorMax = quantised (loudnessResults.loudnessRangeHigh);
        display.loudnessRangeVectorMin = quantised (loudnessResults.loudnessRangeLow);
    }
}

void OvrajuceLoudnessAudioProcessor::measureTruePeaks() noexcept
{
    auto& meterInput = truePeakMeter.workBuffer;
    const int numSamples = workBuffer.getNumSamples();
    meterInput.setSize (workBuffer.getNumChannels(), numSamples, false, false, true);

    for (int slot = 0; slot < workBuffer.getNumChannels(); ++slot)
        meterInput.copyFrom (slot, 0, workBuffer, slot, 0, numSamples);

    truePeakMeter.processBlock();

    for (int slot = 0; slot < numSlots; ++slot)
    {
        blockTruePeaks[(size_t) slot] = truePeakMeter.levels[(size_t) slot].get();
        updateTruePeakChannel (roundToOneDecimal (blockTruePeaks[(size_t) slot]), slot);
    }

    measurementLog.logTruePeak();

    const float scaleBottom = meterScales[MeterScales::truePeakRow].minDb;
    float loudest = scaleBottom;

    for (auto& level : blockTruePeaks)
    {
        level = juce::jmax (scaleBottom, level.get());
        loudest = juce::jmax (loudest, level.get());
    }

    if (roundToOneDecimal (loudest) > settings.truePeakMaxLevel.get())
        displaySnapshot.truePeakAlarm = 1;
}

void OvrajuceLoudnessAudioProcessor::updateTruePeakChannel (float roundedLevel, int slot) noexcept
{
    auto& display = displaySnapshot;
    const auto index = (size_t) slot;

    if (roundedLevel > settings.truePeakMaxLevel.get())
    {
        display.truePeakAlarmsPerChannel[index] = 1;
        display.truePeakAlarm = 1;
    }

    if (roundedLevel > display.truePeakValuesPerChannel[index].get())
        display.truePeakValuesPerChannel[index] = roundedLevel;

    display.truePeakValuesPerChannelPix[index] = quantisedPosition (roundedLevel, 1);
}

void OvrajuceLoudnessAudioProcessor::routeOutputs (juce::AudioBuffer<float>& block, int numInputs,
                                                   ChannelLayout inputs, ChannelLayout outputs) noexcept
{
    const int numSamples = block.getNumSamples();
    const int numChannels = block.getNumChannels();

    // The block as received is the source, so route into a scratch buffer
    // first; outputs that no slot names stay silent.
    outputBuffer.setSize (numChannels, numSamples, false, false, true);
    outputBuffer.clear();

    for (int slot = 0; slot < numSlots; ++slot)
    {
        const int source = inputs[slot];
        const int destination = outputs[slot];

        if (source >= 0 && source < numInputs && destination >= 0 && destination < numChannels)
            outputBuffer.copyFrom (destination, 0, block, source, 0, numSamples);
    }

    for (int channel = 0; channel < numChannels; ++channel)
        block.copyFrom (channel, 0, outputBuffer, channel, 0, numSamples);
}

void OvrajuceLoudnessAudioProcessor::publishSoundField (int numBlockChannels) noexcept
{
    const bool fromTruePeak = settings.vectroscopeInputDataFlag.get() == 0.0f;

    for (int slot = 0; slot < juce::jmin (numBlockChannels, numSlots); ++slot)
    {
        const auto index = (size_t) slot;
        displaySnapshot.vectroscopeValue[index] = fromTruePeak
                                                      ? levelToPosition (blockTruePeaks[index], 1)
                                                      : levelToPosition (channelMomentaryLoudness[index], 0);
    }
}

void OvrajuceLoudnessAudioProcessor::publishCorrelations (int numSamples) noexcept
{
    static_assert (correlationPairs.size() <= (size_t) pairLanes);

    if (numSamples <= 0)
    {
        for (size_t pair = 0; pair < correlationPairs.size(); ++pair)
            displaySnapshot.vurnCorr[pair] = 1.0f;

        return;
    }

    // All pairs at once, one per lane: each pair's sums are formed in sample
    // order, exactly as calculateCorrelation forms them. The spare lanes
    // repeat the first pair and are not read.
    const PairProductAdder add = VectorPath::useAvx() ? addPairProductsAvx : addPairProductsSse2;
    const float* lefts[pairLanes];
    const float* rights[pairLanes];
    float sums[3 * pairLanes] {};

    for (size_t lane = 0; lane < (size_t) pairLanes; ++lane)
    {
        const auto pair = correlationPairs[lane < correlationPairs.size() ? lane : 0];
        lefts[lane] = workBuffer.getReadPointer (pair.first);
        rights[lane] = workBuffer.getReadPointer (pair.second);
    }

    add (lefts, rights, numSamples, sums);

    for (size_t pair = 0; pair < correlationPairs.size(); ++pair)
        displaySnapshot.vurnCorr[pair] =
            correlationFromSums (sums[pair], sums[pairLanes + pair], sums[2 * pairLanes + pair], numSamples);
}

float OvrajuceLoudnessAudioProcessor::calculateCorrelation (const juce::AudioBuffer<float>& pair) noexcept
{
    if (pair.getNumChannels() < 2)
        return 1.0f;

    return calculateCorrelation (pair.getReadPointer (0), pair.getReadPointer (1), pair.getNumSamples());
}

float OvrajuceLoudnessAudioProcessor::calculateCorrelation (const float* left, const float* right,
                                                            int numSamples) noexcept
{
    if (numSamples <= 0)
        return 1.0f;

    // Single precision and in sample order throughout, as the meter defines
    // its reading.
    float sll = 0.0f, srr = 0.0f, slr = 0.0f;

    for (int i = 0; i < numSamples; ++i)
    {
        const float l = left[i], r = right[i];
        sll += l * l;
        srr += r * r;
        slr += l * r;
    }

    return correlationFromSums (sll, srr, slr, numSamples);
}

//==============================================================================
const juce::String OvrajuceLoudnessAudioProcessor::getInputChannelName (int channelIndex) const
{
    return juce::String (channelIndex + 1);
}

const juce::String OvrajuceLoudnessAudioProcessor::getOutputChannelName (int channelIndex) const
{
    return juce::String (channelIndex + 1);
}

bool OvrajuceLoudnessAudioProcessor::isInputChannelStereoPair (int) const { return true; }
bool OvrajuceLoudnessAudioProcessor::isOutputChannelStereoPair (int) const { return true; }
bool OvrajuceLoudnessAudioProcessor::silenceInProducesSilenceOut() const { return false; }
double OvrajuceLoudnessAudioProcessor::getTailLengthSeconds() const { return 0.0; }
bool OvrajuceLoudnessAudioProcessor::acceptsMidi() const { return false; }
bool OvrajuceLoudnessAudioProcessor::producesMidi() const { return false; }

// createEditor lives with the user interface.
bool OvrajuceLoudnessAudioProcessor::hasEditor() const { return true; }

//==============================================================================
int OvrajuceLoudnessAudioProcessor::getNumParameters() { return numParameters; }
const juce::String OvrajuceLoudnessAudioProcessor::getParameterName (int) { return {}; }
float OvrajuceLoudnessAudioProcessor::getParameter (int) { return 0.0f; }

const juce::String OvrajuceLoudnessAudioProcessor::getParameterText (int index)
{
    return juce::String (getParameter (index), 2);
}

// Settings change through setParameterValue only; a host's parameter write
// must not reach them.
void OvrajuceLoudnessAudioProcessor::setParameter (int, float) {}
bool OvrajuceLoudnessAudioProcessor::isParameterAutomatable (int) const { return false; }

int OvrajuceLoudnessAudioProcessor::getNumPrograms() { return 0; }
int OvrajuceLoudnessAudioProcessor::getCurrentProgram() { return 0; }
void OvrajuceLoudnessAudioProcessor::setCurrentProgram (int) {}
const juce::String OvrajuceLoudnessAudioProcessor::getProgramName (int) { return {}; }
void OvrajuceLoudnessAudioProcessor::changeProgramName (int, const juce::String&) {}

void OvrajuceLoudnessAudioProcessor::numChannelsChanged() {}

//==============================================================================
SettingsSnapshot OvrajuceLoudnessAudioProcessor::getSettings() const { return settings; }

void OvrajuceLoudnessAudioProcessor::setParameterValue (int index, float value)
{
    if (index == stereoStateParameter)
    {
        settings.stereoState = (value != 0.0f);
        return;
    }

    if (! juce::isPositiveAndBelow (index, SettingsSnapshot::numFloatFields))
        return;

    settings.*SettingsSnapshot::floatFields[(size_t) index].field = value;

    if (index == 0)
    {
        if (value != 0.0f)
            startMeasurementLog();
        else
            stopMeasurementLog();
    }
}

void OvrajuceLoudnessAudioProcessor::resetDisplayValues() noexcept { displaySnapshot.reset(); }

void OvrajuceLoudnessAudioProcessor::resetMeasurement()
{
    // The module first: once it returns, no pass publishes a value from
    // before the reset, so the block that clears the readings sees none.
    loudnessModule.resetMeasurement();

    // A block in flight may still publish and log what it read before; the
    // audio thread clears the readings at its next block, after that one.
    // Audio that has stopped, or stops meanwhile, leaves it to this thread or
    // to releaseResources.
    readingsResetRequested = true;

    if (! audioRunning && readingsResetRequested.exchange (false))
        clearReadings();
}

void OvrajuceLoudnessAudioProcessor::clearReadings() noexcept
{
    resetDisplayValues();
    measurementLog.clearMaxima();
}

//==============================================================================
void OvrajuceLoudnessAudioProcessor::setInputLayout (const ChannelLayout& chosen)
{
    savedInputLayout = chosen.normalised();
    inputLayout = savedInputLayout.toActive().pack();
}

void OvrajuceLoudnessAudioProcessor::setOutputLayout (const ChannelLayout& chosen)
{
    savedOutputLayout = chosen.normalised();
    outputLayout = savedOutputLayout.toActive().pack();
}

//==============================================================================
float OvrajuceLoudnessAudioProcessor::levelToPosition (float level, int truePeakFlag) const noexcept
{
    return meterScales.levelToPosition (level, truePeakFlag, settings.measurementStandard,
                                        settings.measurementScale);
}

int OvrajuceLoudnessAudioProcessor::levelToPixels (float level, int truePeakFlag) const noexcept
{
    return meterScales.levelToPixels (level, truePeakFlag, settings.measurementStandard,
                                      settings.measurementScale);
}

float OvrajuceLoudnessAudioProcessor::quantisedPosition (float level, int truePeakFlag) const noexcept
{
    const int height = truePeakFlag != 0 ? truePeakMeterHeight : meterHeight;
    return (float) levelToPixels (level, truePeakFlag) / (float) height;
}

//==============================================================================
void OvrajuceLoudnessAudioProcessor::restoreDefaultSettings()
{
    settings = SettingsSnapshot();
    settings.logFilePath = getDefaultLogFilePath();
    settings.logFileName = getDefaultLogFileName();
}

//==============================================================================
void OvrajuceLoudnessAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    ProcessorState::write (settings, savedInputLayout, savedOutputLayout, destData);
}

void OvrajuceLoudnessAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    restoreState (data, sizeInBytes);
}

bool OvrajuceLoudnessAudioProcessor::restoreState (const void* data, int sizeInBytes)
{
    auto inputs = savedInputLayout, outputs = savedOutputLayout;

    switch (ProcessorState::read (data, sizeInBytes, settings, inputs, outputs))
    {
        case ProcessorState::Outcome::unreadable:
            restoreDefaultSettings();
            return false;

        case ProcessorState::Outcome::foreign:
            return false;

        case ProcessorState::Outcome::restored:
            break;
    }

    setInputLayout (inputs);
    setOutputLayout (outputs);
    return true;
}

//==============================================================================
void OvrajuceLoudnessAudioProcessor::timerCallback()
{
    oscRemote.setDisplayValues (displaySnapshot);
    oscRemote.setSettings (settings);
    oscRemote.sendToAll();
}
