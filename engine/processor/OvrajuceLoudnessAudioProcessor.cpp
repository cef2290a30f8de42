#include "OvrajuceLoudnessAudioProcessor.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <thread>

namespace
{
constexpr float downmixGain = 0.7071f;
constexpr float correlationFloorRms = 0.0001f;
constexpr int numParameters = 17;
constexpr int loudnessThreadStopTimeoutMs = 1000;
constexpr int rollOverCheckIntervalMs = 200;
constexpr double secondsPerLogFile = 86400.0;

const char* const stateTag = "MYPLUGINSETTINGS";
constexpr uint32_t stateMagic = 0x21324356; // "VC2!" read as little-endian
constexpr int stateHeaderSize = 8;

// Slots L, R, C, LFE, LS, RS.
enum Slot
{
    slotL,
    slotR,
    slotC,
    slotLFE,
    slotLS,
    slotRS
};

constexpr std::array<std::pair<int, int>, 6> correlationPairs { {
    { slotL, slotR },
    { slotL, slotC },
    { slotR, slotC },
    { slotLS, slotRS },
    { slotL, slotLS },
    { slotR, slotRS },
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

// Every float field is stored under its name but the run state, which a
// restored session must not take over.
bool isStoredSetting (const SettingsSnapshot::FloatField& setting) noexcept
{
    return setting.field != &SettingsSnapshot::isMeasuring;
}

constexpr int stereoStateParameter = 16;

// Replaces every byte that does not belong to a well-formed UTF-8 sequence by
// '?'. The framework's decoder trusts its input: an overlong or cut sequence
// makes it write past the string it allocates.
void replaceInvalidUtf8 (uint8_t* text, size_t size) noexcept
{
    size_t i = 0;

    while (i < size)
    {
        const auto lead = text[i];
        size_t length = 0;
        uint8_t low = 0x80, high = 0xbf; // allowed range of the second byte

        if (lead < 0x80)
            length = 1;
        else if (lead >= 0xc2 && lead <= 0xdf)
            length = 2;
        else if (lead >= 0xe0 && lead <= 0xef)
        {
            length = 3;
            low = lead == 0xe0 ? 0xa0 : 0x80;
            high = lead == 0xed ? 0x9f : 0xbf;
        }
        else if (lead >= 0xf0 && lead <= 0xf4)
        {
            length = 4;
            low = lead == 0xf0 ? 0x90 : 0x80;
            high = lead == 0xf4 ? 0x8f : 0xbf;
        }

        bool valid = length > 0 && i + length <= size;

        for (size_t k = 1; valid && k < length; ++k)
        {
            const auto byte = text[i + k];
            valid = k == 1 ? (byte >= low && byte <= high) : (byte >= 0x80 && byte <= 0xbf);
        }

        if (valid)
        {
            i += length;
        }
        else
        {
            text[i] = '?';
            ++i;
        }
    }
}

// The outer element of a stored state. Only the outer element is parsed: the
// state has no children, and a corrupt block must not drive the parser into
// deep recursion.
std::unique_ptr<juce::XmlElement> unwrapState (const void* data, int sizeInBytes)
{
    if (data == nullptr || sizeInBytes <= stateHeaderSize
        || juce::ByteOrder::littleEndianInt (data) != stateMagic)
        return {};

    const auto storedLength = juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (data, 4));

    if (storedLength == 0)
        return {};

    const auto textLength =
        (size_t) juce::jmin ((int64_t) storedLength, (int64_t) sizeInBytes - stateHeaderSize);

    // A private zero-terminated copy: the text ends at the first zero byte and
    // is made valid UTF-8, so that decoding stays inside it.
    juce::MemoryBlock text (textLength + 1, true);
    text.copyFrom (juce::addBytesToPointer (data, stateHeaderSize), 0, textLength);
    auto* bytes = static_cast<uint8_t*> (text.getData());
    replaceInvalidUtf8 (bytes, std::strlen (reinterpret_cast<const char*> (bytes)));

    juce::XmlDocument document (
        juce::String (juce::CharPointer_UTF8 (static_cast<const char*> (text.getData()))));
    return document.getDocumentElement (true);
}

const MeasurementClock& getSystemClock() noexcept
{
    static const SystemMeasurementClock systemClock;
    return systemClock;
}

// Date and time as the report shows them: 6 Dec 2026 14:30:00.
juce::String toReportText (juce::Time time) { return time.toString (true, true, true, true); }

std::unique_ptr<juce::XmlElement> makeStateElement (const SettingsSnapshot& settings,
                                                    const ChannelLayout& inputs, const ChannelLayout& outputs)
{
    auto xml = std::make_unique<juce::XmlElement> (stateTag);

    for (const auto& setting : SettingsSnapshot::floatFields)
        if (isStoredSetting (setting))
            xml->setAttribute (setting.name, (double) (settings.*setting.field).get());

    xml->setAttribute ("settingsInputLayout", inputs.toText());
    xml->setAttribute ("settingsOutputLayout", outputs.toText());
    xml->setAttribute ("logFilePath", settings.logFilePath);
    xml->setAttribute ("logFileName", settings.logFileName);
    return xml;
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
    clock = &getSystemClock();

    loudnessThread.startThread();
}

OvrajuceLoudnessAudioProcessor::~OvrajuceLoudnessAudioProcessor()
{
    stopTimer();
    stopMeasurementLog();
    loudnessThread.removeTimeSliceClient (&loudnessModule);
    loudnessThread.stopThread (loudnessThreadStopTimeoutMs);
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
}

void OvrajuceLoudnessAudioProcessor::releaseResources()
{
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

    loudnessResults = loudnessModule.results;

    if (scopeFeed.fifo != nullptr)
        scopeFeed.fifo->write (workBuffer);

    publishNewValues (numBlockChannels);
    measureTruePeaks();

    if (numBlockChannels > 0 && numSamples > 0)
        routeOutputs (buffer, numInputs, inputs, outputs);

    publishSoundField (numBlockChannels);
    publishCorrelations (numSamples);
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

    for (auto slot : { slotC, slotLS, slotRS })
        sixSlots.applyGain (slot, 0, numSamples, downmixGain);

    for (auto [target, surround] : { std::pair<int, int> { slotL, slotLS }, { slotR, slotRS } })
    {
        sixSlots.addFrom (target, 0, sixSlots, slotC, 0, numSamples);
        sixSlots.addFrom (target, 0, sixSlots, surround, 0, numSamples);
    }

    for (auto slot : { slotC, slotLFE, slotLS, slotRS })
        sixSlots.clear (slot, 0, numSamples);
}

void OvrajuceLoudnessAudioProcessor::publishNewValues (int numBlockChannels) noexcept
{
    auto& display = displaySnapshot;

    if (loudnessModule.momentaryUpdated.get())
    {
        const float momentary = loudnessResults.momentaryLoudness;
        display.momentaryLoudness = momentary;
        display.momentaryLoudnessPix = quantisedPosition (roundToOneDecimal (momentary), 0);
        logMomentary();
        display.programLoudness = roundToOneDecimal (loudnessResults.integratedLoudness);

        for (int slot = 0; slot < juce::jmin (numBlockChannels, numSlots); ++slot)
            channelMomentaryLoudness[(size_t) slot] =
                loudnessModule.channelMomentaryLevels[(size_t) slot].get();
    }

    if (loudnessModule.shortTermUpdated.get())
    {
        const float shortTerm = loudnessResults.shortTermLoudness;
        const auto quantised = [this] (float level) {
            return quantisedPosition (roundToOneDecimal (level), 0);
        };

        display.shortTermLoudness = shortTerm;
        display.arrowSliderValue = quantised (shortTerm);
        logShortTerm();
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

    logTruePeak();

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
    for (size_t pair = 0; pair < correlationPairs.size(); ++pair)
    {
        // Read straight from the slots: copying each pair first costs more
        // than the correlation itself.
        displaySnapshot.vurnCorr[pair] =
            calculateCorrelation (workBuffer.getReadPointer (correlationPairs[pair].first),
                                  workBuffer.getReadPointer (correlationPairs[pair].second), numSamples);
    }
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

// The editor is not built yet; createEditor lives with the user interface.
bool OvrajuceLoudnessAudioProcessor::hasEditor() const { return false; }

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
    resetDisplayValues();
    maxMomentaryLoudness = levelFloor;
    maxShortTermLoudness = levelFloor;
    maxTruePeak = levelFloor;
    loudnessModule.resetMeasurement();
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
juce::String OvrajuceLoudnessAudioProcessor::getDefaultLogFilePath()
{
    static const juce::String path = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory)
                                         .getChildFile ("Tamvo")
                                         .getChildFile ("ZELX")
                                         .getFullPathName();
    return path;
}

juce::String OvrajuceLoudnessAudioProcessor::getDefaultLogFileName()
{
    static const juce::String name = "ZELX51Log";
    return name;
}

void OvrajuceLoudnessAudioProcessor::restoreDefaultSettings()
{
    settings = SettingsSnapshot();
    settings.logFilePath = getDefaultLogFilePath();
    settings.logFileName = getDefaultLogFileName();
}

//==============================================================================
void OvrajuceLoudnessAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    const auto text = makeStateElement (settings, savedInputLayout, savedOutputLayout)
                          ->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader());
    const auto numBytes = text.getNumBytesAsUTF8();

    destData.reset();
    juce::MemoryOutputStream out (destData, false);
    out.writeInt ((int) stateMagic);
    out.writeInt ((int) numBytes);
    out.write (text.toRawUTF8(), numBytes);
    out.writeByte (0);
}

void OvrajuceLoudnessAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    const auto xml = unwrapState (data, sizeInBytes);

    if (xml == nullptr)
    {
        restoreDefaultSettings();
        return;
    }

    if (! xml->getTagName().equalsIgnoreCase (stateTag))
        return;

    for (const auto& setting : SettingsSnapshot::floatFields)
    {
        if (! isStoredSetting (setting))
            continue;

        auto& field = settings.*setting.field;
        const double stored = xml->getDoubleAttribute (setting.name, (double) field.get());

        // Only a finite number that a float can hold replaces the setting.
        if (std::isfinite (stored) && std::abs (stored) <= (double) std::numeric_limits<float>::max())
            field = (float) stored;
    }

    setInputLayout (ChannelLayout::fromText (xml->getStringAttribute ("settingsInputLayout")));
    setOutputLayout (ChannelLayout::fromText (xml->getStringAttribute ("settingsOutputLayout")));
    settings.logFilePath = xml->getStringAttribute ("logFilePath", settings.logFilePath);
    settings.logFileName = xml->getStringAttribute ("logFileName", settings.logFileName);
}

//==============================================================================
void OvrajuceLoudnessAudioProcessor::timerCallback()
{
    oscRemote.setDisplayValues (displaySnapshot);
    oscRemote.setSettings (settings);
    oscRemote.sendToAll();
}

//==============================================================================
// The audio thread reaches the logger only inside useLogger: it counts itself
// in before it loads the pointer and out when it is done; a thread that deletes
// the logger first clears the pointer, then waits for the count to drop. Both
// sides are sequentially consistent, so either the deleter sees the count or
// the audio thread sees the cleared pointer.
template <typename Callback>
void OvrajuceLoudnessAudioProcessor::useLogger (Callback&& callback) noexcept
{
    loggerUsers.fetch_add (1);

    if (auto* logger = activeLogger.load())
        callback (*logger);

    loggerUsers.fetch_sub (1);
}

std::unique_ptr<OVRAMeasurementLogger> OvrajuceLoudnessAudioProcessor::detachLogger() noexcept
{
    activeLogger.store (nullptr);

    // The audio thread holds the logger only for a few calls that neither
    // block nor allocate, so this wait is short.
    while (loggerUsers.load() != 0)
        std::this_thread::yield();

    return std::move (measurementLogger);
}

juce::StringRef OvrajuceLoudnessAudioProcessor::getLoudnessUnit() const noexcept
{
    return settings.measurementStandard.get() == 0.0f ? "LUFS" : "LKFS";
}

//==============================================================================
juce::File OvrajuceLoudnessAudioProcessor::buildLogFilePath()
{
    const auto start = clock.get()->now();
    measurementStartTime = start;

    juce::String stamp;
    stamp << start.getDayOfMonth() << "_" << juce::Time::getMonthName (start.getMonth(), true) << "_"
          << start.getYear() << "_" << start.getHours() << "_" << start.getMinutes() << "_"
          << start.getSeconds();

    const auto folderPath =
        settings.logFilePath.isNotEmpty() ? settings.logFilePath : getDefaultLogFilePath();
    const auto name = settings.logFileName.isNotEmpty() ? settings.logFileName : getDefaultLogFileName();
    const auto baseName = name + "_" + stamp;

    // An absolute folder stays as it is; a relative one must not end up as an invalid File.
    const auto folder = juce::File::getCurrentWorkingDirectory().getChildFile (folderPath);
    auto report = folder.getChildFile (baseName + ".xml");

    // A second log started within the same second must neither replace the
    // first one's report nor append to its CSV log.
    for (int copy = 2; report.exists(); ++copy)
        report = folder.getChildFile (baseName + " (" + juce::String (copy) + ").xml");

    return report;
}

void OvrajuceLoudnessAudioProcessor::startMeasurementLog()
{
    // The previous log is closed first (deleting it writes its files a last
    // time, without stop values): two loggers never write at once, and no
    // maximum of the old log reaches the new one.
    detachLogger().reset();

    maxMomentaryLoudness = levelFloor;
    maxShortTermLoudness = levelFloor;
    maxTruePeak = levelFloor;

    const auto reportFile = buildLogFilePath();
    std::fputs (reportFile.getFullPathName().toRawUTF8(), stdout);
    std::fflush (stdout);

    auto logger = std::make_unique<OVRAMeasurementLogger>();
    logger->startReport (reportFile);
    logger->xmlLogger.setElementAttribute ({}, "UserSelectedTitle", "value", "ZEL51Log");
    logger->xmlLogger.setElementAttribute ("MeasurementInterval", "StartTime", "value",
                                           toReportText (measurementStartTime.get()));

    // Written again at once, so that no report on disk lacks its start.
    logger->xmlLogger.writeReport();

    measurementLogger = std::move (logger);
    rollOverDue = false;
    activeLogger.store (measurementLogger.get());
    rollOverTimer.startTimer (rollOverCheckIntervalMs);
}

void OvrajuceLoudnessAudioProcessor::stopMeasurementLog()
{
    if (measurementLogger == nullptr)
        return;

    rollOverTimer.stopTimer();

    // Taken from the audio thread before the stop values go in, so that no
    // maximum arrives after them.
    auto logger = detachLogger();
    auto& report = logger->xmlLogger;
    const auto stopTime = clock.get()->now();

    report.setElementAttribute ("MeasurementInterval", "StopTime", "value", toReportText (stopTime));
    report.setElementAttribute ("MeasurementInterval", "UpTime", "value",
                                (stopTime - measurementStartTime.get()).getDescription ("0"));
    logger->setIntegratedLoudness (displaySnapshot.programLoudness.get(), getLoudnessUnit());
    report.setElementAttribute ("IntegratedMeasurements", "LoudnessRange", "value",
                                juce::String ((double) displaySnapshot.loudnessRange.get(), 1));
    report.setElementAttribute ("IntegratedMeasurements", "LoudnessRange", "unit", "LU");

    // Writes the remaining CSV lines and the report a last time.
    logger.reset();
}

//==============================================================================
void OvrajuceLoudnessAudioProcessor::logMomentary() noexcept
{
    useLogger ([this] (OVRAMeasurementLogger& logger) {
        const auto now = clock.get()->now();
        const float momentary = roundToOneDecimal (displaySnapshot.momentaryLoudness.get());
        logger.csvLogger.pushEvent ({ LogEvent::momentaryLoudness, momentary, now });

        // Rounded values are compared, so that an equal maximum keeps the time it was first reached.
        if (momentary > maxMomentaryLoudness.get())
        {
            maxMomentaryLoudness = momentary;
            maxMomentaryTime = now;
            logger.setMaxMomentary (momentary, getLoudnessUnit(), now);
        }

        // The roll-over makes files and a thread, which the audio thread
        // must not; posting it to the message queue (callAsync, an
        // AsyncUpdater) locks and allocates, so a message-thread timer
        // polls this flag instead.
        if (measurementStartTime.get() + juce::RelativeTime::seconds (secondsPerLogFile) < now)
            rollOverDue = true;
    });
}

void OvrajuceLoudnessAudioProcessor::logShortTerm() noexcept
{
    useLogger ([this] (OVRAMeasurementLogger& logger) {
        const auto now = clock.get()->now();
        const float shortTerm = roundToOneDecimal (displaySnapshot.shortTermLoudness.get());
        logger.csvLogger.pushEvent ({ LogEvent::shortTermLoudness, shortTerm, now });

        if (shortTerm > maxShortTermLoudness.get())
        {
            maxShortTermLoudness = shortTerm;
            logger.setMaxShortTerm (shortTerm, getLoudnessUnit(), now);
        }
    });
}

void OvrajuceLoudnessAudioProcessor::logTruePeak() noexcept
{
    useLogger ([this] (OVRAMeasurementLogger& logger) {
        float loudest = -std::numeric_limits<float>::infinity();

        for (const auto& level : displaySnapshot.truePeakValuesPerChannel)
            loudest = juce::jmax (loudest, level.get());

        const float rounded = roundToOneDecimal (loudest);

        if (rounded > maxTruePeak.get())
        {
            const auto now = clock.get()->now();
            maxTruePeak = rounded;
            maxTruePeakTime = now;
            logger.setMaxTruePeak (rounded, "dBTP", now);
        }
    });
}

void OvrajuceLoudnessAudioProcessor::rollOverIfDue()
{
    if (! rollOverDue.exchange (false))
        return;

    // The flag may be older than a restart of the log: the rule is checked again.
    const auto dayEnd = measurementStartTime.get() + juce::RelativeTime::seconds (secondsPerLogFile);

    if (measurementLogger == nullptr || ! (dayEnd < clock.get()->now()))
        return;

    stopMeasurementLog();
    resetMeasurement();
    startMeasurementLog();
}
