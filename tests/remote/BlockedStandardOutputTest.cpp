#include "DiagnosticPrinter.h"
#include "LoopbackClient.h"
#include "PrintedOutput.h"
#include "RecordingRemote.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <future>
#include <unistd.h>

namespace
{
/** Standard output turned into a pipe of one page that nobody reads, for as
    long as the object lives. Ending it reads the pipe until the printer has
    caught up, so nothing stays stuck, then puts the real output back. A
    writer still caught in the pipe gets an error from then on rather than
    SIGPIPE, which stays ignored for the rest of the process. */
class UnreadStandardOutput
{
public:
    UnreadStandardOutput()
    {
        int ends[2];

        if (::pipe2 (ends, O_CLOEXEC) != 0)
            return;

        readEnd = ends[0];
        std::signal (SIGPIPE, SIG_IGN);
        ::fcntl (ends[1], F_SETPIPE_SZ, 4096);
        std::fflush (nullptr);
        savedOutput = ::dup (STDOUT_FILENO);
        ::dup2 (ends[1], STDOUT_FILENO);
        ::close (ends[1]);
    }

    ~UnreadStandardOutput() { release(); }

    /** Ends it early; returns what was read from the pipe. */
    std::string release()
    {
        std::string text;

        if (readEnd < 0)
            return text;

        ::fcntl (readEnd, F_SETFL, O_NONBLOCK);
        char buffer[4096];

        for (int i = 0; i < 2000; ++i)
        {
            const bool caughtUp = DiagnosticPrinter::waitUntilWritten (10);

            for (ssize_t n; (n = ::read (readEnd, buffer, sizeof (buffer))) > 0;)
                text.append (buffer, (size_t) n);

            if (caughtUp)
                break;
        }

        ::dup2 (savedOutput, STDOUT_FILENO);
        ::close (savedOutput);
        ::close (readEnd);
        readEnd = -1;
        return text;
    }

    bool isInPlace() const noexcept { return readEnd >= 0; }

private:
    int readEnd = -1;
    int savedOutput = -1;
};

/** Runs the call on a thread of its own; true when it returned within the
    wait limit. The thread is joined when the result is destroyed. */
std::future<void> runAside (std::function<void()> call)
{
    return std::async (std::launch::async, std::move (call));
}

bool returnsInTime (std::future<void>& call)
{
    return call.wait_for (std::chrono::milliseconds (LoopbackClient::waitLimitMs))
           == std::future_status::ready;
}

/** Prints texts of 99 characters, without a line end, until the printer
    drops one; false when it never does. */
bool printUntilOneIsDropped()
{
    const auto droppedBefore = DiagnosticPrinter::getNumDropped();
    const std::string line (99, 'x');

    for (int i = 0; i < 1000000; ++i)
    {
        DiagnosticPrinter::print (line);

        if (DiagnosticPrinter::getNumDropped() > droppedBefore)
            return true;
    }

    return false;
}
} // namespace

TEST (BlockedStandardOutput, UnreadOutputHoldsUpNeitherSettingsCopiesNorBundlesNorTheStop)
{
    RecordingRemote remote;
    ASSERT_TRUE (remote.startServer (0, "127.0.0.1"));
    LoopbackClient chatty (remote.getBoundPort()), watcher (remote.getBoundPort());
    ASSERT_TRUE (remote.events.waitFor ([&] { return remote.events.openedIds.size() == 2; }));
    ASSERT_TRUE (
        remote.sendAndWait (chatty, oscMessage ("/adminPassword", SettingsSnapshot::defaultAdminPassword)));
    ASSERT_TRUE (remote.isUnlocked());

    // Each message echoes its value: the queue and a page of pipe hold far fewer.
    constexpr size_t numEchoes = 2000;
    const auto droppedBefore = DiagnosticPrinter::getNumDropped();
    const auto handledBefore = remote.events.getNumMessages();

    // Nothing is asserted while standard output is stuck: a failure message
    // would stick there too. The calls that could hang run aside.
    std::future<void> copy, stop;
    bool allHandled = false, copied = false, bundleArrived = false, stopped = false;

    {
        UnreadStandardOutput unread;
        ASSERT_TRUE (unread.isInPlace());

        const auto echoed = oscMessage ("/measurementScaleParam", 0.5f);

        for (size_t i = 0; i < numEchoes; ++i)
            chatty.sendFrame (echoed);

        allHandled = remote.events.waitFor (
            [&] { return remote.events.messages.size() >= handledBefore + numEchoes; });

        // The processor's timer: copy the settings in, then broadcast.
        copy = runAside ([&] {
            remote.setSettings (SettingsSnapshot());
            remote.sendToAll();
        });
        copied = returnsInTime (copy);
        bundleArrived = copied && watcher.readFrame().has_value();

        stop = runAside ([&] { remote.stopServer(); });
        stopped = returnsInTime (stop);
    }

    EXPECT_TRUE (allHandled);
    EXPECT_GT (DiagnosticPrinter::getNumDropped(), droppedBefore);
    EXPECT_TRUE (copied);
    EXPECT_TRUE (bundleArrived);
    EXPECT_TRUE (stopped);
}

TEST (BlockedStandardOutput, DroppedLinesAreToldAsUnreadOutputOrAsMoreThanCouldBeWritten)
{
    // A file takes every line, only not as fast as they come.
    PrintedOutput::startCapture();
    const bool droppedIntoFile = printUntilOneIsDropped();
    const auto intoFile = PrintedOutput::captured();

    std::string intoPipe;
    bool droppedIntoPipe = false;
    {
        UnreadStandardOutput unread;
        ASSERT_TRUE (unread.isInPlace());
        droppedIntoPipe = printUntilOneIsDropped();
        intoPipe = unread.release();
    }

    const std::string tooMany = "diagnostics dropped: more came than could be written\n";
    const std::string unread = "diagnostics dropped: standard output was not taking them\n";
    ASSERT_TRUE (droppedIntoFile);
    EXPECT_NE (intoFile.find (tooMany), std::string::npos);
    // Every text and note is a whole line: none runs into the next, none is empty.
    EXPECT_EQ (intoFile.find (std::string (100, 'x')), std::string::npos);
    EXPECT_EQ (intoFile.find ("\n\n"), std::string::npos);
    EXPECT_EQ (intoFile.find (unread), std::string::npos);
    ASSERT_TRUE (droppedIntoPipe);
    EXPECT_NE (intoPipe.find (unread), std::string::npos);
}
