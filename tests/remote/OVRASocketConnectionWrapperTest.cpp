#include "LoopbackClient.h"
#include "OVRAWireFraming.h"
#include "PrintedOutput.h"
#include "RecordingConnectionWrapper.h"
#include "WireTestBytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fcntl.h>
#include <limits>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using WireTestBytes::header;

namespace
{
constexpr const char* loopback = "127.0.0.1";

struct ServerFixture : public ::testing::Test
{
    void SetUp() override { ASSERT_TRUE (server.startServer (0, loopback)); }

    /** Connects a client and waits until the server has accepted it. */
    std::unique_ptr<LoopbackClient> connect()
    {
        const auto before = server.events.getOpened().size();
        auto client = std::make_unique<LoopbackClient> (server.getBoundPort());
        EXPECT_TRUE (client->isConnected());
        EXPECT_TRUE (server.events.waitFor ([&] { return server.events.openedIds.size() > before; }));
        return client;
    }

    RecordingConnectionWrapper server;
};

/** Polls the condition until it holds; false when it still does not after
    the clients' wait limit. */
bool waitUntil (const std::function<bool()>& condition)
{
    for (int waited = 0; waited < LoopbackClient::waitLimitMs; waited += 5)
    {
        if (condition())
            return true;

        juce::Thread::sleep (5);
    }

    return condition();
}

/** Every descriptor of the process taken but one, under a lowered limit,
    until the object is destroyed. */
class DescriptorExhaustion
{
public:
    DescriptorExhaustion()
    {
        ::getrlimit (RLIMIT_NOFILE, &saved);
        auto lowered = saved;
        lowered.rlim_cur = std::min<rlim_t> (saved.rlim_cur, 1024);
        ::setrlimit (RLIMIT_NOFILE, &lowered);

        for (int fd = ::open ("/dev/null", O_RDONLY | O_CLOEXEC); fd >= 0;
             fd = ::fcntl (taken.front(), F_DUPFD_CLOEXEC, 0))
            taken.push_back (fd);

        if (! taken.empty())
        {
            ::close (taken.back());
            taken.pop_back();
        }
    }

    ~DescriptorExhaustion()
    {
        for (auto fd : taken)
            ::close (fd);

        ::setrlimit (RLIMIT_NOFILE, &saved);
    }

private:
    rlimit saved {};
    std::vector<int> taken;
};

/** The descriptor of this process that listens on the port, or -1. */
int listeningDescriptorFor (int port)
{
    for (int fd = 0; fd < 4096; ++fd)
    {
        int listening = 0;
        socklen_t size = sizeof (listening);
        sockaddr_in address {};
        socklen_t addressSize = sizeof (address);

        if (::getsockopt (fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) == 0 && listening != 0
            && ::getsockname (fd, reinterpret_cast<sockaddr*> (&address), &addressSize) == 0
            && address.sin_family == AF_INET && ntohs (address.sin_port) == port)
            return fd;
    }

    return -1;
}
} // namespace

//==============================================================================
// A port is a whole number from 1 to 65535; any other text is none (-1),
// named as typed, and only an empty field stands for the default port.
TEST (OVRASocketConnectionWrapper, PortFieldGivesAWholePortNumberTheDefaultWhenEmptyOrNone)
{
    const struct
    {
        const char* text;
        int port;
        const char* name = nullptr; // in messages; the port's number when not given
    } table[] = {
        { "", 20000 },
        { "   ", 20000 },
        { "20001", 20001 },
        { " 31000 ", 31000 },
        { "+8000", 8000 },
        { " \t+8000", 8000 },
        { "08000", 8000 },
        { "1", 1 },
        { "65535", 65535 },
        { "0", -1, "0" },
        { "-0", -1, "-0" },
        { "-5", -1, "-5" },
        { "abc", -1, "abc" },
        { "+", -1, "+" },
        { "+ 8000", -1, "+ 8000" },
        { "--5", -1, "--5" },
        { "x8000", -1, "x8000" },
        { "8000x", -1, "8000x" },
        { " 2000 1", -1, "2000 1" },
        { "65536", -1, "65536" },
        { "4294975296", -1, "4294975296" }, // 2^32 + 8000 must not wrap to 8000
        { "99999999999999999999", -1, "99999999999999999999" },
    };

    for (const auto& row : table)
    {
        const auto typed = OVRASocketConnectionWrapper::portFromText (row.text);
        EXPECT_EQ (typed.number, row.port) << '"' << row.text << '"';
        EXPECT_EQ (typed.name, row.name != nullptr ? juce::String (row.name) : juce::String (row.port))
            << '"' << row.text << '"';
    }
}

TEST (OVRASocketConnectionWrapper, PortTakenFailsWithoutListeningAndNotStartedSendsToNoOne)
{
    RecordingConnectionWrapper first, second;
    second.sendNumbered (1); // no server, no connections: nothing happens

    ASSERT_TRUE (first.startServer (0, loopback));
    const auto port = first.getBoundPort();
    ASSERT_GT (port, 0);

    PrintedOutput::startCapture();
    const auto taken = second.startServer (port, loopback);
    EXPECT_EQ (second.getBoundPort(), -1);
    const auto tooHigh = second.startServer (65536, loopback);
    EXPECT_FALSE (second.startServer (-1, loopback));
    EXPECT_EQ (second.getBoundPort(), -1);
    const auto printed = PrintedOutput::captured();

    const auto takenMessage = "Port " + juce::String (port) + " cannot be used: it is already in use.";
    EXPECT_EQ (taken.getErrorMessage(), takenMessage);
    EXPECT_EQ (tooHigh.getErrorMessage(), "Port 65536 cannot be used: port numbers go from 1 to 65535.");
    EXPECT_TRUE (juce::String (printed).startsWith (takenMessage + "\n" + tooHigh.getErrorMessage() + "\n"))
        << printed;

    LoopbackClient client (port);
    EXPECT_TRUE (first.events.waitFor ([&] { return first.events.openedIds.size() == 1; }));
    EXPECT_TRUE (second.events.getOpened().empty());
}

TEST_F (ServerFixture, TwoClientsReceiveEveryBroadcastInOrderNewestListedLast)
{
    auto older = connect();
    auto newer = connect();

    const auto opened = server.events.getOpened();
    ASSERT_EQ (opened.size(), 2u);
    EXPECT_EQ (opened[1], opened[0] + 1);

    // Broadcasts go from the end of this list to its start: newest first.
    EXPECT_EQ (server.getConnectionIds(), juce::Array<int> (opened[0], opened[1]));

    constexpr juce::uint32 numBroadcasts = 30;

    for (juce::uint32 n = 1; n <= numBroadcasts; ++n)
        server.sendNumbered (n);

    for (auto* client : { older.get(), newer.get() })
    {
        for (juce::uint32 n = 1; n <= numBroadcasts; ++n)
        {
            const auto frame = client->readFrame();
            ASSERT_TRUE (frame.has_value()) << n;
            EXPECT_EQ (frame->getSize(), RecordingConnectionWrapper::payloadSize);
            EXPECT_EQ (RecordingConnectionWrapper::numberOf (*frame), n);
        }
    }
}

TEST_F (ServerFixture, IdsContinueAfterRestartAndLostConnectionsLeaveTheList)
{
    auto first = connect();
    auto second = connect();
    const auto opened = server.events.getOpened();

    first->close();
    ASSERT_TRUE (server.events.waitFor ([&] { return server.events.closedIds.size() == 1; }));
    EXPECT_EQ (server.events.getClosed().front(), opened[0]);
    EXPECT_TRUE (waitUntil ([&] { return server.getConnectionIds() == juce::Array<int> (opened[1]); }));

    // The live one still gets every broadcast.
    server.sendNumbered (7);
    server.sendNumbered (8);
    ASSERT_TRUE (second->readFrame().has_value());
    const auto frame = second->readFrame();
    ASSERT_TRUE (frame.has_value());
    EXPECT_EQ (RecordingConnectionWrapper::numberOf (*frame), 8u);

    server.stopServer();
    EXPECT_TRUE (server.getConnectionIds().isEmpty());
    EXPECT_EQ (server.getBoundPort(), -1);
    EXPECT_TRUE (second->waitUntilClosedByServer());
    EXPECT_EQ (server.events.getClosed().size(), 1u) << "a deliberate stop is not reported as a loss";

    ASSERT_TRUE (server.startServer (0, loopback));
    auto third = connect();
    EXPECT_EQ (server.events.getOpened().back(), opened[1] + 1);
    EXPECT_EQ (server.getConnectionIds(), juce::Array<int> (opened[1] + 1));
}

TEST_F (ServerFixture, WrongMagicAndEmptyFramesAreSkippedAndTheNextFramesDelivered)
{
    auto client = connect();

    client->sendRaw (header (0xdeadbeef, 4).getData(), 8);
    client->sendRaw (header (OVRAWireFraming::magicNumber, 0).getData(), 8);
    client->sendFrame ("first", 5);
    client->sendRaw (header (0x2c9eb4f2, 100).getData(), 8); // byte-swapped magic
    client->sendFrame ("second", 6);

    ASSERT_TRUE (server.events.waitFor ([&] { return server.events.messages.size() == 2; }));
    const auto messages = server.events.getMessages();
    EXPECT_EQ (messages[0], juce::MemoryBlock ("first", 5));
    EXPECT_EQ (messages[1], juce::MemoryBlock ("second", 6));

    // The connection is still alive: one more round trip works.
    client->sendFrame ("third", 5);
    ASSERT_TRUE (server.events.waitFor ([&] { return server.events.messages.size() == 3; }));
    EXPECT_TRUE (server.events.getClosed().empty());
}

TEST_F (ServerFixture, OversizeFrameClosesTheConnectionAndReportsItLostOnce)
{
    auto huge = connect();
    auto justOver = connect();
    auto healthy = connect();
    const auto opened = server.events.getOpened();

    huge->sendRaw (header (OVRAWireFraming::magicNumber, 0x7fffffff).getData(), 8);
    const auto over = header (OVRAWireFraming::magicNumber, OVRAWireFraming::maxPayloadSize + 1);
    justOver->sendRaw (over.getData(), 8);
    justOver->sendRaw (juce::MemoryBlock (OVRAWireFraming::maxPayloadSize + 1, true).getData(),
                       OVRAWireFraming::maxPayloadSize + 1);

    EXPECT_TRUE (huge->waitUntilClosedByServer());
    EXPECT_TRUE (justOver->waitUntilClosedByServer());
    ASSERT_TRUE (server.events.waitFor ([&] { return server.events.closedIds.size() == 2; }));

    auto closed = server.events.getClosed();
    std::sort (closed.begin(), closed.end());
    EXPECT_EQ (closed, (std::vector<int> { opened[0], opened[1] }));
    EXPECT_EQ (server.events.getNumMessages(), 0u);

    // The limit itself is accepted.
    juce::MemoryBlock largest (OVRAWireFraming::maxPayloadSize, true);
    healthy->sendFrame (largest);
    ASSERT_TRUE (server.events.waitFor ([&] { return server.events.messages.size() == 1; }));
    EXPECT_EQ (server.events.getMessages().front().getSize(), (size_t) OVRAWireFraming::maxPayloadSize);
    EXPECT_EQ (server.events.getClosed().size(), 2u);
}

TEST_F (ServerFixture, TruncatedFrameIsNeverDeliveredAndTheLossIsReportedOnce)
{
    auto client = connect();
    const auto id = server.events.getOpened().back();

    client->sendFrame ("whole", 5);
    client->sendRaw (header (OVRAWireFraming::magicNumber, 100).getData(), 8);
    client->sendRaw (juce::MemoryBlock (40, true).getData(), 40);
    client->close();

    ASSERT_TRUE (server.events.waitFor ([&] { return ! server.events.closedIds.empty(); }));
    EXPECT_EQ (server.events.getClosed(), std::vector<int> { id });

    const auto messages = server.events.getMessages();
    ASSERT_EQ (messages.size(), 1u);
    EXPECT_EQ (messages[0], juce::MemoryBlock ("whole", 5));

    // Broadcasting to it afterwards neither fails nor reports it again.
    server.sendNumbered (1);
    auto other = connect();
    server.sendNumbered (2);
    const auto frame = other->readFrame();
    ASSERT_TRUE (frame.has_value());
    EXPECT_EQ (RecordingConnectionWrapper::numberOf (*frame), 2u);
    EXPECT_EQ (server.events.getClosed().size(), 1u);
}

TEST_F (ServerFixture, StalledClientIsDisconnectedWhileHealthyOneGetsEveryBroadcast)
{
    auto stalled = connect();
    auto healthy = connect();
    const auto stalledId = server.events.getOpened().front();

    // The stalled client never reads: once the kernel's buffers and its
    // backlog are full it is dropped. The healthy one reads after every batch
    // and must see every number, in order, throughout.
    constexpr juce::uint32 batch = 10;
    constexpr juce::uint32 maxBroadcasts = 60000; // far more than any socket buffers
    juce::uint32 sent = 0;
    bool stalledDropped = false;

    while (sent < maxBroadcasts && ! stalledDropped)
    {
        for (juce::uint32 i = 0; i < batch; ++i)
            server.sendNumbered (++sent);

        for (auto expected = sent - batch + 1; expected <= sent; ++expected)
        {
            const auto frame = healthy->readFrame();
            ASSERT_TRUE (frame.has_value()) << expected;
            ASSERT_EQ (RecordingConnectionWrapper::numberOf (*frame), expected);
        }

        stalledDropped = ! server.events.getClosed().empty();
    }

    ASSERT_TRUE (stalledDropped) << "after " << sent << " broadcasts";
    EXPECT_EQ (server.events.getClosed(), std::vector<int> { stalledId });
    EXPECT_TRUE (stalled->waitUntilClosedByServer());

    server.sendNumbered (++sent);
    const auto frame = healthy->readFrame();
    ASSERT_TRUE (frame.has_value());
    EXPECT_EQ (RecordingConnectionWrapper::numberOf (*frame), sent);
}

TEST (OVRASocketConnectionWrapper, IdleClientsAreReleasedWhenTheServerStopsOrIsDestroyed)
{
    std::vector<std::unique_ptr<LoopbackClient>> clients;

    {
        RecordingConnectionWrapper server;
        ASSERT_TRUE (server.startServer (0, loopback));

        for (int i = 0; i < 8; ++i)
            clients.push_back (std::make_unique<LoopbackClient> (server.getBoundPort()));

        ASSERT_TRUE (server.events.waitFor ([&] { return server.events.openedIds.size() == 8; }));
        EXPECT_EQ (server.getConnectionIds().size(), 8);

        // One client has sent half a header and waits: stopping must not wait for it.
        clients[3]->sendRaw ("\x2c\x9e", 2);
    }

    for (auto& client : clients)
        EXPECT_TRUE (client->waitUntilClosedByServer());
}

TEST_F (ServerFixture, ClosedConnectionsAreReleasedThroughThousandsOfCycles)
{
    constexpr size_t batch = 32, numBatches = 100;

    for (size_t b = 1; b <= numBatches; ++b)
    {
        std::vector<std::unique_ptr<LoopbackClient>> clients;

        for (size_t i = 0; i < batch; ++i)
            clients.push_back (std::make_unique<LoopbackClient> (server.getBoundPort()));

        ASSERT_TRUE (server.events.waitFor ([&] { return server.events.openedIds.size() == b * batch; }));
        clients.clear();
        ASSERT_TRUE (server.events.waitFor ([&] { return server.events.closedIds.size() == b * batch; }));
    }

    EXPECT_TRUE (waitUntil ([this] { return server.getConnectionIds().isEmpty(); }))
        << server.getConnectionIds().size() << " connections left";

    auto client = connect();
    server.sendNumbered (1);
    const auto frame = client->readFrame();
    ASSERT_TRUE (frame.has_value());
    EXPECT_EQ (RecordingConnectionWrapper::numberOf (*frame), 1u);
}

TEST_F (ServerFixture, ClientsBeyondTheLimitAreClosedAtOnceWhileTheOthersGoOn)
{
    std::vector<std::unique_ptr<LoopbackClient>> clients;

    for (int i = 0; i < OVRASocketConnectionWrapper::maxConnections; ++i)
        clients.push_back (connect());

    PrintedOutput::startCapture();
    LoopbackClient extra (server.getBoundPort());
    const bool refused = extra.waitUntilClosedByServer();
    const auto printed = PrintedOutput::captured();

    EXPECT_TRUE (refused);
    EXPECT_EQ (printed, "Connection refused: 64 clients already connected\n");
    EXPECT_EQ (server.getConnectionIds().size(), OVRASocketConnectionWrapper::maxConnections);

    server.sendNumbered (1);

    for (auto& client : clients)
    {
        const auto frame = client->readFrame();
        ASSERT_TRUE (frame.has_value());
        EXPECT_EQ (RecordingConnectionWrapper::numberOf (*frame), 1u);
    }

    // A place that frees up is taken by the next client.
    clients.front()->close();
    ASSERT_TRUE (server.events.waitFor ([this] { return server.events.closedIds.size() == 1; }));
    auto late = connect();
    server.sendNumbered (2);
    const auto frame = late->readFrame();
    ASSERT_TRUE (frame.has_value());
    EXPECT_EQ (RecordingConnectionWrapper::numberOf (*frame), 2u);
}

TEST_F (ServerFixture, ClientsThatHaveClosedTakeNoPlaceDuringAReconnectStorm)
{
    constexpr int numHealthy = OVRASocketConnectionWrapper::maxConnections - 1;
    constexpr size_t numRounds = 3000;
    std::vector<std::unique_ptr<LoopbackClient>> clients;

    for (int i = 0; i < numHealthy; ++i)
        clients.push_back (connect());

    // One place is left: a client that keeps connecting and closing must get
    // it every time, however late the server notices each close.
    PrintedOutput::startCapture();

    for (size_t round = 0; round < numRounds; ++round)
        LoopbackClient (server.getBoundPort()).close();

    const auto expected = (size_t) numHealthy + numRounds;
    const bool allServed = server.events.waitFor ([&] { return server.events.openedIds.size() == expected; });
    const auto printed = PrintedOutput::captured();

    EXPECT_TRUE (allServed) << server.events.getOpened().size() - (size_t) numHealthy << " of " << numRounds;
    EXPECT_FALSE (juce::String (printed).contains ("Connection refused"));

    // Open clients still count: the last place is taken, and one more refused.
    clients.push_back (connect());
    LoopbackClient extra (server.getBoundPort());
    EXPECT_TRUE (extra.waitUntilClosedByServer());
}

TEST_F (ServerFixture, OutOfDescriptorsTheAcceptLoopBacksOffAndRecovers)
{
    std::unique_ptr<LoopbackClient> client;
    bool acceptsFailed = false;
    juce::uint64 failedInHalfASecond = 0;

    {
        DescriptorExhaustion exhaustion;

        // The client takes the last descriptor; the server has none to accept it with.
        client = std::make_unique<LoopbackClient> (server.getBoundPort());
        acceptsFailed = waitUntil ([this] { return server.getNumFailedAccepts() > 0; });

        const auto before = server.getNumFailedAccepts();
        juce::Thread::sleep (500);
        failedInHalfASecond = server.getNumFailedAccepts() - before;
    }

    ASSERT_TRUE (client->isConnected());
    EXPECT_TRUE (acceptsFailed);
    EXPECT_LE (failedInHalfASecond, 50u) << "retries no more often than every 10 ms";

    ASSERT_TRUE (server.events.waitFor ([this] { return server.events.openedIds.size() == 1; }));
    server.sendNumbered (1);
    const auto frame = client->readFrame();
    ASSERT_TRUE (frame.has_value());
    EXPECT_EQ (RecordingConnectionWrapper::numberOf (*frame), 1u);
}

TEST_F (ServerFixture, ListenerThatFailsIsNoLongerReportedAsListening)
{
    const auto fd = listeningDescriptorFor (server.getBoundPort());
    ASSERT_GE (fd, 0);
    ASSERT_EQ (::shutdown (fd, SHUT_RDWR), 0);

    EXPECT_TRUE (waitUntil ([this] { return server.getBoundPort() == -1; }));

    ASSERT_TRUE (server.startServer (0, loopback));
    auto client = connect();
    server.sendNumbered (1);
    EXPECT_TRUE (client->readFrame().has_value());
}
