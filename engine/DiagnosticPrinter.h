#pragma once

#include <juce_core/juce_core.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>

/** Writes the program's texts for standard output (the remote-control
    diagnostics, the path of a new report) and standard error (an audio device
    that stopped) from a thread of its own, so that a terminal or pipe that
    stops taking output never holds up a connection, the accept thread, the
    message thread, or whoever waits for them.

    Each text is written as one whole line: a line end is added to one that
    lacks it, so that no two texts run together on a terminal.

    Texts wait in a bounded queue. While the queue is full, further texts are
    dropped and counted, and a line in their place says how many went missing
    and why: standard output was not taking them (it had no room or failed
    while they waited), or more came than could be written.

    The printer lives as long as the process and is never joined: a write
    that never returns costs only its own thread.

        DiagnosticPrinter::print ("Connected to server");
        DiagnosticPrinter::printError ("The audio device stopped");
*/
class DiagnosticPrinter
{
public:
    /** Texts waiting for standard output beyond which new ones are dropped. */
    static constexpr size_t maxQueuedTexts = 256;

    /** Queues the text for standard output as a line; never waits for the
        output. Any thread but the audio thread. */
    static void print (std::string text);

    /** The same for standard error. */
    static void printError (std::string text);

    /** Waits until everything queued so far has been written; false when that
        has not happened within the timeout. */
    static bool waitUntilWritten (int timeoutMs);

    /** Texts dropped since the process started. */
    static juce::uint64 getNumDropped();

private:
    //==============================================================================
    struct Entry
    {
        std::string text;
        juce::uint64 numDropped = 0; // a note on a gap rather than a text when not 0
        int descriptor = 1;
    };

    DiagnosticPrinter();
    static DiagnosticPrinter& getInstance();

    void enqueue (std::string text, int descriptor);
    void run();
    /** False when the descriptor had no room at some point, or failed. */
    static bool write (int descriptor, const std::string& text);

    std::mutex mutex; // held for queue operations only, never across a write
    std::condition_variable queued, written;
    std::deque<Entry> queue;
    bool writing = false;
    bool running = false;
    juce::uint64 totalDropped = 0;

    JUCE_DECLARE_NON_COPYABLE (DiagnosticPrinter)
};
