#include "ZELOSCStandalone.h"

#include "DiagnosticPrinter.h"
#include "Slots.h"

#include <cstring>
#include <sstream>

namespace
{
template <typename Value>
void writeMessage (osc::OutboundPacketStream& stream, const juce::String& address, Value value)
{
    stream << osc::BeginMessage (address.toRawUTF8()) << value << osc::EndMessage;
}
} // namespace

ZELOSCStandalone::ZELOSCStandalone()
{
    size_t a = 0;

    for (auto* name : { "momentaryLoudness", "momentaryLoudnessPix", "shortTermLoudness", "programLoudness",
                        "loudnessRange", "loudnessRangeVectorMin", "loudnessRangeVectorMax",
                        "arrowSliderValue", "truePeakAlarm" })
        outgoingAddresses[a++] = juce::String ("/") + name;

    for (auto* row :
         { "truePeakValuesPerChannel", "truePeakValuesPerChannelPix", "truePeakAlarmsPerChannel" })
        for (auto* slot : Slots::names)
            outgoingAddresses[a++] = juce::String ("/") + row + slot;

    outgoingAddresses[a++] = "/processedSamplesCounter";

    for (auto* slot : Slots::names)
        outgoingAddresses[a++] = juce::String ("/vectroscopeValue") + slot;

    for (auto [left, right] : Slots::correlationPairs)
        outgoingAddresses[a++] = juce::String ("/vurnCorr") + Slots::names[(size_t) left] + "-"
                                 + Slots::names[(size_t) right];

    jassert (a == outgoingAddresses.size());

    parameterAddresses = { "/measurementStandardParam",
                           "/measurementScaleParam",
                           "/measurementUnitParam",
                           "/gatingOffFlagParam",
                           "/followTransportFlagParam",
                           "/truePeakRefLevelParam",
                           "/truePeakMaxLevelParam",
                           "/truePeakHoldTimeParam",
                           "/truePeakOverloadTimeParam",
                           "/shtLoudnessMaxValueParam",
                           "/adminPassword",
                           "/stereoDownmixParam",
                           "/vectroscopeInputDataParam",
                           "/stereoStateParam" };
}

ZELOSCStandalone::~ZELOSCStandalone()
{
    // Before the members go: connection threads call into this object.
    stopServer();
}

//==============================================================================
void ZELOSCStandalone::setDisplayValues (const DisplaySnapshot& newValues) noexcept
{
    displayValues = newValues;
}

void ZELOSCStandalone::setSettings (const SettingsSnapshot& newSettings)
{
    const juce::ScopedLock sl (settingsLock);
    settings = newSettings;
}

SettingsSnapshot ZELOSCStandalone::getSettings() const
{
    const juce::ScopedLock sl (settingsLock);
    return settings;
}

bool ZELOSCStandalone::isUnlocked() const
{
    const juce::ScopedLock sl (settingsLock);
    return unlocked;
}

//==============================================================================
void ZELOSCStandalone::fillBundle (osc::OutboundPacketStream& stream)
{
    const auto& d = displayValues;
    size_t a = 0;

    stream << osc::BeginBundleImmediate;

    for (auto* value :
         { &d.momentaryLoudness, &d.momentaryLoudnessPix, &d.shortTermLoudness, &d.programLoudness,
           &d.loudnessRange, &d.loudnessRangeVectorMin, &d.loudnessRangeVectorMax, &d.arrowSliderValue })
        writeMessage (stream, outgoingAddresses[a++], value->get());

    writeMessage (stream, outgoingAddresses[a++], (osc::int32) d.truePeakAlarm.get());

    for (auto& value : d.truePeakValuesPerChannel)
        writeMessage (stream, outgoingAddresses[a++], value.get());

    for (auto& value : d.truePeakValuesPerChannelPix)
        writeMessage (stream, outgoingAddresses[a++], value.get());

    for (auto& value : d.truePeakAlarmsPerChannel)
        writeMessage (stream, outgoingAddresses[a++], (osc::int32) value.get());

    // The sample counter sits here in the record but travels last of the readings.
    const auto counterAddress = a++;

    for (auto& value : d.vectroscopeValue)
        writeMessage (stream, outgoingAddresses[a++], value.get());

    for (auto& value : d.vurnCorr)
        writeMessage (stream, outgoingAddresses[a++], value.get());

    writeMessage (stream, outgoingAddresses[counterAddress], d.processedSamplesCounter.get());

    {
        const juce::ScopedLock sl (settingsLock);
        const auto& s = settings;

        writeMessage (stream, parameterAddresses[measurementStandardParam], s.measurementStandard.get());
        writeMessage (stream, parameterAddresses[measurementScaleParam], s.measurementScale.get());
        writeMessage (stream, parameterAddresses[measurementUnitParam], s.measurementUnit.get());
        writeMessage (stream, parameterAddresses[gatingOffFlagParam], s.gatingOffFlag.get());
        writeMessage (stream, parameterAddresses[truePeakRefLevelParam], s.truePeakRefLevel.get());
        writeMessage (stream, parameterAddresses[truePeakMaxLevelParam], s.truePeakMaxLevel.get());
        writeMessage (stream, parameterAddresses[truePeakHoldTimeParam], s.truePeakHoldTime.get());
        writeMessage (stream, parameterAddresses[truePeakOverloadTimeParam], s.truePeakOverloadTime.get());
        writeMessage (stream, parameterAddresses[shtLoudnessMaxValueParam], s.shtMaxLevel.get());
        writeMessage (stream, parameterAddresses[stereoDownmixParam], s.stereoMixdownFlag.get());
        writeMessage (stream, parameterAddresses[vectroscopeInputDataParam],
                      s.vectroscopeInputDataFlag.get());
        writeMessage (stream, parameterAddresses[stereoStateParam], s.stereoState.get());
    }

    stream << osc::EndBundle;
}

void ZELOSCStandalone::connectionOpened (int) { DiagnosticPrinter::print ("Connected to server"); }

void ZELOSCStandalone::connectionClosed (int) { DiagnosticPrinter::print ("Disconnected from server"); }

//==============================================================================
void ZELOSCStandalone::ProcessMessage (const osc::ReceivedMessage& message, const IpEndpointName&)
{
    const char* address = message.AddressPattern();

    try
    {
        std::optional<float> echoed;

        {
            const juce::ScopedLock sl (settingsLock);

            // A wrong code locks every connection again, unlocked or not.
            if (isAddress (address, adminPasswordParam))
            {
                osc::int32 code = 0;
                message.ArgumentStream() >> code >> osc::EndMessage;
                unlocked = (code == settings.adminPassword.get());
            }

            if (unlocked)
                echoed = applyParameter (address, message);
        }

        // Printed without the lock, which the processor's timer waits for.
        if (echoed.has_value())
        {
            std::ostringstream text;
            text << *echoed;
            DiagnosticPrinter::print (text.str());
        }
    }
    catch (const osc::Exception& e)
    {
        DiagnosticPrinter::print (std::string ("error while parsing message: ") + address + ": " + e.what());
    }
}

bool ZELOSCStandalone::isAddress (const char* address, ParameterAddress which) const noexcept
{
    return std::strcmp (address, parameterAddresses[(size_t) which].toRawUTF8()) == 0;
}

std::optional<float> ZELOSCStandalone::applyParameter (const char* address,
                                                       const osc::ReceivedMessage& message)
{
    struct FloatParameter
    {
        ParameterAddress address;
        RelaxedAtomic<float> SettingsSnapshot::*field;
        bool echoed; // written to standard output when taken
    };

    // The follow-transport flag is neither sent nor taken; the overload time
    // is sent but not taken.
    static constexpr FloatParameter floatParameters[] = {
        { measurementStandardParam, &SettingsSnapshot::measurementStandard, true },
        { measurementScaleParam, &SettingsSnapshot::measurementScale, true },
        { measurementUnitParam, &SettingsSnapshot::measurementUnit, true },
        { gatingOffFlagParam, &SettingsSnapshot::gatingOffFlag, false },
        { truePeakRefLevelParam, &SettingsSnapshot::truePeakRefLevel, false },
        { truePeakMaxLevelParam, &SettingsSnapshot::truePeakMaxLevel, false },
        { truePeakHoldTimeParam, &SettingsSnapshot::truePeakHoldTime, false },
        { shtLoudnessMaxValueParam, &SettingsSnapshot::shtMaxLevel, false },
        { stereoDownmixParam, &SettingsSnapshot::stereoMixdownFlag, false },
        { vectroscopeInputDataParam, &SettingsSnapshot::vectroscopeInputDataFlag, false },
    };

    for (const auto& parameter : floatParameters)
    {
        if (! isAddress (address, parameter.address))
            continue;

        float value = 0.0f;
        message.ArgumentStream() >> value >> osc::EndMessage;
        settings.*(parameter.field) = value;

        if (parameter.echoed)
            return value;

        return {};
    }

    if (isAddress (address, stereoStateParam))
    {
        bool state = false;
        message.ArgumentStream() >> state >> osc::EndMessage;
        settings.stereoState = state;
    }

    return {};
}
