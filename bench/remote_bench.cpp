// One tick of the remote timer (copy the records, build the 1900-byte bundle,
// send it) with 1, 10 and 64 (the most served at once) loopback clients that
// read everything, against the framework connection's way of sending: the
// same bundle written to every client's socket with a blocking write on the
// calling thread. Then the same tick while one more client has stopped reading.
//
// Tick times are what the message thread spends; delivery is until every
// reading client has the bundle. Each tick waits for delivery before the next.

#include "OVRAWireFraming.h"
#include "ZELOSCStandalone.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int numTicks = 1000;
constexpr juce::uint64 frameSize = 1908;

double microseconds (Clock::duration d) { return std::chrono::duration<double, std::micro> (d).count(); }

struct Figures
{
    double median = 0, p99 = 0;
};

Figures summarise (std::vector<double> values)
{
    std::sort (values.begin(), values.end());
    return { values[values.size() / 2], values[(values.size() * 99) / 100] };
}

/** A client that reads and counts everything it is sent. */
class ReadingClient : public juce::Thread
{
public:
    explicit ReadingClient (int port) : juce::Thread ("bench client")
    {
        socket.connect ("127.0.0.1", port, 5000);
        startThread();
    }

    ~ReadingClient() override
    {
        signalThreadShouldExit();
        stopThread (2000);
    }

    juce::uint64 frames() const noexcept { return bytes.load() / frameSize; }

    juce::StreamingSocket socket;

private:
    void run() override
    {
        std::vector<char> buffer (1 << 16);

        while (! threadShouldExit())
        {
            const auto ready = socket.waitUntilReady (true, 20);

            if (ready < 0)
                return;

            if (ready == 0)
                continue;

            const auto n = socket.read (buffer.data(), (int) buffer.size(), false);

            if (n <= 0)
                return;

            bytes += (juce::uint64) n;
        }
    }

    std::atomic<juce::uint64> bytes { 0 };
};

/** The remote object without its console lines, counting connections. */
class QuietRemote : public ZELOSCStandalone
{
public:
    ~QuietRemote() override { stopServer(); }
    void connectionOpened (int) override { ++opened; }
    void connectionClosed (int) override { ++closed; }
    std::atomic<int> opened { 0 }, closed { 0 };
};

void waitUntil (const std::function<bool()>& condition)
{
    const auto limit = Clock::now() + std::chrono::seconds (30);

    while (! condition() && Clock::now() < limit)
        std::this_thread::yield();
}

bool allHave (const std::vector<std::unique_ptr<ReadingClient>>& clients, juce::uint64 frames)
{
    return std::all_of (clients.begin(), clients.end(), [frames] (auto& c) { return c->frames() >= frames; });
}

DisplaySnapshot display;
SettingsSnapshot settings;

/** Ticks of the remote object with n reading clients (and one stalled one). */
void measureRemote (int numClients, bool withStalledClient, Figures& tick, Figures& delivery, int& ticksRun)
{
    QuietRemote remote;
    remote.startServer (0, "127.0.0.1");
    std::vector<std::unique_ptr<ReadingClient>> clients;
    std::unique_ptr<juce::StreamingSocket> stalled;

    if (withStalledClient)
    {
        stalled = std::make_unique<juce::StreamingSocket>();
        stalled->connect ("127.0.0.1", remote.getBoundPort(), 5000);
    }

    for (int i = 0; i < numClients; ++i)
        clients.push_back (std::make_unique<ReadingClient> (remote.getBoundPort()));

    waitUntil ([&] { return remote.opened == numClients + (withStalledClient ? 1 : 0); });

    std::vector<double> tickTimes, deliveryTimes;
    ticksRun = 0;

    for (int t = 1; t <= numTicks; ++t)
    {
        // While the stalled client is connected, only its ticks count.
        if (withStalledClient && remote.closed > 0)
            break;

        display.processedSamplesCounter = 4800.0 * t;
        const auto start = Clock::now();
        remote.setDisplayValues (display);
        remote.setSettings (settings);
        remote.sendToAll();
        const auto sent = Clock::now();
        waitUntil ([&] { return allHave (clients, (juce::uint64) t); });
        const auto delivered = Clock::now();

        tickTimes.push_back (microseconds (sent - start));
        deliveryTimes.push_back (microseconds (delivered - start));
        ticksRun = t;
    }

    tick = summarise (tickTimes);
    delivery = summarise (deliveryTimes);
}

/** The framework connection's way: blocking writes of each frame on the
    calling thread, one socket after the other. */
void measureBlockingPeer (int numClients, Figures& tick)
{
    QuietRemote remote; // only builds the bundle
    juce::StreamingSocket listener;
    listener.createListener (0, "127.0.0.1");
    std::vector<std::unique_ptr<ReadingClient>> clients;
    std::vector<std::unique_ptr<juce::StreamingSocket>> accepted;

    for (int i = 0; i < numClients; ++i)
    {
        clients.push_back (std::make_unique<ReadingClient> (listener.getBoundPort()));
        accepted.emplace_back (listener.waitForNextConnection());
    }

    std::vector<double> tickTimes;

    for (int t = 1; t <= numTicks; ++t)
    {
        display.processedSamplesCounter = 4800.0 * t;
        const auto start = Clock::now();
        remote.setDisplayValues (display);
        remote.setSettings (settings);
        const auto frame = OVRAWireFraming::frame (remote.getPacketData());

        for (auto i = accepted.size(); i-- > 0;)
            accepted[i]->write (frame.getData(), (int) frame.getSize());

        tickTimes.push_back (microseconds (Clock::now() - start));
        waitUntil ([&] { return allHave (clients, (juce::uint64) t); });
    }

    tick = summarise (tickTimes);
}
} // namespace

int main()
{
    std::printf ("remote tick: copy, build and send one 1908-byte framed bundle; %d ticks each\n", numTicks);
    std::printf ("%8s  %24s  %24s  %14s  %22s\n", "clients", "tick median / p99 (us)",
                 "blocking peer med / p99", "tick / peer", "delivered med / p99 (us)");

    Figures reference {};

    for (const int n : { 1, 10, OVRASocketConnectionWrapper::maxConnections })
    {
        Figures tick, delivery, peer;
        int ticks = 0;
        measureRemote (n, false, tick, delivery, ticks);
        measureBlockingPeer (n, peer);

        if (n == 10)
            reference = tick;

        std::printf ("%8d  %11.1f / %10.1f  %11.1f / %10.1f  %14.2f  %10.1f / %10.1f\n", n, tick.median,
                     tick.p99, peer.median, peer.p99, tick.median / peer.median, delivery.median,
                     delivery.p99);
    }

    Figures tick, delivery;
    int ticks = 0;
    measureRemote (10, true, tick, delivery, ticks);
    std::printf ("\n10 reading clients and one that has stopped reading (%d ticks until it was dropped):\n",
                 ticks);
    std::printf ("  tick median %.1f us, p99 %.1f us; %.2f x the median without the stalled client\n",
                 tick.median, tick.p99, tick.median / reference.median);
    std::printf ("  the blocking peer would wait for the stalled client for ever once its socket is full\n");
    return 0;
}
