#include "OvrajuceLoudnessAudioProcessor.h"

#include "DiagnosticPrinter.h"
#include "ProcessorState.h"

namespace
{
constexpr int numParameters = 17;
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
    constexpr int loudnessThreadStopTimeoutMs = 1000;
    constexpr int printedOutputTimeoutMs = 500;

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

    // The time measured so far keeps the rate it was counted at; the counter
    // itself goes on counting samples. No block runs now, and the carry is
    // written before the rate, so a reader of the new rate finds it.
    if (const double previousRate = lastSampleRate; previousRate > 0.0 && sampleRate != previousRate)
    {
        auto& display = displaySnapshot;
        display.secondsAtEarlierRates = display.getMeasuredSamplesAt (previousRate) / previousRate;
        display.samplesAtEarlierRates = display.processedSamplesCounter.get();
    }

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

    // No block comes to update them: readings of a signal that is no longer
    // there would look live. The measurement's own figures stay, as they do
    // for a measurement that goes on once audio runs again.
    displaySnapshot.resetLiveReadings();

    // The editor's display timer is left running: the window's controls
    // follow a click or a preset only through its ticks, and a reset must
    // still clear what it shows. Nor may this thread, perhaps the device's,
    // reach an editor that the message thread may be deleting.
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
    const bool measuring = readTransport (numSamples);

    routeInputs (buffer, numInputs, inputs);

    if (settings.stereoMixdownFlag.get() != 0.0f)
        downmixToStereo (workBuffer);

    const auto newValues = measureLoudness();

    if (scopeFeed.fifo != nullptr)
        scopeFeed.fifo->write (workBuffer);

    publishNewValues (numBlockChannels, newValues);
    measureTruePeaks (measuring);

    if (numBlockChannels > 0 && numSamples > 0)
        routeOutputs (buffer, numInputs, inputs, outputs);

    publishSoundField (numBlockChannels);
    publishCorrelations();
    measurementLog.endBlock();
}

bool OvrajuceLoudnessAudioProcessor::readTransport (int numSamples) noexcept
{
    // JUCE's own conversion into the older record that lastPosInfo keeps.
    juce::AudioPlayHead::CurrentPositionInfo info;
    auto* playHead = getPlayHead();
    bool moving = false;

    if (playHead != nullptr && playHead->getCurrentPosition (info))
    {
        moving = (info != lastPosInfo);
        lastPosInfo = info;
    }
    else
    {
        lastPosInfo.resetToDefault();
    }

    // Any value other than 0 counts as measuring, for the counter and the
    // histograms alike, so the two can never disagree.
    const bool following = juce::roundToInt (settings.followTransportFlag.get()) != 0;
    const bool measuring = following ? moving : settings.isMeasuring.get() != 0.0f;

    if (following)
        settings.isMeasuring = moving ? 1.0f : 0.0f;

    loudnessModule.setIntegrating (measuring ? 1 : 0);

    if (measuring)
        displaySnapshot.processedSamplesCounter = displaySnapshot.processedSamplesCounter + numSamples;

    return measuring;
}

void OvrajuceLoudnessAudioProcessor::routeInputs (const juce::AudioBuffer<float>& block, int numInputs,
                                                  ChannelLayout layout) noexcept
{
    const int numSamples = block.getNumSamples();
    workBuffer.setSize (numSlots, numSamples, false, false, true);

    const auto fed = [&layout, numInputs] (int slot) { return layout[slot] >= 0 && layout[slot] < numInputs; };
    bool anyFed = false;

    for (int slot = 0; slot < numSlots; ++slot)
        anyFed = anyFed || fed (slot);

    // Only the slots that no channel feeds need clearing.
    if (! anyFed)
        workBuffer.clear();

    for (int slot = 0; slot < numSlots; ++slot)
    {
        if (fed (slot))
            workBuffer.copyFrom (slot, 0, block, layout[slot], 0, numSamples);
        else if (anyFed)
            workBuffer.clear (slot, 0, numSamples);
    }
}

OvrajuceLoudnessAudioProcessor::NewValues OvrajuceLoudnessAudioProcessor::measureLoudness() noexcept
{
    const bool gatingOff = juce::roundToInt (settings.gatingOffFlag.get()) != 0;
    loudnessModule.momentaryHistogram.gatingEnabled = ! gatingOff;
    loudnessModule.shortTermHistogram.gatingEnabled = ! gatingOff;

    // A module that was never prepared has no windows to fill.
    if (loudnessModule.windowFifo != nullptr)
        loudnessModule.pushSamples (workBuffer);

    // The flags before the results: the module stores a pass's results before
    // its flags, so results read after a set flag are at least that pass's.
    NewValues newValues;
    newValues.momentary = loudnessModule.momentaryUpdated.load (std::memory_order_acquire);
    newValues.shortTerm = loudnessModule.shortTermUpdated.load (std::memory_order_acquire);
    loudnessResults = loudnessModule.results;
    return newValues;
}

void OvrajuceLoudnessAudioProcessor::downmixToStereo (juce::AudioBuffer<float>& sixSlots) noexcept
{
    constexpr float downmixGain = 0.7071f;

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

void OvrajuceLoudnessAudioProcessor::publishNewValues (int numBlockChannels, NewValues newValues) noexcept
{
    auto& display = displaySnapshot;

    if (newValues.momentary)
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

    if (newValues.shortTerm)
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

void OvrajuceLoudnessAudioProcessor::measureTruePeaks (bool measuring) noexcept
{
    truePeakMeter.processBlock (workBuffer);
    float blockPeak = levelFloor;

    for (int slot = 0; slot < numSlots; ++slot)
    {
        blockTruePeaks[(size_t) slot] = truePeakMeter.levels[(size_t) slot].get();
        const float rounded = roundToOneDecimal (blockTruePeaks[(size_t) slot]);
        updateTruePeakChannel (rounded, slot);
        blockPeak = juce::jmax (blockPeak, rounded);
    }

    // The read-outs hold every block's peak, the report only the measured ones'.
    measurementLog.logTruePeak (measuring ? blockPeak : levelFloor);

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

    // Which input an output ends up with (a later slot wins), -1 for none.
    const auto sourceOf = [&] (int channel) {
        int found = -1;

        for (int slot = 0; slot < numSlots; ++slot)
            if (inputs[slot] >= 0 && inputs[slot] < numInputs && outputs[slot] == channel)
                found = inputs[slot];

        return found;
    };

    // An output that carries its own input is left as it is. The block as
    // received is the source of the others, so they are routed through a
    // scratch buffer; outputs that no slot names become silent.
    std::array<bool, numSlots> kept {};

    for (int channel = 0; channel < juce::jmin (numChannels, numSlots); ++channel)
        kept[(size_t) channel] = sourceOf (channel) == channel;

    const auto moved = [&kept] (int channel) { return channel >= numSlots || ! kept[(size_t) channel]; };

    outputBuffer.setSize (numChannels, numSamples, false, false, true);

    for (int channel = 0; channel < numChannels; ++channel)
    {
        if (! moved (channel))
            continue;

        if (const int source = sourceOf (channel); source >= 0)
            outputBuffer.copyFrom (channel, 0, block, source, 0, numSamples);
        else
            outputBuffer.clear (channel, 0, numSamples);
    }

    for (int channel = 0; channel < numChannels; ++channel)
        if (moved (channel))
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

void OvrajuceLoudnessAudioProcessor::publishCorrelations() noexcept
{
    const auto readings = ChannelCorrelation::measurePairs (workBuffer);

    for (size_t pair = 0; pair < readings.size(); ++pair)
        displaySnapshot.vurnCorr[pair] = readings[pair];
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
    JUCE_ASSERT_MESSAGE_THREAD

    if (index == stereoStateParameter)
    {
        settings.stereoState = (value != 0.0f);
        return;
    }

    if (! juce::isPositiveAndBelow (index, SettingsSnapshot::numFloatFields))
        return;

    settings.*SettingsSnapshot::floatFields[(size_t) index].field = value;

    if (index == isMeasuringParameter)
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
    JUCE_ASSERT_MESSAGE_THREAD

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
    JUCE_ASSERT_MESSAGE_THREAD

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
    JUCE_ASSERT_MESSAGE_THREAD

    oscRemote.setDisplayValues (displaySnapshot);
    oscRemote.setSettings (settings);
    oscRemote.sendToAll();
}
