#pragma once

#include <juce_core/juce_core.h>

/** The statistics of the stretch marked in the loudness history, as texts
    ready for the report viewer's labels. All empty until the first load;
    the duration and the four dates and times stay empty for a history
    without dates (a report's own). */
struct SelectionReadout
{
    juce::String integratedLoudness; // of the selected momentary values, one decimal, or "-" without any
    juce::String loudnessRange;      // of the selected short-term values, one decimal, or "-" without any
    juce::String totalTime;          // duration of the selection, as in "1 hr 5 mins"
    juce::String maxShortTerm;       // one decimal, or "-"
    juce::String maxShortTermTime;   // date and time of that value
    juce::String maxMomentary;       // one decimal, or "-"
    juce::String maxMomentaryTime;
    juce::String startTime; // date and time at the selection start
    juce::String endTime;
};
