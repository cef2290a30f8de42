#include "LoopbackClient.h"
#include "OvrajuceLoudnessAudioProcessor.h"

#include <gtest/gtest.h>
#include <osc/OscReceivedElements.h>

#include <atomic>
#include <map>
#include <thread>

namespace
{
/** Every message of a received bundle by address, its argument as a double. */
std::map<std::string, double> readBundle (const juce::MemoryBlock& payload)
{
    std::map<std::string, double> values;
    osc::ReceivedPacket packet (static_cast<const char*> (payload.getData()),
                                (osc::osc_bundle_element_size_t) payload.getSize());
    EXPECT_TRUE (packet.IsBundle());
    osc::ReceivedBundle bundle (packet);

    for (auto element = bundle.ElementsBegin(); element != bundle.ElementsEnd(); ++element)
    {
        osc::ReceivedMessage message (*element);
        const auto argument = *message.ArgumentsBegin();
        double value = 0;
        if (argument.IsFloat())
            value = argument.AsFloat();
        else if (argument.IsInt32())
            value = argument.AsInt32();
        else if (argument.IsDouble())
            value = argument.AsDouble();
        else if (argument.IsBool())
            value = argument.AsBool() ? 1.0 : 0.0;
        values[message.AddressPattern()] = value;
    }
    return values;
}
} // namespace

// The processor's timer is what feeds remote clients: readings and settings
// of the live processor must reach a real TCP client within a tick or two.
TEST (RemoteTimer, SendsTheLiveReadingsAndSettingsToConnectedClients)
{
    OvrajuceLoudnessAudioProcessor processor;
    ASSERT_TRUE (processor.oscRemote.startServer (0, "127.0.0.1"));

    processor.displaySnapshot.momentaryLoudness = -23.4f;
    processor.displaySnapshot.vurnCorr[3] = -0.5f;
    processor.displaySnapshot.processedSamplesCounter = 96000.0;
    processor.settings.truePeakMaxLevel = -2.0f;
    processor.settings.measurementStandard = 2.0f;

    LoopbackClient client (processor.oscRemote.getBoundPort());
    ASSERT_TRUE (client.isConnected());

    std::atomic<bool> done { false };
    std::optional<juce::MemoryBlock> frame;
    std::thread reader ([&] {
        frame = client.readFrame();
        done = true;
    });

    processor.startTimer (100);
    const auto giveUp = juce::Time::getMillisecondCounter() + (juce::uint32) LoopbackClient::waitLimitMs;
    while (! done && juce::Time::getMillisecondCounter() < giveUp)
        juce::MessageManager::getInstance()->runDispatchLoopUntil (20);
    processor.stopTimer();
    client.close();
    reader.join();

    ASSERT_TRUE (frame.has_value());
    auto values = readBundle (*frame);
    EXPECT_EQ (values.size(), 52u);
    EXPECT_FLOAT_EQ ((float) values["/momentaryLoudness"], -23.4f);
    EXPECT_FLOAT_EQ ((float) values["/vurnCorrLS-RS"], -0.5f);
    EXPECT_DOUBLE_EQ (values["/processedSamplesCounter"], 96000.0);
    EXPECT_FLOAT_EQ ((float) values["/truePeakMaxLevelParam"], -2.0f);
    EXPECT_FLOAT_EQ ((float) values["/measurementStandardParam"], 2.0f);
    EXPECT_FLOAT_EQ ((float) values["/shortTermLoudness"], -70.0f);

    processor.oscRemote.stopServer();
}
