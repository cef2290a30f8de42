#include "LoopbackClient.h"
#include "OVRAWireFraming.h"
#include "RecordingRemote.h"

#include <gtest/gtest.h>
#include <osc/OscReceivedElements.h>

#include <string>
#include <vector>

namespace
{
const std::vector<std::string> bundleAddresses { "/momentaryLoudness",
                                                 "/momentaryLoudnessPix",
                                                 "/shortTermLoudness",
                                                 "/programLoudness",
                                                 "/loudnessRange",
                                                 "/loudnessRangeVectorMin",
                                                 "/loudnessRangeVectorMax",
                                                 "/arrowSliderValue",
                                                 "/truePeakAlarm",
                                                 "/truePeakValuesPerChannelL",
                                                 "/truePeakValuesPerChannelR",
                                                 "/truePeakValuesPerChannelC",
                                                 "/truePeakValuesPerChannelLFE",
                                                 "/truePeakValuesPerChannelLS",
                                                 "/truePeakValuesPerChannelRS",
                                                 "/truePeakValuesPerChannelPixL",
                                                 "/truePeakValuesPerChannelPixR",
                                                 "/truePeakValuesPerChannelPixC",
                                                 "/truePeakValuesPerChannelPixLFE",
                                                 "/truePeakValuesPerChannelPixLS",
                                                 "/truePeakValuesPerChannelPixRS",
                                                 "/truePeakAlarmsPerChannelL",
                                                 "/truePeakAlarmsPerChannelR",
                                                 "/truePeakAlarmsPerChannelC",
                                                 "/truePeakAlarmsPerChannelLFE",
                                                 "/truePeakAlarmsPerChannelLS",
                                                 "/truePeakAlarmsPerChannelRS",
                                                 "/vectroscopeValueL",
                                                 "/vectroscopeValueR",
                                                 "/vectroscopeValueC",
                                                 "/vectroscopeValueLFE",
                                                 "/vectroscopeValueLS",
                                                 "/vectroscopeValueRS",
                                                 "/vurnCorrL-R",
                                                 "/vurnCorrL-C",
                                                 "/vurnCorrR-C",
                                                 "/vurnCorrLS-RS",
                                                 "/vurnCorrL-LS",
                                                 "/vurnCorrR-RS",
                                                 "/processedSamplesCounter",
                                                 "/measurementStandardParam",
                                                 "/measurementScaleParam",
                                                 "/measurementUnitParam",
                                                 "/gatingOffFlagParam",
                                                 "/truePeakRefLevelParam",
                                                 "/truePeakMaxLevelParam",
                                                 "/truePeakHoldTimeParam",
                                                 "/truePeakOverloadTimeParam",
                                                 "/shtLoudnessMaxValueParam",
                                                 "/stereoDownmixParam",
                                                 "/vectroscopeInputDataParam",
                                                 "/stereoStateParam" };

/** One element of a received bundle: its address, type tag, value and size. */
struct Row
{
    std::string address;
    char tag = 0;
    double value = 0; // f, i and d as a number; T 1, F 0
    int size = 0;
};

std::vector<Row> parseBundle (const juce::MemoryBlock& payload)
{
    std::vector<Row> rows;
    osc::ReceivedPacket packet (static_cast<const char*> (payload.getData()), payload.getSize());
    EXPECT_TRUE (packet.IsBundle());
    osc::ReceivedBundle bundle (packet);
    EXPECT_EQ (bundle.TimeTag(), 1u);

    for (auto element = bundle.ElementsBegin(); element != bundle.ElementsEnd(); ++element)
    {
        osc::ReceivedMessage message (*element);
        Row row;
        row.address = message.AddressPattern();
        row.size = (int) element->Size();
        EXPECT_EQ (message.ArgumentCount(), 1u) << row.address;
        const auto argument = *message.ArgumentsBegin();
        row.tag = argument.TypeTag();

        switch (row.tag)
        {
            case 'f':
                row.value = argument.AsFloat();
                break;
            case 'i':
                row.value = argument.AsInt32();
                break;
            case 'd':
                row.value = argument.AsDouble();
                break;
            case 'T':
                row.value = 1;
                break;
            case 'F':
                row.value = 0;
                break;
            default:
                ADD_FAILURE() << "unexpected tag " << row.tag;
                break;
        }

        rows.push_back (row);
    }

    return rows;
}

struct BundleFixture : public ::testing::Test
{
    void SetUp() override
    {
        ASSERT_TRUE (remote.startServer (0, "127.0.0.1"));
        client = std::make_unique<LoopbackClient> (remote.getBoundPort());
        ASSERT_TRUE (remote.events.waitFor ([this] { return remote.events.openedIds.size() == 1; }));
    }

    /** What one tick of the processor's timer puts on the wire. */
    juce::MemoryBlock tick (const DisplaySnapshot& display, const SettingsSnapshot& settings)
    {
        remote.setDisplayValues (display);
        remote.setSettings (settings);
        remote.sendToAll();
        auto frame = client->readFrame();
        EXPECT_TRUE (frame.has_value());
        return frame.value_or (juce::MemoryBlock());
    }

    RecordingRemote remote;
    std::unique_ptr<LoopbackClient> client;
};
} // namespace

TEST_F (BundleFixture, ResetMeterAndDefaultSettingsGiveTheExactBundle)
{
    const auto payload = tick (DisplaySnapshot(), SettingsSnapshot());

    EXPECT_EQ (payload.getSize(), 1900u);
    EXPECT_EQ (OVRAWireFraming::frame (payload).getSize(), 1908u);
    EXPECT_EQ (std::memcmp (payload.getData(), "#bundle\0", 8), 0);
    const auto* bytes = static_cast<const juce::uint8*> (payload.getData());
    EXPECT_EQ (juce::ByteOrder::bigEndianInt64 (bytes + 8), (juce::uint64) 1);
    EXPECT_EQ (juce::ByteOrder::bigEndianInt (bytes + 16), 28u);

    const auto rows = parseBundle (payload);
    ASSERT_EQ (rows.size(), bundleAddresses.size());

    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ (rows[i].address, bundleAddresses[i]) << "row " << i + 1;

    EXPECT_EQ (rows[0].size, 28);
    EXPECT_EQ (rows[39].size, 40);
    EXPECT_EQ (rows[51].size, 24);

    auto expectRows = [&rows] (std::initializer_list<int> rowNumbers, char tag, double value) {
        for (const auto n : rowNumbers)
        {
            EXPECT_EQ (rows[(size_t) n - 1].tag, tag) << "row " << n;
            EXPECT_EQ (rows[(size_t) n - 1].value, value) << "row " << n;
        }
    };

    expectRows ({ 1, 3, 4, 5, 10, 11, 12, 13, 14, 15 }, 'f', -70.0);
    expectRows ({ 2, 6, 7, 8, 16, 17, 18, 19, 20, 21, 28, 29, 30, 31, 32, 33 }, 'f', 0.0);
    expectRows ({ 9, 22, 23, 24, 25, 26, 27 }, 'i', 0.0);
    expectRows ({ 34, 35, 36, 37, 38, 39 }, 'f', 1.0);
    expectRows ({ 40 }, 'd', 0.0);

    expectRows ({ 41, 42, 43, 44, 45, 50, 51 }, 'f', 0.0);
    expectRows ({ 46 }, 'f', -1.0);
    expectRows ({ 47, 48 }, 'f', 3.0);
    expectRows ({ 49 }, 'f', -24.0);
    expectRows ({ 52 }, 'F', 0.0);
}

TEST_F (BundleFixture, EveryRowCarriesItsOwnFieldAndTheSizeNeverChanges)
{
    // Distinct values everywhere, so a swapped row shows.
    DisplaySnapshot display;
    float next = 1.25f;
    auto distinct = [&next] { return next += 1.0f; };

    for (auto* field :
         { &display.momentaryLoudness, &display.momentaryLoudnessPix, &display.shortTermLoudness,
           &display.programLoudness, &display.loudnessRange, &display.loudnessRangeVectorMin,
           &display.loudnessRangeVectorMax, &display.arrowSliderValue })
        *field = distinct();

    display.truePeakAlarm = 1;

    for (int i = 0; i < DisplaySnapshot::numSlots; ++i)
    {
        display.truePeakValuesPerChannel[(size_t) i] = distinct();
        display.truePeakValuesPerChannelPix[(size_t) i] = distinct();
        display.truePeakAlarmsPerChannel[(size_t) i] = 100 + i;
        display.vectroscopeValue[(size_t) i] = distinct();
        display.vurnCorr[(size_t) i] = -distinct();
    }

    display.processedSamplesCounter = 48000.0 * 3600.0 * 30.0 + 0.5; // more than a float holds

    SettingsSnapshot settings;
    std::vector<RelaxedAtomic<float>*> orderedSettings {
        &settings.measurementStandard, &settings.measurementScale,        &settings.measurementUnit,
        &settings.gatingOffFlag,       &settings.truePeakRefLevel,        &settings.truePeakMaxLevel,
        &settings.truePeakHoldTime,    &settings.truePeakOverloadTime,    &settings.shtMaxLevel,
        &settings.stereoMixdownFlag,   &settings.vectroscopeInputDataFlag
    };
    for (auto* field : orderedSettings)
        *field = distinct();

    settings.stereoState = true;
    settings.followTransportFlag = 1.0f;
    settings.adminPassword = 4242;

    const auto payload = tick (display, settings);
    EXPECT_EQ (payload.getSize(), 1900u);
    const auto rows = parseBundle (payload);
    ASSERT_EQ (rows.size(), 52u);

    std::vector<double> expected;

    for (auto* field :
         { &display.momentaryLoudness, &display.momentaryLoudnessPix, &display.shortTermLoudness,
           &display.programLoudness, &display.loudnessRange, &display.loudnessRangeVectorMin,
           &display.loudnessRangeVectorMax, &display.arrowSliderValue })
        expected.push_back (field->get());

    expected.push_back (display.truePeakAlarm.get());

    for (auto* row : { &display.truePeakValuesPerChannel, &display.truePeakValuesPerChannelPix })
        for (auto& value : *row)
            expected.push_back (value.get());

    for (auto& value : display.truePeakAlarmsPerChannel)
        expected.push_back (value.get());

    for (auto* row : { &display.vectroscopeValue, &display.vurnCorr })
        for (auto& value : *row)
            expected.push_back (value.get());

    expected.push_back (display.processedSamplesCounter.get());

    for (auto* field : orderedSettings)
        expected.push_back (field->get());

    expected.push_back (1.0); // stereo state true

    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ (rows[i].value, expected[i]) << rows[i].address;

    EXPECT_EQ (rows[51].tag, 'T');
    // The access code and the follow-transport flag never leave the object.
    for (const auto& row : rows)
        EXPECT_TRUE (row.address != "/adminPassword" && row.address != "/followTransportFlagParam");
}
