#pragma once

#include "OVRASocketConnectionWrapper.h"

/** The accept thread of the remote-control server: owns the listening socket
    and turns every accepted socket into a connection of its owner, or closes
    it at once when the owner already serves maxConnections clients.

    A failed accept is retried after a pause that grows to 100 ms, so that a
    process out of descriptors keeps serving its clients and takes new ones
    once descriptors are free again. A listener that fails ends the thread
    and closes; the bound port is -1 from then on. */
class OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer : public juce::Thread
{
public:
    explicit WrappedInterprocessConnectionServer (OVRASocketConnectionWrapper& owner);
    ~WrappedInterprocessConnectionServer() override;

    //==============================================================================
    /** Binds a listener and starts accepting; fails (and nothing runs) when
        the port cannot be bound, with the reason as a clause: "it is already
        in use." */
    juce::Result beginWaitingForSocket (int portNumber, const juce::String& bindAddress);

    /** Stops accepting and closes the listener. */
    void stop();

    /** The port accepted on, or -1 when nothing is accepted. Any thread. */
    int getBoundPort() const noexcept;

    juce::uint64 getNumFailedAccepts() const noexcept { return numFailedAccepts; }

private:
    //==============================================================================
    void run() override;
    WrappedInterprocessConnection* createConnectionObject (std::unique_ptr<juce::StreamingSocket> socket);

    OVRASocketConnectionWrapper& owner;
    std::unique_ptr<juce::StreamingSocket> listener;
    std::atomic<int> boundPort { -1 };
    std::atomic<juce::uint64> numFailedAccepts { 0 };

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WrappedInterprocessConnectionServer)
};
