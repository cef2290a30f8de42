#include "OVRAMeasurementLogger.h"
#include "LogTestFiles.h"

#include <gtest/gtest.h>

using LogTestFiles::readCrLfLines;
using LogTestFiles::TemporaryFolder;

TEST (MeasurementLogger, TheCSVLogLiesBesideTheReportUnderTheSameName)
{
    TemporaryFolder folder;
    // Only the file's own extension changes, not a folder that happens to contain it.
    const auto report = folder.getChildFile ("old.xml.reports/ZELX51Log_6_Dec_2026_9_5_7.xml");

    OVRAMeasurementLogger logger;
    logger.startReport (report);

    EXPECT_EQ (logger.csvLogger.getLogFile(), report.getSiblingFile ("ZELX51Log_6_Dec_2026_9_5_7.csv"));
    EXPECT_EQ (logger.xmlLogger.getReportFile(), report);
    EXPECT_TRUE (report.existsAsFile()) << "the skeleton is on disk before the first value";
}

TEST (MeasurementLogger, DeletingItWritesEveryQueuedEventAndTheFinalReport)
{
    TemporaryFolder folder;
    const auto report = folder.getChildFile ("ZELX51Log.xml");
    const auto csv = report.withFileExtension (".csv");
    const auto time = juce::Time (2026, 11, 6, 14, 30, 0, 0, true);
    constexpr int numEvents = 1023;

    {
        auto logger = std::make_unique<OVRAMeasurementLogger>();
        logger->startReport (report);

        // The thread drains while the queue fills; whatever is left goes at deletion.
        for (int i = 0; i < numEvents; ++i)
            logger->csvLogger.pushEvent ({ (uint32_t)(i % 2), -(float)i, time });

        logger->setMaxShortTerm (-10.0f, "LKFS", time);
        logger->setMaxMomentary (-9.0f, "LKFS", time);
        logger->setMaxTruePeak (-1.5f, "dBTP", time);
        logger->setIntegratedLoudness (-23.0f, "LKFS");
        logger->xmlLogger.setElementAttribute ("MeasurementInterval", "UpTime", "value", "0");
    }

    const auto lines = readCrLfLines (csv);
    ASSERT_EQ (lines.size(), 1 + numEvents);

    for (int i = 0; i < numEvents; ++i)
        ASSERT_TRUE (lines[1 + i].startsWith ((i % 2 == 0 ? "MomentaryLoudness, -" : "ShortTermLoudness, -") +
                                              juce::String (i) + ".0, "))
            << lines[1 + i];

    auto xml = juce::XmlDocument::parse (report);
    ASSERT_NE (xml, nullptr);
    auto* integrated = xml->getChildByName ("IntegratedMeasurements");
    ASSERT_NE (integrated, nullptr);

    for (auto [name, value, unit] :
         { std::tuple ("MaxShortTerm", "-10.0", "LKFS"), std::tuple ("MaxMomentary", "-9.0", "LKFS"),
           std::tuple ("MaxTruePeak", "-1.5", "dBTP"), std::tuple ("IntegratedLoudness", "-23.0", "LKFS") })
    {
        auto* element = integrated->getChildByName (name);
        ASSERT_NE (element, nullptr) << name;
        EXPECT_EQ (element->getStringAttribute ("value"), value) << name;
        EXPECT_EQ (element->getStringAttribute ("unit"), unit) << name;
    }

    EXPECT_EQ (
        xml->getChildByName ("MeasurementInterval")->getChildByName ("UpTime")->getStringAttribute ("value"),
        "0");
}
