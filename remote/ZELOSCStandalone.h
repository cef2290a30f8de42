#pragma once

#include "OVRAOSCWrapper.h"

#include <DisplaySnapshot.h>
#include <SettingsSnapshot.h>

#include <array>
#include <optional>

/** The remote-control object: mirrors the meter to remote clients and takes
    their parameter messages.

    Every 100 ms the processor copies its readings and settings in and calls
    sendToAll, which broadcasts one bundle of 52 messages (40 readings, 12
    settings). A client unlocks the object with "/adminPassword" and the
    access code; once unlocked, parameter messages write this object's copy
    of the settings, which the processor's next copy overwrites. The unlock is
    one flag for all connections; a wrong code locks everyone again.

        oscRemote.startServer (OVRASocketConnectionWrapper::portFromText (text));
        // 100 ms timer on the message thread:
        oscRemote.setDisplayValues (displaySnapshot);
        oscRemote.setSettings (settings);
        oscRemote.sendToAll();
*/
class ZELOSCStandalone : public OVRAOSCWrapper
{
public:
    static constexpr int numOutgoingAddresses = 40;
    static constexpr int numParameterAddresses = 14;
    static constexpr int numBundleMessages = 52;

    /** The settings start at their defaults, so the default access code
        unlocks before the processor's first copy has arrived. */
    ZELOSCStandalone();
    ~ZELOSCStandalone() override;

    //==============================================================================
    /** Copies the readings that the next bundle sends. Message thread. */
    void setDisplayValues (const DisplaySnapshot& newValues) noexcept;

    /** Copies the settings that the next bundle sends, under the lock that
        incoming messages take. */
    void setSettings (const SettingsSnapshot& newSettings);

    /** A copy of this object's settings, as incoming messages left them. */
    SettingsSnapshot getSettings() const;

    bool isUnlocked() const;

    //==============================================================================
    void fillBundle (osc::OutboundPacketStream& stream) override;
    void connectionOpened (int connectionId) override;
    void connectionClosed (int connectionId) override;

protected:
    void ProcessMessage (const osc::ReceivedMessage& message, const IpEndpointName& remoteEndpoint) override;

private:
    //==============================================================================
    // Positions in parameterAddresses.
    enum ParameterAddress
    {
        measurementStandardParam,
        measurementScaleParam,
        measurementUnitParam,
        gatingOffFlagParam,
        followTransportFlagParam,
        truePeakRefLevelParam,
        truePeakMaxLevelParam,
        truePeakHoldTimeParam,
        truePeakOverloadTimeParam,
        shtLoudnessMaxValueParam,
        adminPasswordParam,
        stereoDownmixParam,
        vectroscopeInputDataParam,
        stereoStateParam
    };

    bool isAddress (const char* address, ParameterAddress which) const noexcept;
    /** Stores a parameter message's value; the value when it is to be echoed
        on standard output. */
    std::optional<float> applyParameter (const char* address, const osc::ReceivedMessage& message);

    std::array<juce::String, numOutgoingAddresses> outgoingAddresses; // DisplaySnapshot's field order
    DisplaySnapshot displayValues;
    std::array<juce::String, numParameterAddresses> parameterAddresses;
    SettingsSnapshot settings;
    bool unlocked = false;
    juce::CriticalSection settingsLock; // guards settings and unlocked

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ZELOSCStandalone)
};
