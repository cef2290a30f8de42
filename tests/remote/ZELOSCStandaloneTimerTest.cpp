#include "LoopbackClient.h"
#include "RecordingRemote.h"

#include <juce_events/juce_events.h>

#include <gtest/gtest.h>
#include <osc/OscReceivedElements.h>

#include <atomic>
#include <cstring>

namespace
{
/** Stands in for the processor's remote timer: copy both records, then send. */
class RemoteTimer : public juce::Timer
{
public:
    explicit RemoteTimer (ZELOSCStandalone& r)
        : remote (r)
    {
    }

    void timerCallback() override
    {
        display.processedSamplesCounter = (double)++ticks;
        settings.truePeakHoldTime = 2.0f; // what the processor holds
        remote.setDisplayValues (display);
        remote.setSettings (settings);
        remote.sendToAll();
    }

    ZELOSCStandalone& remote;
    DisplaySnapshot display;
    SettingsSnapshot settings;
    std::atomic<int> ticks{ 0 };
};

/** The sample counter, which travels as the 40th message of the bundle. */
double counterOf (const juce::MemoryBlock& payload)
{
    osc::ReceivedBundle bundle (
        osc::ReceivedPacket (static_cast<const char*> (payload.getData()), payload.getSize()));

    for (auto element = bundle.ElementsBegin(); element != bundle.ElementsEnd(); ++element)
    {
        osc::ReceivedMessage message (*element);

        if (std::strcmp (message.AddressPattern(), "/processedSamplesCounter") == 0)
            return message.ArgumentsBegin()->AsDouble();
    }

    return -1.0;
}

/** Reads bundles on its own thread and checks that none is missing. */
class BundleReader : public juce::Thread
{
public:
    explicit BundleReader (int port)
        : juce::Thread ("bundle reader")
        , client (port)
    {
        startThread();
    }
    ~BundleReader() override { stopThread (LoopbackClient::waitLimitMs); }

    void run() override
    {
        while (!threadShouldExit() && received < wanted)
        {
            const auto frame = client.readFrame();

            if (!frame.has_value() || counterOf (*frame) != (double)(received + 1))
                return;

            ++received;
        }
    }

    static constexpr int wanted = 300;
    LoopbackClient client;
    std::atomic<int> received{ 0 };
};
} // namespace

TEST (ZELOSCStandaloneTimer, MessageLoopTimerKeepsEveryReaderServedWhileAClientStalls)
{
    RecordingRemote remote;
    ASSERT_TRUE (remote.startServer (0, "127.0.0.1"));

    LoopbackClient stalled (remote.getBoundPort()); // never reads
    BundleReader reader (remote.getBoundPort());
    ASSERT_TRUE (remote.events.waitFor ([&] { return remote.events.openedIds.size() == 2; }));

    RemoteTimer timer (remote);
    timer.startTimer (5);

    const auto stalledDropped = [&] { return !remote.events.getClosed().empty(); };

    for (int i = 0; i < 20000 && (reader.isThreadRunning() || !stalledDropped()); ++i)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (5);

    timer.stopTimer();

    // Every bundle reached the reader in order, while the stalled client
    // was dropped instead of holding the timer up.
    EXPECT_EQ (reader.received.load(), BundleReader::wanted);
    EXPECT_GE (timer.ticks.load(), BundleReader::wanted);
    EXPECT_EQ (remote.events.getClosed(), std::vector<int>{ remote.events.getOpened().front() });
    EXPECT_TRUE (stalled.waitUntilClosedByServer());
}
