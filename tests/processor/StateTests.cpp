#include "ProcessorTestHelpers.h"

#include <gtest/gtest.h>

#include <cstring>

using ProcessorTestHelpers::layoutOf;

namespace
{
const char* const numericAttributes[] = {
    "measurementStandard",  "measurementScale", "measurementUnit",   "gatingOffFlag",
    "followTransportFlag",  "truePeakRefLevel", "truePeakMaxLevel",  "truePeakHoldTime",
    "truePeakOverloadTime", "shtMaxLevel",      "stereoMixdownFlag", "vectroscopeInputDataFlag"
};

// The stored float fields: all but the run state.
std::vector<RelaxedAtomic<float> SettingsSnapshot::*> numericFields()
{
    std::vector<RelaxedAtomic<float> SettingsSnapshot::*> fields;

    for (const auto& setting : SettingsSnapshot::floatFields)
        if (setting.field != &SettingsSnapshot::isMeasuring)
            fields.push_back (setting.field);

    return fields;
}

juce::MemoryBlock stateOf (OvrajuceLoudnessAudioProcessor& processor)
{
    juce::MemoryBlock block;
    processor.getStateInformation (block);
    return block;
}

void restore (OvrajuceLoudnessAudioProcessor& processor, const juce::MemoryBlock& block)
{
    processor.setStateInformation (block.getData(), (int) block.getSize());
}

// A block in the stored layout around any text.
juce::MemoryBlock wrap (const juce::String& text)
{
    juce::MemoryBlock block;
    juce::MemoryOutputStream out (block, false);
    out.write ("VC2!", 4);
    out.writeInt ((int) text.getNumBytesAsUTF8());
    out.write (text.toRawUTF8(), text.getNumBytesAsUTF8());
    out.writeByte (0);
    out.flush();
    return block;
}

void setDistinctSettings (OvrajuceLoudnessAudioProcessor& processor)
{
    const auto fields = numericFields();

    for (size_t i = 0; i < fields.size(); ++i)
        processor.settings.*fields[i] = 0.1f + (float) i * 1.37f;

    processor.settings.logFilePath = juce::String::fromUTF8 ("/tmp/r\xc3\xa9ports \"a&b\" <x>\nzwei");
    processor.settings.logFileName = "Show_1";
    processor.setInputLayout (layoutOf ({ 7, -1, 3, -1, -1, 5 }));
    processor.setOutputLayout (layoutOf ({ 2, 3, -1, -1, 0, 1 }));
}

void expectDefaults (const OvrajuceLoudnessAudioProcessor& processor)
{
    const SettingsSnapshot defaults;
    const auto& s = processor.settings;

    for (auto field : numericFields())
        EXPECT_EQ ((s.*field).get(), (defaults.*field).get());

    EXPECT_EQ (s.isMeasuring.get(), 0.0f);
    EXPECT_EQ (s.truePeakMaxLevel.get(), -1.0f);
    EXPECT_EQ (s.truePeakHoldTime.get(), 3.0f);
    EXPECT_EQ (s.shtMaxLevel.get(), -24.0f);
    EXPECT_EQ (s.adminPassword.get(), 9413);
    EXPECT_FALSE (s.stereoState.get());
    EXPECT_EQ (s.logFilePath, OvrajuceLoudnessAudioProcessor::getDefaultLogFilePath());
    EXPECT_EQ (s.logFileName, "ZELX51Log");
}

// What must hold after any restore, whatever the block held.
void expectSoundState (const OvrajuceLoudnessAudioProcessor& processor)
{
    for (auto field : numericFields())
        EXPECT_TRUE (std::isfinite ((processor.settings.*field).get()));

    const auto checkLayout = [] (const ChannelLayout& saved, const ChannelLayout& active) {
        EXPECT_EQ (active, saved.toActive());

        for (int slot = 0; slot < 6; ++slot)
        {
            EXPECT_GE (saved[slot], -1);
            EXPECT_EQ (active[slot] == -1, saved[slot] == -1);
            EXPECT_LT (active[slot], 6);
        }
    };

    checkLayout (processor.savedInputLayout, processor.getInputLayout());
    checkLayout (processor.savedOutputLayout, processor.getOutputLayout());
}
} // namespace

TEST (ProcessorState, BlockLayoutIsMagicLengthOneLineTextAndZero)
{
    OvrajuceLoudnessAudioProcessor processor;
    setDistinctSettings (processor);
    const auto block = stateOf (processor);
    const auto* bytes = static_cast<const char*> (block.getData());

    ASSERT_GT (block.getSize(), 9u);
    EXPECT_EQ (std::memcmp (bytes, "VC2!", 4), 0);
    EXPECT_EQ ((size_t) juce::ByteOrder::littleEndianInt (bytes + 4), block.getSize() - 9);
    EXPECT_EQ (bytes[block.getSize() - 1], 0);

    const auto text = juce::String::fromUTF8 (bytes + 8, (int) block.getSize() - 9);
    EXPECT_TRUE (text.startsWith ("<MYPLUGINSETTINGS "));
    EXPECT_TRUE (text.endsWith ("/>"));
    EXPECT_FALSE (text.contains ("<?xml"));
    EXPECT_FALSE (text.containsAnyOf ("\r\n"));

    // Attributes in their stored order, layouts in their text form.
    int lastPosition = -1;

    for (auto* name : numericAttributes)
    {
        const int position = text.indexOf (juce::String (" ") + name + "=\"");
        EXPECT_GT (position, lastPosition) << name;
        lastPosition = position;
    }

    for (auto* name : { "settingsInputLayout", "settingsOutputLayout", "logFilePath", "logFileName" })
    {
        const int position = text.indexOf (juce::String (" ") + name + "=\"");
        EXPECT_GT (position, lastPosition) << name;
        lastPosition = position;
    }

    EXPECT_TRUE (text.contains ("settingsInputLayout=\"7;-1;3;-1;-1;5;\""));
    EXPECT_TRUE (text.contains ("settingsOutputLayout=\"2;3;-1;-1;0;1;\""));

    // What is not persisted is not written.
    EXPECT_FALSE (text.contains ("isMeasuring"));
    EXPECT_FALSE (text.contains ("adminPassword"));
    EXPECT_FALSE (text.contains ("stereoState"));
}

TEST (ProcessorState, RoundTripRestoresSettingsAndLayouts)
{
    OvrajuceLoudnessAudioProcessor source;
    setDistinctSettings (source);
    source.settings.isMeasuring = 1.0f;
    source.settings.adminPassword = 1111;
    const auto block = stateOf (source);

    OvrajuceLoudnessAudioProcessor restored;
    restore (restored, block);

    for (auto field : numericFields())
        EXPECT_EQ ((restored.settings.*field).get(), (source.settings.*field).get());

    EXPECT_EQ (restored.settings.logFilePath, source.settings.logFilePath);
    EXPECT_EQ (restored.settings.logFileName, source.settings.logFileName);
    EXPECT_EQ (restored.savedInputLayout, layoutOf ({ 7, -1, 3, -1, -1, 5 }));
    EXPECT_EQ (restored.savedOutputLayout, layoutOf ({ 2, 3, -1, -1, 0, 1 }));
    EXPECT_EQ (restored.getInputLayout(), layoutOf ({ 2, -1, 0, -1, -1, 1 }));
    EXPECT_EQ (restored.getOutputLayout(), layoutOf ({ 2, 3, -1, -1, 0, 1 }));
    EXPECT_EQ (restored.settings.isMeasuring.get(), 0.0f);
    EXPECT_EQ (restored.settings.adminPassword.get(), 9413);

    // Saving the restored processor gives the same bytes.
    EXPECT_EQ (stateOf (restored), block);

    // The framework's own wrapper, with its XML declaration, is read too.
    juce::MemoryBlock framework;
    juce::AudioProcessor::copyXmlToBinary (
        *juce::parseXML (juce::String::fromUTF8 (static_cast<const char*> (block.getData()) + 8)), framework);
    ASSERT_TRUE (
        juce::String::fromUTF8 (static_cast<const char*> (framework.getData()) + 8).startsWith ("<?xml"));

    OvrajuceLoudnessAudioProcessor fromFramework;
    restore (fromFramework, framework);
    EXPECT_EQ (stateOf (fromFramework), block);
}

TEST (ProcessorState, MissingOrUnreadableBlocksRestoreTheDefaults)
{
    for (int size : { 0, 8 })
    {
        OvrajuceLoudnessAudioProcessor processor;
        setDistinctSettings (processor);
        processor.settings.isMeasuring = 1.0f;
        processor.settings.adminPassword = 1234;
        processor.settings.stereoState = true;

        const char zeros[8] = {};
        processor.setStateInformation (size == 0 ? nullptr : zeros, size);
        expectDefaults (processor);

        // The layouts stay as they were.
        EXPECT_EQ (processor.savedInputLayout, layoutOf ({ 7, -1, 3, -1, -1, 5 }));
        EXPECT_EQ (processor.getInputLayout(), layoutOf ({ 2, -1, 0, -1, -1, 1 }));
    }

    for (auto text : { juce::String ("not xml at all"), juce::String ("<"), juce::String ("<!-- open"),
                       juce::String ("<MYPLUGINSETTINGS shtMaxLevel=\"-3\" =\"1\"/>") })
    {
        OvrajuceLoudnessAudioProcessor processor;
        setDistinctSettings (processor);
        restore (processor, wrap (text));
        expectDefaults (processor);
    }

    // A wrong magic number or a stored length of zero is no state either.
    OvrajuceLoudnessAudioProcessor processor;
    setDistinctSettings (processor);
    auto block = wrap ("<MYPLUGINSETTINGS shtMaxLevel=\"-10\"/>");
    static_cast<char*> (block.getData())[3] = '?';
    restore (processor, block);
    expectDefaults (processor);

    setDistinctSettings (processor);
    block = wrap ("<MYPLUGINSETTINGS shtMaxLevel=\"-10\"/>");
    std::memset (static_cast<char*> (block.getData()) + 4, 0, 4);
    restore (processor, block);
    expectDefaults (processor);
}

TEST (ProcessorState, TagIsComparedWithoutCaseAndForeignTagsChangeNothing)
{
    OvrajuceLoudnessAudioProcessor processor;
    restore (processor, wrap ("<myPluginSettings shtMaxLevel=\"-12.5\"/>"));
    EXPECT_EQ (processor.settings.shtMaxLevel.get(), -12.5f);

    setDistinctSettings (processor);
    const auto before = stateOf (processor);
    restore (processor, wrap ("<OTHERSETTINGS shtMaxLevel=\"-3\" settingsInputLayout=\"0;1;\"/>"));
    EXPECT_EQ (stateOf (processor), before);
}

TEST (ProcessorState, MissingAndBadAttributes)
{
    OvrajuceLoudnessAudioProcessor processor;
    setDistinctSettings (processor);
    const float maxLevel = processor.settings.truePeakMaxLevel;

    // Missing numbers and strings keep the fields; a missing layout reads as
    // channel 0 in every slot.
    restore (processor, wrap ("<MYPLUGINSETTINGS shtMaxLevel=\"-20\" settingsOutputLayout=\"1;0;\"/>"));
    EXPECT_EQ (processor.settings.truePeakMaxLevel.get(), maxLevel);
    EXPECT_EQ (processor.settings.shtMaxLevel.get(), -20.0f);
    EXPECT_EQ (processor.settings.logFileName, "Show_1");
    EXPECT_EQ (processor.savedInputLayout, layoutOf ({ 0, 0, 0, 0, 0, 0 }));
    EXPECT_EQ (processor.getInputLayout(), layoutOf ({ 0, 0, 0, 0, 0, 0 }));
    EXPECT_EQ (processor.savedOutputLayout, layoutOf ({ 1, 0, 0, 0, 0, 0 }));
    EXPECT_EQ (processor.getOutputLayout(), layoutOf ({ 1, 0, 0, 0, 0, 0 }));

    // A present number reads as its leading number, 0 without one; what no
    // float can hold keeps the field.
    restore (processor,
             wrap ("<MYPLUGINSETTINGS measurementStandard=\"2abc\" measurementScale=\"x\""
                   " truePeakMaxLevel=\"1e400\" shtMaxLevel=\"nan\" truePeakHoldTime=\"-inf\""
                   " truePeakRefLevel=\"-1e39\" settingsInputLayout=\"4;x;-7;+2;99999999999;\"/>"));
    EXPECT_EQ (processor.settings.measurementStandard.get(), 2.0f);
    EXPECT_EQ (processor.settings.measurementScale.get(), 0.0f);
    EXPECT_EQ (processor.settings.truePeakMaxLevel.get(), maxLevel);
    EXPECT_EQ (processor.settings.shtMaxLevel.get(), -20.0f);
    EXPECT_TRUE (std::isfinite (processor.settings.truePeakHoldTime.get()));
    EXPECT_TRUE (std::isfinite (processor.settings.truePeakRefLevel.get()));
    EXPECT_EQ (processor.savedInputLayout, layoutOf ({ 4, 0, -1, 2, 2147483647, 0 }));
    EXPECT_EQ (processor.getInputLayout(), layoutOf ({ 2, 0, -1, 1, 3, 0 }));
    expectSoundState (processor);
}

TEST (ProcessorState, CorruptBlocksNeverReadPastTheirEnd)
{
    OvrajuceLoudnessAudioProcessor source;
    setDistinctSettings (source);
    const auto valid = stateOf (source);

    // A stored length beyond the data reads only what is there.
    {
        auto block = valid;
        const uint32_t huge = 0xfffffff0u;
        block.copyFrom (&huge, 4, 4);

        OvrajuceLoudnessAudioProcessor processor;
        restore (processor, block);
        EXPECT_EQ (stateOf (processor), valid);
    }

    // Every truncation of a valid block, each copied to a buffer of exactly
    // that size so that a read beyond it is seen by the sanitizers. One
    // processor takes them all: what must hold does not depend on its past.
    OvrajuceLoudnessAudioProcessor processor;

    for (size_t size = 0; size <= valid.getSize(); ++size)
    {
        std::vector<char> bytes (static_cast<const char*> (valid.getData()),
                                 static_cast<const char*> (valid.getData()) + size);
        processor.setStateInformation (bytes.data(), (int) size);
        expectSoundState (processor);
    }

    // Random bytes, half of them behind the magic number with a random
    // stored length, often ending in a cut UTF-8 sequence.
    juce::Random random (42);

    for (int trial = 0; trial < 3000; ++trial)
    {
        std::vector<unsigned char> bytes ((size_t) random.nextInt (200));

        for (auto& byte : bytes)
            byte = random.nextBool() ? (unsigned char) random.nextInt (256)
                                     : (unsigned char) "<a=\"1\xf0\xc3"[random.nextInt (7)];

        if (bytes.size() >= 8 && random.nextBool())
            std::memcpy (bytes.data(), "VC2!", 4);

        if (! bytes.empty() && random.nextBool())
            bytes.back() = 0xf4;

        processor.setStateInformation (bytes.data(), (int) bytes.size());
        expectSoundState (processor);
    }

    // Malformed UTF-8 (overlong, surrogate, cut) in a value: those bytes read
    // as '?', everything else is restored.
    {
        const std::string text = "<MYPLUGINSETTINGS shtMaxLevel=\"-9\" logFileName=\"a\xf0\x80\x80\x80"
                                 "b\xed\xa0\x80\xc3\xa9\xe2\x82\"/>";
        juce::MemoryBlock block;
        block.append ("VC2!", 4);
        const auto length = juce::ByteOrder::swapIfBigEndian ((uint32_t) text.size());
        block.append (&length, 4);
        block.append (text.data(), text.size());

        OvrajuceLoudnessAudioProcessor processor;
        restore (processor, block);
        EXPECT_EQ (processor.settings.shtMaxLevel.get(), -9.0f);
        EXPECT_EQ (processor.settings.logFileName, juce::String::fromUTF8 ("a????b???\xc3\xa9??"));
    }

    // Deep nesting must not exhaust the stack; the outer element is what counts.
    juce::String nested ("<MYPLUGINSETTINGS shtMaxLevel=\"-7\">");

    for (int i = 0; i < 200000; ++i)
        nested << "<a>";

    restore (processor, wrap (nested));
    EXPECT_EQ (processor.settings.shtMaxLevel.get(), -7.0f);

    // A negative size is no block.
    processor.setStateInformation (valid.getData(), -5);
    expectDefaults (processor);
}

TEST (ProcessorState, DefaultLogFolderFollowsTheHomeOfWhoeverRunsTheMeter)
{
    const auto testHome = juce::File::getSpecialLocation (juce::File::userHomeDirectory);
    const auto homeA = testHome.getChildFile ("a"), homeB = testHome.getChildFile ("b");
    const auto useHome = [] (const juce::File& home) {
        setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);
    };
    const auto defaultOfA = homeA.getChildFile (".config/Tamvo/ZELX").getFullPathName();
    const auto defaultOfB = homeB.getChildFile (".config/Tamvo/ZELX").getFullPathName();
    const auto chosen = homeA.getChildFile ("chosen").getFullPathName();
    const auto chosenLikeADefault = testHome.getChildFile ("c/.config/Tamvo/ZELX").getFullPathName();

    // Saved by a meter run from home A: its default, a chosen folder, and the
    // default as earlier versions stored it.
    useHome (homeA);
    OvrajuceLoudnessAudioProcessor savedDefault, savedChosen, savedLikeADefault;
    savedChosen.settings.logFilePath = chosen;
    savedLikeADefault.settings.logFilePath = chosenLikeADefault;
    const struct
    {
        const char* what;
        juce::MemoryBlock block;
        juce::String expectedFolder;
    } cases[] = {
        { "default", stateOf (savedDefault), defaultOfB },
        { "chosen", stateOf (savedChosen), chosen },
        { "chosen like a default", stateOf (savedLikeADefault), chosenLikeADefault },
        { "earlier default", wrap ("<MYPLUGINSETTINGS logFilePath=\"" + defaultOfA + "/\"/>"), defaultOfB },
    };

    // Read by a meter run from home B.
    useHome (homeB);

    for (const auto& c : cases)
    {
        OvrajuceLoudnessAudioProcessor processor;
        processor.settings.logFilePath = "/elsewhere";
        restore (processor, c.block);
        EXPECT_EQ (processor.settings.logFilePath, c.expectedFolder) << c.what;
        EXPECT_EQ (processor.buildLogFilePath().getParentDirectory().getFullPathName(), c.expectedFolder)
            << c.what;
    }

    useHome (testHome);
}
