#pragma once

#include "ChannelCorrelation.h"
#include "ChannelLayout.h"
#include "DisplaySnapshot.h"
#include "LoudnessResults.h"
#include "MeasurementClock.h"
#include "MeasurementLogControl.h"
#include "MeterScales.h"
#include "OVRALoudnessModule.h"
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
    While audio runs, the measurement reset of the readings is carried out by
    the audio thread itself at the start of its next block, so that no block
    in flight can put a value from before the reset back. When audio stops
    (releaseResources, perhaps on the device's own thread), the live readings
    go to rest and the measurement's figures stay.

        OvrajuceLoudnessAudioProcessor processor (&deviceManager);
        processor.setPlayConfigDetails (6, 6, 44100.0, 512);
        processor.setInputLayout (ChannelLayout::fromText ("0;1;2;3;4;5;"));
*/
class OvrajuceLoudnessAudioProcessor : public juce::AudioProcessor, public juce::Timer
{
public:
    static constexpr int numSlots = Slots::count;

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

    /** setStateInformation, telling whether the data held a state whose
        settings and layouts were taken (not one unreadable or foreign). */
    bool restoreState (const void* data, int sizeInBytes);

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

    /** The indices of setParameterValue that the editor writes. */
    static constexpr int isMeasuringParameter = 0;
    static constexpr int stereoStateParameter = 16;

    /** Every display value to its reset value. Audio thread, or any thread
        while no audio runs. */
    void resetDisplayValues() noexcept;

    /** The editor's reset: the module's windows, filters, histograms and
        results at once; the display values, the sample counter and the three
        maxima at the start of the next block (at once while no audio runs,
        and by releaseResources when the audio stops first).
        Leaves a running log running. Message thread. */
    void resetMeasurement();

    //==============================================================================
    /** The measurement log, run by measurementLog (see MeasurementLogControl).
        Message thread. */
    void startMeasurementLog() { measurementLog.start(); }
    void stopMeasurementLog() { measurementLog.stop(); }
    juce::File buildLogFilePath() { return measurementLog.buildLogFilePath(); }
    bool isMeasurementLogRunning() const noexcept { return measurementLog.isRunning(); }

    /** The folder a new measurement's files go to for the given folder setting. Any thread. */
    static juce::File getLogFolder (const juce::String& logFilePath)
    {
        return MeasurementLogControl::getLogFolder (logFilePath);
    }

    /** What has failed to be written of the measurement files; the window
        polls it. Any thread but the audio thread. */
    const LogWriteFailures& getLogWriteFailures() const noexcept { return measurementLog.getWriteFailures(); }

    /** Where the log takes the time from. The clock must outlive the processor
        and be set before audio runs. */
    void setMeasurementClock (const MeasurementClock& newClock) noexcept
    {
        measurementLog.setClock (newClock);
    }

    //==============================================================================
    /** Stores the chosen layout and hands its active form to the audio thread. */
    void setInputLayout (const ChannelLayout& chosen);
    void setOutputLayout (const ChannelLayout& chosen);

    /** The active forms the audio thread routes by. Any thread. */
    ChannelLayout getInputLayout() const noexcept { return ChannelLayout::unpack (inputLayout.get()); }
    ChannelLayout getOutputLayout() const noexcept { return ChannelLayout::unpack (outputLayout.get()); }

    /** The chosen forms, as persisted. Message thread only. */
    const ChannelLayout& getSavedInputLayout() const noexcept { return savedInputLayout; }
    const ChannelLayout& getSavedOutputLayout() const noexcept { return savedOutputLayout; }

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
    static float calculateCorrelation (const juce::AudioBuffer<float>& pair) noexcept
    {
        return ChannelCorrelation::calculate (pair);
    }

    static float calculateCorrelation (const float* left, const float* right, int numSamples) noexcept
    {
        return ChannelCorrelation::calculate (left, right, numSamples);
    }

    /** Process-wide defaults of the log folder and name. */
    static juce::String getDefaultLogFilePath() { return MeasurementLogControl::getDefaultLogFilePath(); }
    static juce::String getDefaultLogFileName() { return MeasurementLogControl::getDefaultLogFileName(); }

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

    /** The running measurement's log, its maxima and its start time. */
    MeasurementLogControl measurementLog { settings, displaySnapshot, [this] { resetMeasurement(); } };

private:
    //==============================================================================
    /** Which of the loudness module's values a block found new. */
    struct NewValues
    {
        bool momentary = false, shortTerm = false;
    };

    // The steps of a block, in their order.
    /** Whether the measurement takes the block in. */
    bool readTransport (int numSamples) noexcept;
    void routeInputs (const juce::AudioBuffer<float>& block, int numInputs, ChannelLayout layout) noexcept;
    NewValues measureLoudness() noexcept;
    void publishNewValues (int numBlockChannels, NewValues newValues) noexcept;
    void measureTruePeaks (bool measuring) noexcept;
    void updateTruePeakChannel (float roundedLevel, int slot) noexcept;

    /** A level's whole-pixel position divided by the meter's height: the
        quantised positions the display publishes. */
    float quantisedPosition (float level, int truePeakFlag) const noexcept;

    void routeOutputs (juce::AudioBuffer<float>& block, int numInputs, ChannelLayout inputs,
                       ChannelLayout outputs) noexcept;
    void publishSoundField (int numBlockChannels) noexcept;
    void publishCorrelations() noexcept;

    void restoreDefaultSettings();

    /** The display values and the maxima of a measurement reset. */
    void clearReadings() noexcept;

    //==============================================================================
    juce::AudioBuffer<float> workBuffer, outputBuffer;

    /** Active layouts, packed, so that a block never routes by half a layout. */
    RelaxedAtomic<uint32_t> inputLayout, outputLayout;

    juce::TimeSliceThread loudnessThread { "ZELX Loudness Thread" };

    // Set between prepareToPlay and releaseResources, the only time the audio
    // thread calls processBlock.
    std::atomic<bool> audioRunning { false };

    // A measurement reset for the audio thread to carry out at its next block.
    std::atomic<bool> readingsResetRequested { false };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OvrajuceLoudnessAudioProcessor)
};
