// Runs a measurement logger flat out until it is killed. The logs tests kill
// it with SIGKILL and check that what it leaves on disk is whole.
//
//     logs_writer_child <folder> <events before saying "running">

#include "MeasurementClock.h"
#include "OVRAMeasurementLogger.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

int main (int argc, char* argv[])
{
    if (argc < 3)
        return 2;

    const juce::File folder (juce::String::fromUTF8 (argv[1]));
    const int eventsBeforeRunning = std::atoi (argv[2]);
    SystemMeasurementClock clock;

    const auto report = folder.getChildFile ("ZELX51Log_Killed.xml");
    OVRAMeasurementLogger logger;
    logger.startReport (report);
    logger.xmlLogger.setElementAttribute ({}, "UserSelectedTitle", "value", "ZEL51Log");
    logger.xmlLogger.setElementAttribute ("MeasurementInterval", "StartTime", "value",
                                          clock.now().toString (true, true, true, true));

    // Rewrites the report nearly back to back, so a kill is likely to land
    // inside a write; the pause lets the logger thread have the lock too.
    std::atomic<int> reportWrites { 0 };
    std::thread rewriter ([&] {
        for (;;)
        {
            logger.xmlLogger.writeReport();
            ++reportWrites;
            std::this_thread::sleep_for (std::chrono::microseconds (200));
        }
    });

    bool saidRunning = false;

    for (int i = 0;; ++i)
    {
        const auto now = clock.now();
        const auto value = -(float) (i % 700) / 10.0f;
        logger.csvLogger.pushEvent ({ (uint32_t) (i % 2), value, now });

        if (i % 16 == 0)
        {
            logger.setMaxMomentary (value, "LUFS", now);
            logger.setMaxShortTerm (value, "LUFS", now);
            logger.setMaxTruePeak (value, "dBTP", now);
        }

        if (! saidRunning && i >= eventsBeforeRunning && reportWrites.load() >= 20
            && logger.csvLogger.getLogFile().getSize() > 1000)
        {
            std::printf ("running\n");
            std::fflush (stdout);
            saidRunning = true;
        }

        if (i % 8 == 0)
            std::this_thread::yield();
    }
}
