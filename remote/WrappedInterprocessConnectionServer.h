#pragma once

#include "OVRASocketConnectionWrapper.h"

/** The accept thread of the remote-control server: owns the listening socket
    and turns every accepted socket into a connection of its owner. */
class OVRASocketConnectionWrapper::WrappedInterprocessConnectionServer : public juce::Thread
{
public:
    explicit WrappedInterprocessConnectionServer (OVRASocketConnectionWrapper& owner);
    ~WrappedInterprocessConnectionServer() override;

    //==============================================================================
    /** Binds a listener and starts accepting; false (and nothing running)
        when the port cannot be bound. */
    bool beginWaitingForSocket (int portNumber, const juce::String& bindAddress);

    /** Stops accepting and closes the listener. */
    void stop();

    int getBoundPort() const noexcept;

private:
    //==============================================================================
    void run() override;
    WrappedInterprocessConnection* createConnectionObject (std::unique_ptr<juce::StreamingSocket> socket);

    OVRASocketConnectionWrapper& owner;
    std::unique_ptr<juce::StreamingSocket> listener;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (WrappedInterprocessConnectionServer)
};
