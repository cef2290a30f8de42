#include "LoopbackClient.h"
#include "PrintedOutput.h"
#include "RecordingRemote.h"

#include <gtest/gtest.h>

namespace
{
constexpr osc::int32 defaultCode = SettingsSnapshot::defaultAdminPassword;

struct MessagesFixture : public ::testing::Test
{
    void SetUp() override
    {
        ASSERT_TRUE (remote.startServer (0, "127.0.0.1"));
        client = connect();
    }

    std::unique_ptr<LoopbackClient> connect()
    {
        const auto before = remote.events.getOpened().size();
        auto newClient = std::make_unique<LoopbackClient> (remote.getBoundPort());
        EXPECT_TRUE (remote.events.waitFor ([&] { return remote.events.openedIds.size() > before; }));
        return newClient;
    }

    void send (const juce::MemoryBlock& packet) { ASSERT_TRUE (remote.sendAndWait (*client, packet)); }

    /** What standard output shows while the packet is handled. */
    std::string printedFor (const juce::MemoryBlock& packet)
    {
        PrintedOutput::startCapture();
        const bool handled = remote.sendAndWait (*client, packet);
        auto printed = PrintedOutput::captured();
        EXPECT_TRUE (handled);
        return printed;
    }

    void unlock() { send (oscMessage ("/adminPassword", defaultCode)); }

    RecordingRemote remote;
    std::unique_ptr<LoopbackClient> client;
};

std::string errorLine (const char* address, const char* text)
{
    return std::string ("error while parsing message: ") + address + ": " + text + "\n";
}
} // namespace

//==============================================================================
TEST_F (MessagesFixture, AccessCodeUnlocksForEveryoneAndAWrongOneLocksEveryoneAgain)
{
    const auto before = remote.getSettings().truePeakMaxLevel.get();

    send (oscMessage ("/truePeakMaxLevelParam", -5.5f));
    EXPECT_FALSE (remote.isUnlocked());
    EXPECT_EQ (remote.getSettings().truePeakMaxLevel.get(), before);

    send (oscMessage ("/adminPassword", defaultCode + 1));
    EXPECT_FALSE (remote.isUnlocked());

    send (oscMessage ("/adminPassword", defaultCode));
    EXPECT_TRUE (remote.isUnlocked());
    send (oscMessage ("/truePeakMaxLevelParam", -5.5f));
    EXPECT_EQ (remote.getSettings().truePeakMaxLevel.get(), -5.5f);

    // A second client's wrong code locks the first one out too.
    auto other = connect();
    ASSERT_TRUE (remote.sendAndWait (*other, oscMessage ("/adminPassword", 0)));
    EXPECT_FALSE (remote.isUnlocked());
    send (oscMessage ("/truePeakMaxLevelParam", -2.0f));
    EXPECT_EQ (remote.getSettings().truePeakMaxLevel.get(), -5.5f);

    // The code compared is the one in the copied settings.
    auto settings = remote.getSettings();
    settings.adminPassword = 1111;
    remote.setSettings (settings);
    send (oscMessage ("/adminPassword", defaultCode));
    EXPECT_FALSE (remote.isUnlocked());
    ASSERT_TRUE (remote.sendAndWait (*other, oscMessage ("/adminPassword", 1111)));
    EXPECT_TRUE (remote.isUnlocked());

    // Neither a closed connection nor a restart of the server locks it.
    other->close();
    ASSERT_TRUE (remote.events.waitFor ([this] { return remote.events.closedIds.size() == 1; }));
    remote.stopServer();
    ASSERT_TRUE (remote.startServer (0, "127.0.0.1"));
    client = connect();
    EXPECT_TRUE (remote.isUnlocked());
    send (oscMessage ("/truePeakMaxLevelParam", -3.0f));
    EXPECT_EQ (remote.getSettings().truePeakMaxLevel.get(), -3.0f);
}

TEST_F (MessagesFixture, MistypedAccessCodePrintsTheErrorAndLeavesTheLockAsItWas)
{
    EXPECT_EQ (printedFor (oscMessage ("/adminPassword", (float) defaultCode)),
               errorLine ("/adminPassword", "wrong argument type"));
    EXPECT_FALSE (remote.isUnlocked());

    unlock();
    EXPECT_EQ (printedFor (oscMessage ("/adminPassword", (float) defaultCode)),
               errorLine ("/adminPassword", "wrong argument type"));
    EXPECT_TRUE (remote.isUnlocked());
    EXPECT_EQ (printedFor (oscMessage ("/adminPassword")), errorLine ("/adminPassword", "missing argument"));
    EXPECT_EQ (printedFor (oscMessage ("/adminPassword", defaultCode, defaultCode)),
               errorLine ("/adminPassword", "too many arguments"));
    EXPECT_TRUE (remote.isUnlocked());
}

TEST_F (MessagesFixture, ArgumentErrorsPrintOneLineAndStoreNothing)
{
    unlock();
    const auto before = remote.getSettings();

    EXPECT_EQ (printedFor (oscMessage ("/measurementScaleParam", 1.0f, 1.0f)),
               errorLine ("/measurementScaleParam", "too many arguments"));
    EXPECT_EQ (printedFor (oscMessage ("/truePeakHoldTimeParam", (osc::int32) 5)),
               errorLine ("/truePeakHoldTimeParam", "wrong argument type"));
    EXPECT_EQ (printedFor (oscMessage ("/truePeakRefLevelParam", 5.0)),
               errorLine ("/truePeakRefLevelParam", "wrong argument type"));
    EXPECT_EQ (printedFor (oscMessage ("/gatingOffFlagParam")),
               errorLine ("/gatingOffFlagParam", "missing argument"));
    EXPECT_EQ (printedFor (oscMessage ("/stereoStateParam", (osc::int32) 1)),
               errorLine ("/stereoStateParam", "wrong argument type"));
    EXPECT_EQ (printedFor (oscMessage ("/stereoStateParam", true, true)),
               errorLine ("/stereoStateParam", "too many arguments"));

    const auto after = remote.getSettings();
    EXPECT_EQ (after.measurementScale.get(), before.measurementScale.get());
    EXPECT_EQ (after.truePeakHoldTime.get(), before.truePeakHoldTime.get());
    EXPECT_EQ (after.truePeakRefLevel.get(), before.truePeakRefLevel.get());
    EXPECT_EQ (after.gatingOffFlag.get(), before.gatingOffFlag.get());
    EXPECT_EQ (after.stereoState.get(), before.stereoState.get());
    EXPECT_TRUE (remote.isUnlocked());
}

TEST_F (MessagesFixture, UnlockedParametersWriteTheirOwnFieldOnly)
{
    unlock();

    struct Case
    {
        const char* address;
        RelaxedAtomic<float> SettingsSnapshot::*field;
    };

    const Case cases[] = {
        { "/measurementStandardParam", &SettingsSnapshot::measurementStandard },
        { "/measurementScaleParam", &SettingsSnapshot::measurementScale },
        { "/measurementUnitParam", &SettingsSnapshot::measurementUnit },
        { "/gatingOffFlagParam", &SettingsSnapshot::gatingOffFlag },
        { "/truePeakRefLevelParam", &SettingsSnapshot::truePeakRefLevel },
        { "/truePeakMaxLevelParam", &SettingsSnapshot::truePeakMaxLevel },
        { "/truePeakHoldTimeParam", &SettingsSnapshot::truePeakHoldTime },
        { "/shtLoudnessMaxValueParam", &SettingsSnapshot::shtMaxLevel },
        { "/stereoDownmixParam", &SettingsSnapshot::stereoMixdownFlag },
        { "/vectroscopeInputDataParam", &SettingsSnapshot::vectroscopeInputDataFlag },
    };

    float value = 40.5f;

    for (const auto& c : cases)
    {
        const auto before = remote.getSettings();
        value += 1.0f;
        send (oscMessage (c.address, value));
        const auto after = remote.getSettings();

        for (const auto& setting : SettingsSnapshot::floatFields)
        {
            const auto field = setting.field;

            if (field == c.field)
                EXPECT_EQ ((after.*field).get(), value) << c.address;
            else
                EXPECT_EQ ((after.*field).get(), (before.*field).get()) << c.address;
        }

        EXPECT_EQ (after.stereoState.get(), before.stereoState.get()) << c.address;
    }

    send (oscMessage ("/stereoStateParam", true));
    EXPECT_TRUE (remote.getSettings().stereoState.get());
    send (oscMessage ("/stereoStateParam", false));
    EXPECT_FALSE (remote.getSettings().stereoState.get());
}

TEST_F (MessagesFixture, IgnoredAddressesAndEchoedSettings)
{
    unlock();
    const auto before = remote.getSettings();

    // Sent in the bundle but not taken; matching is exact and case-sensitive.
    for (const auto* address : { "/followTransportFlagParam", "/truePeakOverloadTimeParam",
                                 "/truepeakholdtimeparam", "/truePeakHoldTime", "/truePeakHoldTimeParam/" })
        EXPECT_EQ (printedFor (oscMessage (address, 9.0f)), "") << address;

    const auto after = remote.getSettings();
    EXPECT_EQ (after.followTransportFlag.get(), before.followTransportFlag.get());
    EXPECT_EQ (after.truePeakOverloadTime.get(), before.truePeakOverloadTime.get());
    EXPECT_EQ (after.truePeakHoldTime.get(), before.truePeakHoldTime.get());

    // The standard, scale and unit are echoed as the stream formats a float.
    EXPECT_EQ (printedFor (oscMessage ("/measurementStandardParam", 1.0f)), "1\n");
    EXPECT_EQ (printedFor (oscMessage ("/measurementScaleParam", 0.5f)), "0.5\n");
    EXPECT_EQ (printedFor (oscMessage ("/measurementUnitParam", 0.0f)), "0\n");
    EXPECT_EQ (printedFor (oscMessage ("/truePeakHoldTimeParam", 5.0f)), "");
}

TEST_F (MessagesFixture, ReceivedValueLivesOnlyUntilTheNextCopyFromTheProcessor)
{
    unlock();
    SettingsSnapshot processorSettings;
    processorSettings.truePeakHoldTime = 2.0f;
    processorSettings.truePeakOverloadTime = 4.0f;
    remote.setSettings (processorSettings);

    send (oscMessage ("/truePeakHoldTimeParam", 5.0f));
    EXPECT_EQ (remote.getSettings().truePeakHoldTime.get(), 5.0f);
    EXPECT_EQ (remote.getSettings().truePeakOverloadTime.get(), 4.0f);

    // The processor's timer: copy, then send.
    remote.setSettings (processorSettings);
    remote.sendToAll();
    const auto frame = client->readFrame();
    ASSERT_TRUE (frame.has_value());

    osc::ReceivedBundle bundle (
        osc::ReceivedPacket (static_cast<const char*> (frame->getData()), frame->getSize()));
    bool found = false;

    for (auto element = bundle.ElementsBegin(); element != bundle.ElementsEnd(); ++element)
    {
        osc::ReceivedMessage message (*element);

        if (std::string (message.AddressPattern()) == "/truePeakHoldTimeParam")
        {
            found = true;
            EXPECT_EQ (message.ArgumentsBegin()->AsFloat(), 2.0f);
        }
    }

    EXPECT_TRUE (found);
}

TEST_F (MessagesFixture, BundleMessagesAreHandledInOrderNestedOnesToo)
{
    char buffer[1024];

    {
        osc::OutboundPacketStream stream (buffer, sizeof (buffer));
        stream << osc::BeginBundleImmediate << osc::BeginMessage ("/gatingOffFlagParam") << 1.0f
               << osc::EndMessage // still locked here
               << osc::BeginMessage ("/adminPassword") << defaultCode << osc::EndMessage
               << osc::BeginMessage ("/truePeakRefLevelParam") << 1.0f << 2.0f << osc::EndMessage
               << osc::BeginBundle (12345) << osc::BeginMessage ("/stereoDownmixParam") << 1.0f
               << osc::EndMessage << osc::EndBundle << osc::BeginMessage ("/shtLoudnessMaxValueParam")
               << -18.0f << osc::EndMessage << osc::EndBundle;

        EXPECT_EQ (printedFor (packetBytes (stream)),
                   errorLine ("/truePeakRefLevelParam", "too many arguments"));
    }

    auto settings = remote.getSettings();
    EXPECT_TRUE (remote.isUnlocked());
    EXPECT_EQ (settings.gatingOffFlag.get(), 0.0f);
    EXPECT_EQ (settings.truePeakRefLevel.get(), 0.0f);
    EXPECT_EQ (settings.stereoMixdownFlag.get(), 1.0f);
    EXPECT_EQ (settings.shtMaxLevel.get(), -18.0f);

    {
        osc::OutboundPacketStream stream (buffer, sizeof (buffer));
        stream << osc::BeginBundleImmediate << osc::BeginMessage ("/adminPassword") << defaultCode
               << osc::EndMessage << osc::BeginMessage ("/gatingOffFlagParam") << 1.0f << osc::EndMessage
               << osc::EndBundle;
        send (packetBytes (stream));
    }

    EXPECT_EQ (remote.getSettings().gatingOffFlag.get(), 1.0f);
}

TEST_F (MessagesFixture, MalformedPacketsAreDiscardedAndTheConnectionCarriesOn)
{
    unlock();
    auto valid = oscMessage ("/truePeakHoldTimeParam", 7.0f);

    juce::MemoryBlock oddSize (valid);
    oddSize.setSize (valid.getSize() - 1);

    char buffer[256];
    osc::OutboundPacketStream stream (buffer, sizeof (buffer));
    stream << osc::BeginBundleImmediate << osc::BeginMessage ("/gatingOffFlagParam") << 1.0f
           << osc::EndMessage << osc::EndBundle;
    auto truncatedBundle = packetBytes (stream);
    truncatedBundle.setSize (truncatedBundle.getSize() - 4);

    auto zeroElement = packetBytes (stream);
    std::memset (static_cast<char*> (zeroElement.getData()) + 16, 0, 4); // element size 0

    juce::MemoryBlock noTypeTags ("/truePeakHoldTimeParam\0\0", 24);

    // A negative element size would send the parser round for ever (-4) or
    // back out of the buffer, also inside a nested bundle.
    auto negativeElement = packetBytes (stream);
    std::memcpy (static_cast<char*> (negativeElement.getData()) + 16, "\xff\xff\xff\xfc", 4);

    char nestedBuffer[256];
    osc::OutboundPacketStream nested (nestedBuffer, sizeof (nestedBuffer));
    nested << osc::BeginBundleImmediate << osc::BeginBundleImmediate
           << osc::BeginMessage ("/gatingOffFlagParam") << 1.0f << osc::EndMessage << osc::EndBundle
           << osc::EndBundle;
    auto negativeNestedElement = packetBytes (nested);
    std::memcpy (static_cast<char*> (negativeNestedElement.getData()) + 36, "\xff\xff\xff\xf0", 4);

    // No message of the link carries a blob, and one whose size overruns the
    // packet would be read past its end.
    char blobBuffer[256];
    osc::OutboundPacketStream blobStream (blobBuffer, sizeof (blobBuffer));
    const char blobBytes[] = { 1, 2, 3, 4 };
    blobStream << osc::BeginMessage ("/adminPassword") << osc::Blob (blobBytes, 4) << osc::EndMessage;
    auto blobMessage = packetBytes (blobStream);
    auto overrunningBlob = packetBytes (blobStream);
    std::memcpy (static_cast<char*> (overrunningBlob.getData()) + 20, "\x05\x06\x4e\x63", 4);

    // The parser would look for the type tags elsewhere than the padding says.
    juce::MemoryBlock badPadding (valid);
    static_cast<char*> (badPadding.getData())[23] = 'x';

    for (const auto* packet : { &oddSize, &truncatedBundle, &zeroElement, &noTypeTags, &negativeElement,
                                &negativeNestedElement, &blobMessage, &overrunningBlob, &badPadding })
    {
        const auto printed = printedFor (*packet);
        EXPECT_EQ (printed.rfind ("error while parsing", 0), 0u) << printed;
        EXPECT_EQ (printed.back(), '\n');
    }

    const auto settings = remote.getSettings();
    EXPECT_EQ (settings.truePeakHoldTime.get(), SettingsSnapshot().truePeakHoldTime.get());
    EXPECT_EQ (settings.gatingOffFlag.get(), 0.0f);

    send (valid);
    EXPECT_EQ (remote.getSettings().truePeakHoldTime.get(), 7.0f);
    EXPECT_TRUE (remote.events.getClosed().empty());
}

TEST_F (MessagesFixture, ConnectAndDisconnectAreAnnounced)
{
    PrintedOutput::startCapture();
    auto other = connect();
    other->close();
    const bool lost = remote.events.waitFor ([this] { return remote.events.closedIds.size() == 1; });
    const auto printed = PrintedOutput::captured();

    ASSERT_TRUE (lost);
    EXPECT_EQ (printed, "Connected to server\nDisconnected from server\n");
}
