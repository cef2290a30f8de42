#include "OvrajuceLoudnessAudioProcessorEditor.h"

#include <cmath>

// The display timer: every 50 ms it copies the processor's readings, brings
// the controls into line with the settings, and drives every meter, read-out,
// lamp and text of the window. Nothing here is told of a new reading: the
// tick polls.

void OvrajuceLoudnessAudioProcessorEditor::timerCallback()
{
    JUCE_ASSERT_MESSAGE_THREAD
    if (isTimerRunning() && getTimerInterval() == refreshWatchdogMs)
    {
        if (juce::Time::getMillisecondCounterHiRes() - lastRefreshMs < refreshWatchdogMs)
            return;

        // The refresh stopped coming (the window went): the timer paces again.
        startTimer (timerIntervalMs);
    }

    runTick();
}

void OvrajuceLoudnessAudioProcessorEditor::windowRefreshed()
{
    if (! isTimerRunning())
        return;

    const auto now = juce::Time::getMillisecondCounterHiRes();
    lastRefreshMs = now;

    if (getTimerInterval() != refreshWatchdogMs)
    {
        startTimer (refreshWatchdogMs);
        tickPacer.start (now);
    }

    if (tickPacer.isTickDue (now))
        runTick();
}

void OvrajuceLoudnessAudioProcessorEditor::runTick()
{
    // The framework asks the display server whether a window is minimised,
    // so it is asked now and then; the window's first paint once it shows
    // again opens the gate at once.
    if (--ticksUntilScreenCheck <= 0)
    {
        repaintGate->setOpen (isShowing());
        ticksUntilScreenCheck = screenCheckTicks;
    }

    updatePanelVisibility();

    // The rate before the readings: a new rate's time carried over is then in them.
    const double sampleRate = processor.lastSampleRate;
    displayValues = processor.displaySnapshot;
    applySettings (processor.getSettings());
    tellLogWriteFailures();

    // The time stands still between measurements: no text is made for it then.
    const double measuredSamples = displayValues.getMeasuredSamplesAt (sampleRate);
    if (measuredSamples != shownTime.samples || sampleRate != shownTime.rate)
    {
        shownTime = { measuredSamples, sampleRate };
        updateTimeDisplay (shownTime.samples, shownTime.rate);
    }
    setMeterSampleRate (sampleRate);

    showMeterLevels();
    setLevelText (loudnessRangeValueLabel, displayValues.loudnessRange);
    updateLoudnessReadouts();
    showScopes();
    checkStereoRouting();

    for (size_t k = 0; k < truePeakValueLabel.size(); ++k)
        setLevelText (truePeakValueLabel[k], displayValues.truePeakValuesPerChannel[k]);

    showOverloadLamps();
    runOverloadHold();
}

void OvrajuceLoudnessAudioProcessorEditor::tellLogWriteFailures()
{
    // Every failure begun since the last tick is told, even one already
    // over: a new number means the files were fine in between.
    const auto& failures = processor.getLogWriteFailures();
    if (failures.getNumFailures() == toldLogWriteFailure && ! logWriteNotice.isFailing())
        return;

    const auto latest = failures.getLatest();

    if (latest.number != toldLogWriteFailure)
    {
        toldLogWriteFailure = latest.number;
        logWriteNotice.succeeded();
        logWriteNotice.failed (latest.message, "The measurement goes on, and writing is tried again.");
    }

    // Files closed by a stop are not written again.
    if (! latest.isGoingOn && processor.isMeasurementLogRunning())
        logWriteNotice.succeeded();
}

void OvrajuceLoudnessAudioProcessorEditor::setMeterSampleRate (double sampleRate)
{
    // The momentary bar has no ballistics of its own and needs no rate.
    if (sampleRate == 0.0 || sampleRate == meterSampleRate)
        return;

    for (auto& vu : truePeakVU)
        vu->setSampleRate (sampleRate);
    soundField.setSampleRate (sampleRate);
    for (auto& meter : correlationMeter)
        meter->setSampleRate (sampleRate);
    meterSampleRate = sampleRate;
}

void OvrajuceLoudnessAudioProcessorEditor::showMeterLevels()
{
    momentaryVU.setLevel (displayValues.momentaryLoudnessPix);

    // The arrow and the range band are smoothed here, a tenth of the way per tick.
    arrowLevel = juce::jlimit (0.0f, 1.0f, 0.1f * displayValues.arrowSliderValue + 0.9f * arrowLevel);
    shortTermArrow.setLevel (arrowLevel);

    rangeLow = juce::jlimit (0.0f, 1.0f, 0.1f * displayValues.loudnessRangeVectorMin + 0.9f * rangeLow);
    rangeHigh = juce::jlimit (0.0f, 1.0f, 0.1f * displayValues.loudnessRangeVectorMax + 0.9f * rangeHigh);
    loudnessRangeBar.setRange (rangeLow, rangeHigh);

    for (size_t k = 0; k < truePeakVU.size(); ++k)
        truePeakVU[k]->setLevel (displayValues.truePeakValuesPerChannelPix[k]);
}

void OvrajuceLoudnessAudioProcessorEditor::showScopes()
{
    for (size_t k = 0; k < correlationMeter.size(); ++k)
        correlationMeter[k]->setValue (displayValues.vurnCorr[k]);

    const auto& v = displayValues.vectroscopeValue;
    const auto soundFieldBefore = soundField.getLevels();
    soundField.setLevels (v[0], v[1], v[2], v[3], v[4], v[5]);
    soundField.pushLevels();
    if (soundField.getLevels() != soundFieldBefore)
        soundField.repaintLevels();

    // It reads the feed only for a picture that can be seen.
    if (isOnScreen() && isVectroscopeShown())
        vectroscope.refresh();
    else
        vectroscope.skipWaitingAudio();
}

bool OvrajuceLoudnessAudioProcessorEditor::isVectroscopeShown() const noexcept
{
    return vectroscope.isVisible() && scopePanel.isVisible();
}

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::updateTimeDisplay (double samples, double sampleRate)
{
    setText (timecodeLabel, formatTimecode (samples, 0.0, sampleRate));
}

juce::String OvrajuceLoudnessAudioProcessorEditor::formatTimecode (double samples, double framesPerSecond,
                                                                   double sampleRate)
{
    // 64-bit throughout: a day of audio is far more than 2^31 samples. A
    // negative count reads as its magnitude behind a minus sign.
    const auto rate = (juce::int64) sampleRate;
    const double magnitude = std::abs (samples);
    juce::int64 hours = 0, minutes = 0, seconds = 0, last = 0;

    if (rate > 0)
    {
        const auto total = (juce::int64) (magnitude / sampleRate);
        hours = total / 3600;
        minutes = (total - hours * 3600) / 60;
        seconds = total % 60;

        if (framesPerSecond == 0.0)
            last = (juce::int64) ((double) ((juce::int64) magnitude % rate) / sampleRate * 1000.0);
        else
        {
            const auto samplesPerFrame =
                juce::jmax ((juce::int64) 1, (juce::int64) (sampleRate / framesPerSecond));
            last = ((juce::int64) magnitude / samplesPerFrame)
                   % juce::jmax ((juce::int64) 1, (juce::int64) framesPerSecond);
        }
    }

    const auto pad = [] (juce::int64 value, int digits) {
        return juce::String (value).paddedLeft ('0', digits);
    };
    return (samples < 0.0 ? "-" : "") + pad (hours, 2) + ":" + pad (minutes, 2) + ":" + pad (seconds, 2) + ":"
           + pad (last, framesPerSecond == 0.0 ? 3 : 2);
}

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::setLevelText (juce::Label& label, float level)
{
    // Turning a number into text is the dearest part of a tick, and steady
    // readings repeat their levels tick after tick.
    const auto [shown, first] = shownLevels.try_emplace (&label, level);
    if (! first && shown->second == level)
        return;

    shown->second = level;
    setText (label, levelToText (level, {}));
}

juce::String OvrajuceLoudnessAudioProcessorEditor::levelToText (float level, const juce::String& unit)
{
    if (level <= -60.0f)
        return "-";

    return juce::String (level, 1) + " " + unit;
}

float OvrajuceLoudnessAudioProcessorEditor::toRelative (float level, float offset) noexcept
{
    return level > levelFloor ? level + offset : levelFloor;
}

juce::Colour OvrajuceLoudnessAudioProcessorEditor::integratedColour (float integrated, bool ebu)
{
    switch (LoudnessStandard::rowOf (ebu).zoneOf (integrated))
    {
        case LoudnessStandard::Zone::onTarget:
            return green;
        case LoudnessStandard::Zone::withinTolerance:
            return yellow;
        case LoudnessStandard::Zone::outside:
            break;
    }
    return red;
}

void OvrajuceLoudnessAudioProcessorEditor::updateLoudnessReadouts()
{
    const bool ebu = ebuButton.getToggleState();
    const float offset = LoudnessStandard::rowOf (ebu).luOffset;
    float momentary = displayValues.momentaryLoudness;
    const float shortTerm = displayValues.shortTermLoudness;
    float shownShortTerm = shortTerm;
    float integrated = displayValues.programLoudness;

    integratedValueLabel.setColour (juce::Label::textColourId, integratedColour (integrated, ebu));

    auto threshold = (float) shortTermMaxSlider.getValue();
    if (luButton.getToggleState())
    {
        momentary = toRelative (momentary, offset);
        shownShortTerm = toRelative (shortTerm, offset);
        integrated = toRelative (integrated, offset);
        threshold -= offset;
    }

    shortTermValueLabel.setColour (juce::Label::textColourId, threshold <= shortTerm ? red : green);
    setLevelText (shortTermValueLabel, shownShortTerm);
    setLevelText (integratedValueLabel, integrated);
    setLevelText (momentaryValueLabel, momentary);
}

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::checkStereoRouting()
{
    bool stereo = stereoButton.getToggleState();
    const auto inputs = processor.getInputLayout();
    const bool surroundMissing =
        inputs[Slots::C] == ChannelLayout::none || inputs[Slots::LFE] == ChannelLayout::none
        || inputs[Slots::LS] == ChannelLayout::none || inputs[Slots::RS] == ChannelLayout::none;

    if (surroundMissing)
        stereo = true;

    stereoButton.setEnabled (! surroundMissing);
    fiveOneButton.setEnabled (! surroundMissing);
    processor.setParameterValue (OvrajuceLoudnessAudioProcessor::stereoStateParameter, stereo ? 1.0f : 0.0f);
}

//==============================================================================
void OvrajuceLoudnessAudioProcessorEditor::showOverloadLamps()
{
    if (displayValues.truePeakAlarm != 1)
    {
        clearOverloadLamps();
        return;
    }

    // A channel's lamp that is lit stays lit until all are cleared.
    truePeakAlarmLamp.setEnabled (true);
    truePeakAlarmLamp.setToggleState (true, juce::dontSendNotification);
    for (size_t k = 0; k < overloadLamp.size(); ++k)
        if (displayValues.truePeakAlarmsPerChannel[k] == 1)
        {
            overloadLamp[k].setEnabled (true);
            overloadLamp[k].setToggleState (true, juce::dontSendNotification);
        }
}

void OvrajuceLoudnessAudioProcessorEditor::clearOverloadLamps()
{
    truePeakAlarmLamp.setToggleState (false, juce::dontSendNotification);
    truePeakAlarmLamp.setEnabled (false);
    for (auto& lamp : overloadLamp)
    {
        lamp.setToggleState (false, juce::dontSendNotification);
        lamp.setEnabled (false);
    }
}

void OvrajuceLoudnessAudioProcessorEditor::runOverloadHold()
{
    // The processor's flags, not the lamps, are held: a lamp goes out on the
    // tick after its flag is cleared.
    if (overloadHoldEnabled)
    {
        if (displayValues.truePeakAlarm != 1)
            return;

        if (! overloadHoldCounting)
        {
            overloadHoldCounting = true;
            overloadHoldCounter = 0;
            return;
        }

        if (overloadHoldCounter < overloadHoldTicks)
        {
            ++overloadHoldCounter;
            return;
        }

        overloadHoldCounting = false;
        overloadHoldCounter = 0;
    }

    clearOverloadFlags();
}
