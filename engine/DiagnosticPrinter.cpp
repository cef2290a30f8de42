#include "DiagnosticPrinter.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <poll.h>
#include <system_error>
#include <thread>
#include <unistd.h>

DiagnosticPrinter::DiagnosticPrinter()
{
    try
    {
        std::thread (&DiagnosticPrinter::run, this).detach();
        running = true;
    }
    catch (const std::system_error&)
    {
        // No thread to be had: every text is dropped and counted.
    }
}

DiagnosticPrinter& DiagnosticPrinter::getInstance()
{
    // Never destroyed: its thread may still be stuck in a write at exit.
    static auto* const instance = new DiagnosticPrinter();
    return *instance;
}

//==============================================================================
void DiagnosticPrinter::print (std::string text) { getInstance().enqueue (std::move (text), STDOUT_FILENO); }

void DiagnosticPrinter::printError (std::string text)
{
    getInstance().enqueue (std::move (text), STDERR_FILENO);
}

bool DiagnosticPrinter::waitUntilWritten (int timeoutMs)
{
    auto& printer = getInstance();
    std::unique_lock<std::mutex> lock (printer.mutex);

    return printer.written.wait_for (lock, std::chrono::milliseconds (timeoutMs),
                                     [&printer] { return printer.queue.empty() && ! printer.writing; });
}

juce::uint64 DiagnosticPrinter::getNumDropped()
{
    auto& printer = getInstance();
    const std::lock_guard<std::mutex> lock (printer.mutex);
    return printer.totalDropped;
}

//==============================================================================
void DiagnosticPrinter::enqueue (std::string text, int descriptor)
{
    if (text.empty() || text.back() != '\n')
        text += '\n';

    {
        const std::lock_guard<std::mutex> lock (mutex);

        if (running && queue.size() < maxQueuedTexts)
        {
            queue.push_back ({ std::move (text), 0, descriptor });
        }
        else
        {
            ++totalDropped;

            if (! running)
                return;

            // One note per gap, in its place among the texts.
            if (queue.back().numDropped > 0)
                ++queue.back().numDropped;
            else
                queue.push_back ({ {}, 1 });
        }
    }

    queued.notify_one();
}

void DiagnosticPrinter::run()
{
    juce::Thread::setCurrentThreadName ("ZELX Standard Output");
    std::unique_lock<std::mutex> lock (mutex);
    bool outputStalled = false; // since the last note on a gap, or since all was written

    for (;;)
    {
        queued.wait (lock, [this] { return ! queue.empty(); });

        auto entry = std::move (queue.front());
        queue.pop_front();
        writing = true;
        lock.unlock();

        if (entry.numDropped > 0)
        {
            entry.text = std::to_string (entry.numDropped) + " diagnostics dropped: "
                         + (outputStalled ? "standard output was not taking them\n"
                                          : "more came than could be written\n");
            outputStalled = false;
        }

        if (! write (entry.descriptor, entry.text))
            outputStalled = true;

        lock.lock();
        writing = false;

        if (queue.empty())
        {
            outputStalled = false;
            written.notify_all();
        }
    }
}

bool DiagnosticPrinter::write (int descriptor, const std::string& text)
{
    // Straight to the descriptor: stdio would hold its stream lock for as
    // long as a write is stuck, and stall everyone else who prints.
    const char* data = text.data();
    size_t remaining = text.size();
    bool tookItAll = true;

    while (remaining > 0)
    {
        // In pieces of PIPE_BUF, which a pipe with room at all takes at once:
        // a wait is seen here, before the write.
        pollfd room { descriptor, POLLOUT, 0 };

        if (::poll (&room, 1, 0) == 0)
            tookItAll = false;

        const auto numWritten = ::write (descriptor, data, std::min (remaining, (size_t) PIPE_BUF));

        if (numWritten < 0)
        {
            if (errno == EINTR)
                continue;

            return false; // closed or broken: there is no one to tell
        }

        data += numWritten;
        remaining -= (size_t) numWritten;
    }

    return tookItAll;
}
