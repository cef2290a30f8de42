#pragma once

#include "RelaxedAtomic.h"

#include <juce_core/juce_core.h>

#include <array>

/** The measurement settings: one live record in the processor, copied by
    value into the editor and the remote-control object.

    The numeric fields are written on the message thread and read on the audio
    thread, so each is a relaxed atomic. The two strings are only touched on
    the message thread. Flags hold 0.0 or 1.0.
*/
struct SettingsSnapshot
{
    /** The remote access code until one is configured. */
    static constexpr int defaultAdminPassword = 9413;

    RelaxedAtomic<float> isMeasuring { 0.0f };
    RelaxedAtomic<float> measurementStandard { 0.0f }; // 0 EBU, 1 ATSC, 2 ARIB
    RelaxedAtomic<float> measurementScale { 0.0f };    // 0 wide, 1 narrow
    RelaxedAtomic<float> measurementUnit { 0.0f };
    RelaxedAtomic<float> gatingOffFlag { 0.0f };
    RelaxedAtomic<float> followTransportFlag { 0.0f };
    RelaxedAtomic<float> truePeakRefLevel { 0.0f };
    RelaxedAtomic<float> truePeakMaxLevel { -1.0f };    // dBTP
    RelaxedAtomic<float> truePeakHoldTime { 3.0f };     // s
    RelaxedAtomic<float> truePeakOverloadTime { 3.0f }; // s
    RelaxedAtomic<float> shtMaxLevel { -24.0f };
    RelaxedAtomic<int> adminPassword { defaultAdminPassword };
    juce::String logFilePath;
    juce::String logFileName;
    RelaxedAtomic<float> stereoMixdownFlag { 0.0f };
    RelaxedAtomic<bool> stereoState { false };
    RelaxedAtomic<float> vectroscopeInputDataFlag { 0.0f };

    //==============================================================================
    /** A float field and the name it is stored under. */
    struct FloatField
    {
        const char* name;
        RelaxedAtomic<float> SettingsSnapshot::*field;
    };

    static constexpr int numFloatFields = 13;
    using FloatFieldTable = std::array<FloatField, numFloatFields>;

    /** Every float field in record order, which is also the order of the
        parameter indices that write them. */
    static const FloatFieldTable floatFields;
};

inline const SettingsSnapshot::FloatFieldTable SettingsSnapshot::floatFields { {
    { "isMeasuring", &SettingsSnapshot::isMeasuring },
    { "measurementStandard", &SettingsSnapshot::measurementStandard },
    { "measurementScale", &SettingsSnapshot::measurementScale },
    { "measurementUnit", &SettingsSnapshot::measurementUnit },
    { "gatingOffFlag", &SettingsSnapshot::gatingOffFlag },
    { "followTransportFlag", &SettingsSnapshot::followTransportFlag },
    { "truePeakRefLevel", &SettingsSnapshot::truePeakRefLevel },
    { "truePeakMaxLevel", &SettingsSnapshot::truePeakMaxLevel },
    { "truePeakHoldTime", &SettingsSnapshot::truePeakHoldTime },
    { "truePeakOverloadTime", &SettingsSnapshot::truePeakOverloadTime },
    { "shtMaxLevel", &SettingsSnapshot::shtMaxLevel },
    { "stereoMixdownFlag", &SettingsSnapshot::stereoMixdownFlag },
    { "vectroscopeInputDataFlag", &SettingsSnapshot::vectroscopeInputDataFlag },
} };
