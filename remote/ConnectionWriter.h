#pragma once

#include "OVRASocketConnectionWrapper.h"

/** The thread that writes queued frames to every connection of its owner.
    It wakes when sendToAll has queued something, and retries shortly while a
    socket still has bytes pending. */
class OVRASocketConnectionWrapper::ConnectionWriter : public juce::Thread
{
public:
    explicit ConnectionWriter (OVRASocketConnectionWrapper& owner);
    ~ConnectionWriter() override;

    /** How long a connection with unwritten bytes waits for its socket to
        take more. */
    static constexpr int retryIntervalMs = 10;

private:
    void run() override;

    OVRASocketConnectionWrapper& owner;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (ConnectionWriter)
};
