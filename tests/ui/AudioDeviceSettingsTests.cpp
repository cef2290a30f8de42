#include "CapturingLogger.h"
#include "HostTestHelpers.h"
#include "OVRAAudioDeviceSelectorComponent.h"
#include "OvrajuceLoudnessAudioProcessor.h"
#include "TestDeviceType.h"

#include <gtest/gtest.h>

using HostTestHelpers::findAlertWindow;
using HostTestHelpers::RecordingLookAndFeel;
using HostTestHelpers::runMessageLoopUntil;
using DropBox = AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox;

namespace
{
juce::StringArray channelNames (const juce::String& prefix, int count)
{
    juce::StringArray names;

    for (int i = 1; i <= count; ++i)
        names.add (prefix + juce::String (i));

    return names;
}

juce::StringArray itemTexts (const juce::ComboBox& box)
{
    juce::StringArray texts;

    for (int i = 0; i < box.getNumItems(); ++i)
        texts.add (box.getItemText (i));

    return texts;
}

ChannelLayout layout (std::initializer_list<int> channels)
{
    ChannelLayout result;
    std::copy (channels.begin(), channels.end(), result.channels.begin());
    return result;
}

class DeviceSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto testType = std::make_unique<TestDeviceType>();
        type = testType.get();
        six = &type->addDevice ("Six", channelNames ("in ", 8), channelNames ("out ", 8));
        stereo = &type->addDevice ("Stereo", channelNames ("left right ", 2), channelNames ("front ", 2));
        manager.addAudioDeviceType (std::move (testType));
        ASSERT_EQ (manager.initialise (6, 6, nullptr, false), "");

        auto setup = manager.getAudioDeviceSetup();
        setup.sampleRate = 44100.0;
        setup.bufferSize = 512;
        ASSERT_EQ (manager.setAudioDeviceSetup (setup, true), "");
    }

    void TearDown() override
    {
        selector.reset();

        HostTestHelpers::closeAlertWindows();
    }

    void openSelector()
    {
        selector = std::make_unique<OVRAAudioDeviceSelectorComponent> (manager, 6, 6, 6, 6, &processor);
        selector->setSize (615, 610);
        settle();
    }

    /** Lets the change messages and the boxes' asynchronous notifications run. */
    static void settle()
    {
        for (int i = 0; i < 5; ++i)
            HostTestHelpers::drainMessageLoop();
    }

    AudioDeviceSettingsPanel& panel() const { return *selector->getSettingsPanel(); }
    DropBox& inputs() const { return *panel().getInputChannelSelector(); }
    DropBox& outputs() const { return *panel().getOutputChannelSelector(); }
    juce::AudioIODevice& device() { return *manager.getCurrentAudioDevice(); }

    static juce::BigInteger bits (std::initializer_list<int> channels)
    {
        juce::BigInteger result;

        for (auto c : channels)
            result.setBit (c);

        return result;
    }

    OvrajuceLoudnessAudioProcessor processor;
    juce::AudioDeviceManager manager;
    TestDeviceType* type = nullptr;
    TestDeviceType::DeviceDescription *six = nullptr, *stereo = nullptr;
    std::unique_ptr<OVRAAudioDeviceSelectorComponent> selector;
};
} // namespace

//==============================================================================
TEST_F (DeviceSettingsTest, ShowsTheOpenDeviceAndGreysOutChannelsHeldByOtherSlots)
{
    processor.setInputLayout (layout ({ 2, 0, -1, -1, -1, -1 }));
    processor.setOutputLayout (layout ({ 0, 1, 2, 3, 4, 5 }));
    openSelector();

    EXPECT_EQ (selector->getDeviceTypeBox(), nullptr) << "one type: no type box";
    EXPECT_EQ (panel().getY(), 15);
    EXPECT_EQ (itemTexts (*panel().getOutputDeviceBox()), juce::StringArray ("Six", "Stereo"));
    EXPECT_EQ (panel().getOutputDeviceBox()->getText(), "Six");
    EXPECT_EQ (panel().getInputDeviceBox()->getText(), "Six");
    EXPECT_EQ (itemTexts (*panel().getSampleRateBox()), juce::StringArray ("44100 Hz", "48000 Hz"));
    EXPECT_EQ (panel().getSampleRateBox()->getSelectedId(), 44100);
    EXPECT_EQ (itemTexts (*panel().getBufferSizeBox()),
               juce::StringArray ("256 samples (5.8 ms)", "512 samples (11.6 ms)"));
    EXPECT_EQ (panel().getBufferSizeBox()->getSelectedId(), 512);

    auto expectedItems = channelNames ("in ", 8);
    expectedItems.add ("<< none >>");
    EXPECT_EQ (itemTexts (inputs().getChannelBox (0)), expectedItems);
    EXPECT_EQ (inputs().getChannelBox (0).getText(), "in 3");
    EXPECT_EQ (inputs().getChannelBox (1).getText(), "in 1");
    EXPECT_EQ (inputs().getChannelBox (2).getSelectedId(), DropBox::noneItemId);

    const auto& centre = inputs().getChannelBox (2);
    EXPECT_FALSE (centre.isItemEnabled (1));
    EXPECT_FALSE (centre.isItemEnabled (3));
    EXPECT_TRUE (centre.isItemEnabled (2));
    EXPECT_TRUE (centre.isItemEnabled (DropBox::noneItemId));
    EXPECT_TRUE (inputs().getChannelBox (0).isItemEnabled (3)) << "a slot's own channel stays selectable";
    EXPECT_FALSE (inputs().getChannelBox (0).isItemEnabled (1));

    EXPECT_EQ (device().getActiveInputChannels(), bits ({ 0, 2 }));
    EXPECT_EQ (device().getActiveOutputChannels(), bits ({ 0, 1, 2, 3, 4, 5 }));
    EXPECT_EQ (processor.getInputLayout(), layout ({ 1, 0, -1, -1, -1, -1 }));
}

TEST_F (DeviceSettingsTest, ShowingWhatIsOpenLeavesTheRunningDeviceAlone)
{
    struct StartCounter : juce::AudioIODeviceCallback
    {
        void audioDeviceIOCallbackWithContext (const float* const*, int, float* const*, int, int,
                                               const juce::AudioIODeviceCallbackContext&) override
        {
        }
        void audioDeviceAboutToStart (juce::AudioIODevice*) override { ++starts; }
        void audioDeviceStopped() override {}
        int starts = 0;
    } counter;

    processor.setInputLayout (layout ({ 0, 1, 2, 3, 4, 5 }));
    processor.setOutputLayout (layout ({ 1, 0, 2, 3, 4, 5 }));
    manager.addAudioCallback (&counter);
    counter.starts = 0;

    openSelector();
    manager.sendChangeMessage();
    settle();
    EXPECT_EQ (counter.starts, 0) << "built and refilled without a reopen";
    EXPECT_EQ (outputs().getChannelBox (0).getText(), "out 2");
    EXPECT_EQ (outputs().getChannelBox (5).getBounds(), juce::Rectangle<int> (55, 150, 203, 24));
    EXPECT_FALSE (outputs().getChannelBox (1).isItemEnabled (2)) << "held by L";

    inputs().getChannelBox (0).setSelectedId (7, juce::sendNotificationSync);
    settle();
    EXPECT_EQ (counter.starts, 1) << "a choice of the user's is applied";
    manager.removeAudioCallback (&counter);
}

TEST_F (DeviceSettingsTest, ChoicesReachTheLayoutsAndTheDeviceAndARebuildKeepsThePanel)
{
    processor.setInputLayout (layout ({ 0, 1, 2, 3, 4, 5 }));
    processor.setOutputLayout (layout ({ 0, 1, 2, 3, 4, 5 }));
    openSelector();
    auto* const firstPanel = selector->getSettingsPanel();

    inputs().getChannelBox (3).setSelectedId (8, juce::sendNotificationSync);
    EXPECT_EQ (processor.getSavedInputLayout(), layout ({ 0, 1, 2, 7, 4, 5 }));
    EXPECT_EQ (processor.getInputLayout(), layout ({ 0, 1, 2, 5, 3, 4 }));
    EXPECT_EQ (device().getActiveInputChannels(), bits ({ 0, 1, 2, 4, 5, 7 }));
    EXPECT_FALSE (inputs().getChannelBox (0).isItemEnabled (8));
    EXPECT_TRUE (inputs().getChannelBox (0).isItemEnabled (4)) << "the released channel is free again";

    outputs().getChannelBox (5).setSelectedId (DropBox::noneItemId, juce::sendNotificationSync);
    outputs().getChannelBox (0).setSelectedId (DropBox::noneItemId, juce::sendNotificationSync);
    EXPECT_EQ (processor.getSavedOutputLayout(), layout ({ -1, 1, 2, 3, 4, -1 }));
    EXPECT_EQ (processor.getOutputLayout(), layout ({ -1, 0, 1, 2, 3, -1 }));
    EXPECT_EQ (device().getActiveOutputChannels(), bits ({ 1, 2, 3, 4 }));
    EXPECT_EQ (device().getActiveInputChannels(), bits ({ 0, 1, 2, 4, 5, 7 }))
        << "outputs never touch inputs";

    settle();
    EXPECT_EQ (processor.getSavedInputLayout(), layout ({ 0, 1, 2, 7, 4, 5 }))
        << "the refill keeps the choice";
    EXPECT_EQ (inputs().getChannelBox (3).getText(), "in 8");

    auto setup = manager.getAudioDeviceSetup();
    setup.bufferSize = 256;
    ASSERT_EQ (manager.setAudioDeviceSetup (setup, true), "");
    settle();
    EXPECT_EQ (panel().getBufferSizeBox()->getSelectedId(), 256) << "rebuilt on the device manager's change";
    EXPECT_EQ (selector->getSettingsPanel(), firstPanel);

    six->reportedRate = 0.0;
    manager.sendChangeMessage();
    settle();
    EXPECT_EQ (panel().getBufferSizeBox()->getItemText (1), "512 samples (10.7 ms)")
        << "no rate: taken as 48000 Hz";
}

TEST_F (DeviceSettingsTest, AnotherDeviceResetsThatSidesLayoutToTheIdentity)
{
    processor.setInputLayout (layout ({ 7, 6, 5, 4, 3, 2 }));
    processor.setOutputLayout (layout ({ 5, 4, 3, 2, 1, 0 }));
    openSelector();

    // The identity as far as the stereo device has channels.
    panel().getInputDeviceBox()->setSelectedId (2, juce::sendNotificationSync);
    EXPECT_EQ (processor.getSavedInputLayout(), layout ({ 0, 1, -1, -1, -1, -1 }));
    EXPECT_EQ (processor.getInputLayout(), layout ({ 0, 1, -1, -1, -1, -1 }));
    EXPECT_EQ (processor.getSavedOutputLayout(), layout ({ 5, 4, 3, 2, 1, 0 }));
    EXPECT_EQ (panel().getInputDeviceBox()->getText(), "Stereo");

    settle();
    EXPECT_EQ (inputs().getChannelBox (0).getText(), "left right 1");
    EXPECT_EQ (inputs().getChannelBox (1).getText(), "left right 2");
    EXPECT_EQ (inputs().getChannelBox (2).getText(), DropBox::getNoneItemText()) << "the device lacks it";
    EXPECT_EQ (processor.getSavedInputLayout(), layout ({ 0, 1, -1, -1, -1, -1 }));
    EXPECT_EQ (device().getActiveInputChannels(), bits ({ 0, 1 }));
}

TEST_F (DeviceSettingsTest, ARefusedChannelSetIsOnlyLoggedAndTheOpenChannelsStay)
{
    processor.setInputLayout (layout ({ 0, 1, 2, 3, 4, 5 }));
    processor.setOutputLayout (layout ({ 0, 1, 2, 3, 4, 5 }));
    openSelector();
    six->refuseChannelChanges = true;
    CapturingLogger logger;

    inputs().getChannelBox (0).setSelectedId (7, juce::sendNotificationSync);
    EXPECT_EQ (logger.count (DropBox::layoutError), 1);
    settle();
    EXPECT_EQ (findAlertWindow(), nullptr);
    ASSERT_NE (manager.getCurrentAudioDevice(), nullptr) << "the device stays open";
    EXPECT_EQ (device().getActiveInputChannels(), bits ({ 0, 1, 2, 3, 4, 5 }));
    EXPECT_EQ (processor.getSavedInputLayout(), layout ({ 0, 1, 2, 3, 4, 5 }));
    EXPECT_EQ (inputs().getChannelBox (0).getText(), "in 1") << "the box shows what is open";
}

TEST_F (DeviceSettingsTest, ARefusedRateOrBufferSizeWarnsAndTheBoxesShowWhatIsOpen)
{
    processor.setInputLayout (layout ({ 0, 1, 2, 3, 4, 5 }));
    processor.setOutputLayout (layout ({ 0, 1, 2, 3, 4, 5 }));
    openSelector();
    RecordingLookAndFeel alerts;
    six->refusedBufferSizes = { 256 };
    six->refusedRates = { 48000 };

    for (auto [box, refused, open] : { std::tuple { panel().getBufferSizeBox(), 256, 512 },
                                       std::tuple { panel().getSampleRateBox(), 48000, 44100 } })
    {
        box->setSelectedId (refused, juce::sendNotificationSync);
        ASSERT_TRUE (runMessageLoopUntil ([] { return findAlertWindow() != nullptr; }));
        auto* alert = findAlertWindow();
        EXPECT_EQ (alert->getName(), AudioDeviceSettingsPanel::errorTitle);
        EXPECT_TRUE (alerts.messages.joinIntoString ("|").contains ("refuses " + juce::String (refused)));
        EXPECT_EQ (alerts.icons.back(), juce::MessageBoxIconType::WarningIcon);
        delete alert;

        settle();
        ASSERT_NE (manager.getCurrentAudioDevice(), nullptr);
        EXPECT_EQ (box->getSelectedId(), open);
    }

    EXPECT_EQ (device().getCurrentBufferSizeSamples(), 512);
    EXPECT_EQ (device().getCurrentSampleRate(), 44100.0);
}

TEST_F (DeviceSettingsTest, AVanishedDeviceOrAbsentStoredChannelsLeaveWorkingBoxes)
{
    processor.setInputLayout (layout ({ 0, 9, 2, 3, 4, 5 }));
    processor.setOutputLayout (layout ({ 0, 1, 2, 3, 4, 5 }));
    openSelector();
    EXPECT_EQ (inputs().getChannelBox (1).getText(), DropBox::getNoneItemText());
    EXPECT_EQ (processor.getSavedInputLayout(), layout ({ 0, -1, 2, 3, 4, 5 }));

    type->removeDevice ("Six");
    settle();
    ASSERT_NE (manager.getCurrentAudioDevice(), nullptr);
    EXPECT_EQ (device().getName(), "Stereo");
    EXPECT_EQ (panel().getOutputDeviceBox()->getText(), "Stereo");
    EXPECT_EQ (itemTexts (*panel().getOutputDeviceBox()), juce::StringArray ("Stereo"));

    // A device that lost its channels while still the current one, as a JACK
    // device does when its server stops, leaves the layouts as they are.
    const auto inputLayout = processor.getSavedInputLayout();
    const auto outputLayout = processor.getSavedOutputLayout();
    stereo->inputs.clear();
    stereo->outputs.clear();
    manager.sendChangeMessage();
    settle();
    EXPECT_EQ (processor.getSavedInputLayout(), inputLayout);
    EXPECT_EQ (processor.getSavedOutputLayout(), outputLayout);
    EXPECT_EQ (panel().getOutputDeviceBox()->getText(), "") << "shown as no device";
    EXPECT_EQ (panel().getSampleRateBox(), nullptr);

    type->removeDevice ("Stereo");
    settle();
    EXPECT_EQ (manager.getCurrentAudioDevice(), nullptr);
    EXPECT_EQ (panel().getSampleRateBox(), nullptr) << "no device: no rate and buffer rows";
    EXPECT_EQ (panel().getOutputDeviceBox()->getText(), "");
}

TEST (DeviceSelector, ATypeBoxSwitchesTypesAndASharedDeviceTypeShowsOneBox)
{
    juce::AudioDeviceManager manager;
    auto first = std::make_unique<TestDeviceType> ("First");
    first->addDevice ("A", channelNames ("in ", 6), channelNames ("out ", 6));
    auto second = std::make_unique<TestDeviceType> ("Second", false);
    second->addDevice ("B", channelNames ("in ", 2), channelNames ("out ", 2));
    manager.addAudioDeviceType (std::move (first));
    manager.addAudioDeviceType (std::move (second));
    ASSERT_EQ (manager.initialise (6, 6, nullptr, false), "");

    OvrajuceLoudnessAudioProcessor processor;
    OVRAAudioDeviceSelectorComponent selector (manager, 6, 6, 6, 6, &processor);
    selector.setSize (615, 610);
    ASSERT_NE (selector.getDeviceTypeBox(), nullptr);
    EXPECT_EQ (selector.getDeviceTypeBox()->getText(), "First");
    EXPECT_EQ (selector.getSettingsPanel()->getY(), 57);

    selector.getDeviceTypeBox()->setSelectedId (2, juce::sendNotificationSync);
    ASSERT_TRUE (runMessageLoopUntil ([&] { return manager.getCurrentAudioDevice() != nullptr; }));
    HostTestHelpers::drainMessageLoop();
    auto& panel = *selector.getSettingsPanel();
    EXPECT_EQ (panel.getInputDeviceBox(), nullptr);
    EXPECT_EQ (panel.getOutputDeviceBox()->getText(), "B");
    auto* label = dynamic_cast<juce::Label*> (
        panel.getChildComponent (panel.getIndexOfChildComponent (panel.getOutputDeviceBox()) + 1));
    ASSERT_NE (label, nullptr);
    EXPECT_EQ (label->getText(), "Device:");
    EXPECT_EQ (panel.getSampleRateBox()->getY(), 100);
}

TEST (DeviceSelector, WithNoDeviceOpenTheDeviceBoxStaysReachable)
{
    juce::AudioDeviceManager manager;
    auto shared = std::make_unique<TestDeviceType> ("Shared", false);
    auto* type = shared.get();
    type->addDevice ("B", channelNames ("in ", 2), channelNames ("out ", 2));
    manager.addAudioDeviceType (std::move (shared));
    ASSERT_EQ (manager.initialise (6, 6, nullptr, false), "");

    OvrajuceLoudnessAudioProcessor processor;
    OVRAAudioDeviceSelectorComponent selector (manager, 6, 6, 6, 6, &processor);
    selector.setSize (615, 610);
    auto& panel = *selector.getSettingsPanel();

    type->removeDevice ("B");
    ASSERT_TRUE (runMessageLoopUntil ([&] { return panel.getSampleRateBox() == nullptr; }));
    EXPECT_GE (panel.getOutputChannelSelector()->getY(), panel.getOutputDeviceBox()->getBottom());
}
