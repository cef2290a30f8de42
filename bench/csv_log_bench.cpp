// Times the CSV logger's drain passes against the way the log was written
// before it was kept open: for every line a check that the file is there,
// then the file opened at its end, the line written and the file closed.
// Both ways format the same events and write logs of their own in the same
// folder, in alternating rounds, so that both see the same load. The figure
// is the calling thread's CPU time (user and system) per pass.
//
//     csv_log_bench                   both ways and their ratio
//     csv_log_bench kept|reopened     one way only, to count its system calls:
//                                     strace -c -f bench/csv_log_bench kept

#include "OVRATextCSVLogger.h"
#include "WholeAppend.h"

#include <cstdio>
#include <cstring>
#include <ctime>

namespace
{
// The processor logs about 55 lines a second (each value for every block
// until the loudness thread's next one), and an idle logger wakes every
// 100 ms: about six lines a pass. A logger that fell behind drains 256.
struct Load
{
    const char* name;
    int linesPerPass;
    int passesPerRound;
};

constexpr Load loads[] = { { "6 lines a pass (the processor's pace)", 6, 1000 },
                           { "256 lines a pass (a full queue)", OVRATextCSVLogger::maxEventsPerPass, 25 } };
constexpr int rounds = 20;

double threadCpuMicroseconds()
{
    timespec now {};
    clock_gettime (CLOCK_THREAD_CPUTIME_ID, &now);
    return (double) now.tv_sec * 1.0e6 + (double) now.tv_nsec / 1.0e3;
}

LogEvent eventNumber (int i)
{
    // Made once: a local time looks up the time zone, which the processor's
    // clock does not.
    static const juce::Time start (2026, 11, 6, 12, 0, 0, 0, true);

    // Five momentary values to one short-term value, as the processor logs them.
    return { i % 6 == 5 ? LogEvent::shortTermLoudness : LogEvent::momentaryLoudness,
             -(float) (i % 700) / 10.0f, start + juce::RelativeTime::milliseconds (i * 18) };
}

/** The log as it was written before: each line checked for, opened, written, closed. */
class ReopeningLog
{
public:
    explicit ReopeningLog (juce::File fileToUse) : file (std::move (fileToUse)) {}

    void writePass (int firstEvent, int numEvents)
    {
        for (int i = firstEvent; i < firstEvent + numEvents; ++i)
        {
            if (! file.existsAsFile())
            {
                WholeAppend::createFolderOf (file);
                append ("Type, Value, Date, Time\r\n");
            }

            append (OVRATextCSVLogger::formatLine (eventNumber (i)));
        }
    }

private:
    void append (const juce::String& text)
    {
        juce::FileOutputStream out (file, 0);
        out.write (text.toRawUTF8(), text.getNumBytesAsUTF8());
    }

    juce::File file;
};

/** CPU microseconds per pass of each way; a way left out is not run. */
struct Figures
{
    double kept = 0.0, reopened = 0.0;
};

Figures run (const Load& load, const juce::File& folder, bool runKept, bool runReopened)
{
    const auto keptFile = folder.getChildFile ("kept.csv");
    const auto reopenedFile = folder.getChildFile ("reopened.csv");
    OVRATextCSVLogger logger (nullptr);
    logger.setLogFile (keptFile);
    ReopeningLog reopening (reopenedFile);
    Figures total;
    int nextEvent = 0;

    for (int round = 0; round < rounds; ++round)
    {
        const int firstEvent = nextEvent;
        nextEvent += load.passesPerRound * load.linesPerPass;

        if (runKept)
        {
            const auto start = threadCpuMicroseconds();

            for (int pass = 0; pass < load.passesPerRound; ++pass)
            {
                for (int i = 0; i < load.linesPerPass; ++i)
                    logger.pushEvent (eventNumber (firstEvent + pass * load.linesPerPass + i));

                logger.writePendingEvents();
            }

            total.kept += threadCpuMicroseconds() - start;
        }

        if (runReopened)
        {
            const auto start = threadCpuMicroseconds();

            for (int pass = 0; pass < load.passesPerRound; ++pass)
                reopening.writePass (firstEvent + pass * load.linesPerPass, load.linesPerPass);

            total.reopened += threadCpuMicroseconds() - start;
        }
    }

    const int passes = rounds * load.passesPerRound;

    if (runKept && runReopened && keptFile.loadFileAsString() != reopenedFile.loadFileAsString())
        std::printf ("  THE TWO LOGS DIFFER\n");

    return { total.kept / passes, total.reopened / passes };
}
} // namespace

int main (int argc, char* argv[])
{
    const bool runKept = argc < 2 || std::strcmp (argv[1], "kept") == 0;
    const bool runReopened = argc < 2 || std::strcmp (argv[1], "reopened") == 0;
    const auto folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                            .getNonexistentChildFile ("zelx_csv_log_bench", {}, false);

    for (const auto& load : loads)
    {
        folder.createDirectory();
        const auto figures = run (load, folder, runKept, runReopened);
        folder.deleteRecursively();

        std::printf ("CSV log, %s, %d passes:\n", load.name, rounds * load.passesPerRound);

        if (runKept)
            std::printf ("  kept open             %8.2f us CPU a pass\n", figures.kept);

        if (runReopened)
            std::printf ("  reopened per line     %8.2f us CPU a pass\n", figures.reopened);

        if (runKept && runReopened)
            std::printf ("  ratio kept / reopened %8.2f\n", figures.kept / figures.reopened);
    }

    return 0;
}
