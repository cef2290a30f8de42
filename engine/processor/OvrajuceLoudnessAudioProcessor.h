#pragma once

#include "ChannelLayout.h"
#include "DisplaySnapshot.h"
#include "LoudnessResults.h"
#include "MeasurementClock.h"
#include "MeterScales.h"
#include "OVRALoudnessModule.h"
#include "OVRAMeasurementLogger.h"
#include "OVRATruePeakMeter.h"
#include "RelaxedAtomic.h"
#include "ScopeFeed.h"
#include "SettingsSnapshot.h"
#include "ZELOSCStandalone.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <array>
#include <atomic>
#include <memory>

/** The meter's audio engine: takes the device's blocks (up to six channels),
    routes them into the slots L, R, C, LFE, LS, RS by the input layout,
    optionally mixes them down to stereo, feeds the loudness module, the scope
    feed and the true-peak meter, publishes the readings into displaySnapshot,
    and passes the unmixed input through to the outputs by the output layout.

    Threads: processBlock on the audio thread; everything else on the message
    thread; the loudness module's passes on "ZELX Loudness Thread". What the
    audio thread shares with the others is atomic; layouts reach it whole.

        OvrajuceLoudnessAudioProcessor processor (&deviceManager);
        processor.setPlayConfigDetails (6, 6, 44100.0, 512);
        processor.setInputLayout (ChannelLayout::fromText ("0;1;2;3;4;5;"));
*/
class OvrajuceLoudnessAudioProcessor : public juce::AudioProcessor, public juce::Timer
{
public:
    static constexpr int numSlots = ChannelLayout::numSlots;

    /** The device manager is the main window's; it is only handed on to the
        editor and may be null. */
    explicit OvrajuceLoudnessAudioProcessor (juce::AudioDeviceManager* deviceManager = nullptr);
    ~OvrajuceLoudnessAudioProcessor() override;

    //==============================================================================
    const juce::String getName() const override;

    void prepareToPlay (double sampleRate, int samplesPerBlock) override;
    void releaseResources() override;
    void processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer& midi) override;
    using juce::AudioProcessor::processBlock;

    bool isBusesLayoutSupported (const BusesLayout& layouts) const override;

    const juce::String getInputChannelName (int channelIndex) const override;
    const juce::String getOutputChannelName (int channelIndex) const override;
    bool isInputChannelStereoPair (int index) const override;
    bool isOutputChannelStereoPair (int index) const override;
    bool silenceInProducesSilenceOut() const override;
    double getTailLengthSeconds() const override;
    bool acceptsMidi() const override;
    bool producesMidi() const override;

    juce::AudioProcessorEditor* createEditor() override;
    bool hasEditor() const override;

    //==============================================================================
    using juce::AudioProcessor::getParameterName;
    using juce::AudioProcessor::getParameterText;

    int getNumParameters() override;
    const juce::String getParameterName (int index) override;
    float getParameter (int index) override;
    const juce::String getParameterText (int index) override;
    void setParameter (int index, float newValue) override;
    bool isParameterAutomatable (int index) const override;

    int getNumPrograms() override;
    int getCurrentProgram() override;
    void setCurrentProgram (int index) override;
    const juce::String getProgramName (int index) override;
    void changeProgramName (int index, const juce::String& newName) override;

    void getStateInformation (juce::MemoryBlock& destData) override;
    void setStateInformation (const void* data, int sizeInBytes) override;

    void numChannelsChanged() override;

    void timerCallback() override;

    //==============================================================================
    /** A value copy of the live settings. */
    SettingsSnapshot getSettings() const;

    /** Writes one settings field by index: 0 isMeasuring (and starts or stops
        the measurement log), 1 to 12 the numeric fields in their order with
        11 stereoMixdownFlag and 12 vectroscopeInputDataFlag, 16 stereoState
        (value != 0). Any other index does nothing. */
    void setParameterValue (int index, float value);

    /** Every display value to its reset value. */
    void resetDisplayValues() noexcept;

    /** The editor's reset: display values, the three maxima and the module's
        windows, filters, histograms and results. Leaves a running log running. */
    void resetMeasurement();

    //==============================================================================
    /** Starts a new measurement log (replacing a running one): clears the
        maxima, names the report after the start time, prints its path to
        standard output and writes the report's skeleton. Message thread. */
    void startMeasurementLog();

    /** Writes the stop values into the report and closes the log, writing
        every queued line. Does nothing while no log runs. Message thread. */
    void stopMeasurementLog();

    /** The report file of a new log: <folder>/<name>_<day>_<Mon>_<year>_<h>_<m>_<s>.xml
        in local time, the defaults standing in for an empty folder or name.
        Takes the current time as measurementStartTime. Message thread. */
    juce::File buildLogFilePath();

    bool isMeasurementLogRunning() const noexcept { return measurementLogger != nullptr; }

    /** Where the log takes the time from. The clock must outlive the processor
        and be set before audio runs. */
    void setMeasurementClock (const MeasurementClock& newClock) noexcept { clock = &newClock; }

    //==============================================================================
    /** Stores the chosen layout and hands its active form to the audio thread. */
    void setInputLayout (const ChannelLayout& chosen);
    void setOutputLayout (const ChannelLayout& chosen);

    /** The active forms the audio thread routes by. Any thread. */
    ChannelLayout getInputLayout() const noexcept { return ChannelLayout::unpack (inputLayout.get()); }
    ChannelLayout getOutputLayout() const noexcept { return ChannelLayout::unpack (outputLayout.get()); }

    //==============================================================================
    float levelToPosition (float level, int truePeakFlag) const noexcept;
    int levelToPixels (float level, int truePeakFlag) const noexcept;
    static float mapScale54 (float level) noexcept { return MeterScales::mapScale54 (level); }
    static float mapScale27 (float level) noexcept { return MeterScales::mapScale27 (level); }
    static float mapScale65 (float level) noexcept { return MeterScales::mapScale65 (level); }

    /** Mixes a six-slot buffer down to L and R in place: C, LS and RS at
        0.7071, LFE dropped, the other four slots cleared. */
    static void downmixToStereo (juce::AudioBuffer<float>& sixSlots) noexcept;

    /** Correlation of channels 0 and 1 from -1 to 1; 1.0 when either is
        quieter than an RMS of 0.0001 or the buffer has fewer than two
        channels or no samples. */
    static float calculateCorrelation (const juce::AudioBuffer<float>& pair) noexcept;
    static float calculateCorrelation (const float* left, const float* right, int numSamples) noexcept;

    /** Process-wide defaults of the log folder and name. */
    static juce::String getDefaultLogFilePath();
    static juce::String getDefaultLogFileName();

    //==============================================================================
    /** Transport of the last block. Audio thread only. */
    juce::AudioPlayHead::CurrentPositionInfo lastPosInfo;

    juce::AudioDeviceManager* const deviceManager;

    ScopeFeed scopeFeed;
    OVRALoudnessModule loudnessModule;
    OVRATruePeakMeter truePeakMeter;
    LoudnessResults loudnessResults;

    /** Per-slot dBTP of the last block, raised to the true-peak scale's bottom. */
    std::array<RelaxedAtomic<float>, numSlots> blockTruePeaks;

    /** Highest rounded values of the current log and when they were reached. */
    RelaxedAtomic<float> maxMomentaryLoudness { levelFloor };
    RelaxedAtomic<juce::Time> maxMomentaryTime;
    RelaxedAtomic<float> maxShortTermLoudness { levelFloor };
    RelaxedAtomic<float> maxTruePeak { levelFloor };
    RelaxedAtomic<juce::Time> maxTruePeakTime;

    /** Start of the current log; the one-day roll-over counts from here. */
    RelaxedAtomic<juce::Time> measurementStartTime;

    const int meterHeight = MeterScales::meterHeight;
    const int truePeakMeterHeight = MeterScales::meterHeight;
    const MeterScales meterScales;

    /** The module's per-slot momentary levels of the last new value. */
    std::array<RelaxedAtomic<float>, numSlots> channelMomentaryLoudness;

    RelaxedAtomic<double> lastSampleRate { 0.0 };
    RelaxedAtomic<int> lastBlockSize { 0 };

    DisplaySnapshot displaySnapshot;
    SettingsSnapshot settings;

    /** Chosen layouts as persisted. Message thread only. */
    ChannelLayout savedInputLayout, savedOutputLayout;

    /** The remote-control object; the editor switches its server on and off
        and with it this processor's 100 ms timer. */
    ZELOSCStandalone oscRemote;

private:
    //==============================================================================
    void readTransport (int numSamples) noexcept;
    void routeInputs (const juce::AudioBuffer<float>& block, int numInputs, ChannelLayout layout) noexcept;
    void publishNewValues (int numBlockChannels) noexcept;
    void measureTruePeaks() noexcept;
    void updateTruePeakChannel (float roundedLevel, int slot) noexcept;

    /** A level's whole-pixel position divided by the meter's height: the
        quantised positions the display publishes. */
    float quantisedPosition (float level, int truePeakFlag) const noexcept;

    void routeOutputs (juce::AudioBuffer<float>& block, int numInputs, ChannelLayout inputs,
                       ChannelLayout outputs) noexcept;
    void publishSoundField (int numBlockChannels) noexcept;
    void publishCorrelations (int numSamples) noexcept;

    void restoreDefaultSettings();

    // The measurement log is fed from these, on the audio thread.
    void logMomentary() noexcept;
    void logShortTerm() noexcept;
    void logTruePeak() noexcept;

    template <typename Callback>
    void useLogger (Callback&& callback) noexcept;
    std::unique_ptr<OVRAMeasurementLogger> detachLogger() noexcept;
    void rollOverIfDue();
    juce::StringRef getLoudnessUnit() const noexcept;

    /** Polls, on the message thread, for a roll-over that the audio thread found due. */
    class RollOverTimer : public juce::Timer
    {
    public:
        explicit RollOverTimer (OvrajuceLoudnessAudioProcessor& owner) noexcept : processor (owner) {}
        void timerCallback() override { processor.rollOverIfDue(); }

    private:
        OvrajuceLoudnessAudioProcessor& processor;
    };

    //==============================================================================
    juce::AudioBuffer<float> workBuffer, outputBuffer;

    /** Active layouts, packed, so that a block never routes by half a layout. */
    RelaxedAtomic<uint32_t> inputLayout, outputLayout;

    juce::TimeSliceThread loudnessThread { "ZELX Loudness Thread" };

    //==============================================================================
    // The log of the running measurement. Only the thread that starts and stops
    // measurements touches measurementLogger; the audio thread reaches the same
    // object through activeLogger while it counts itself in loggerUsers, and the
    // logger is deleted only after activeLogger is cleared and no user is left.
    std::unique_ptr<OVRAMeasurementLogger> measurementLogger;
    std::atomic<OVRAMeasurementLogger*> activeLogger { nullptr };
    std::atomic<int> loggerUsers { 0 };
    std::atomic<bool> rollOverDue { false };
    RollOverTimer rollOverTimer { *this };

    RelaxedAtomic<const MeasurementClock*> clock;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OvrajuceLoudnessAudioProcessor)
};
