#pragma once

#include "ChannelLayout.h"
#include "ZelxLookAndFeel.h"

#include <juce_audio_devices/juce_audio_devices.h>
#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <memory>

class OvrajuceLoudnessAudioProcessor;

/** The settings of one audio device type: output and input device, sample
    rate, buffer size, and which device channels feed and take the six slots
    L, R, C, LFE, LS, RS.

    Every choice is applied through the device manager at once; the panel
    rebuilds itself from the device manager whenever that announces a change,
    so it always shows what is really open. A change of device resets the
    processor's layouts of that direction to the identity.
*/
class AudioDeviceSettingsPanel : public juce::Component,
                                 public juce::ChangeListener,
                                 public juce::ComboBox::Listener,
                                 public juce::Button::Listener
{
public:
    /** The device manager to work on and the channel counts to ask of a device. */
    struct SetupDetails
    {
        juce::AudioDeviceManager* manager = nullptr;
        int minNumInputChannels = 0, maxNumInputChannels = 0;
        int minNumOutputChannels = 0, maxNumOutputChannels = 0;
        bool useStereoPairs = false;
    };

    class OVRAChannelSelectorDropBox;

    //==============================================================================
    AudioDeviceSettingsPanel (juce::AudioIODeviceType& type, const SetupDetails& setupDetails,
                              OvrajuceLoudnessAudioProcessor* processor, const juce::Font& font);
    ~AudioDeviceSettingsPanel() override;

    //==============================================================================
    void resized() override;
    void changeListenerCallback (juce::ChangeBroadcaster*) override;
    void comboBoxChanged (juce::ComboBox*) override;
    void buttonClicked (juce::Button*) override;

    /** Rebuilds every box from the device manager's state. */
    void updateAllControls();

    //==============================================================================
    juce::ComboBox* getOutputDeviceBox() const noexcept { return outputDeviceDropDown.get(); }
    juce::ComboBox* getInputDeviceBox() const noexcept { return inputDeviceDropDown.get(); }
    juce::ComboBox* getSampleRateBox() const noexcept { return sampleRateDropDown.get(); }
    juce::ComboBox* getBufferSizeBox() const noexcept { return bufferSizeDropDown.get(); }
    OVRAChannelSelectorDropBox* getInputChannelSelector() const noexcept
    {
        return inputChannelSelector.get();
    }
    OVRAChannelSelectorDropBox* getOutputChannelSelector() const noexcept
    {
        return outputChannelSelector.get();
    }

    static constexpr const char* errorTitle = "Error when trying to open audio device!";

    /** What a newly opened device starts with, for its inputs, its outputs or
        both: slot L takes the device's first channel, R its second, and so on
        as far as the device has channels; the other slots take none. With no
        device, or one without channels, the six slots take channels 1 to 6. */
    static void resetLayoutsToIdentity (OvrajuceLoudnessAudioProcessor& target, juce::AudioIODevice* device,
                                        bool inputs, bool outputs);

private:
    //==============================================================================
    void updateOutputsComboBox();
    void updateInputsComboBox();
    void updateSampleRateComboBox (juce::AudioIODevice& device);
    void updateBufferSizeComboBox (juce::AudioIODevice& device);

    std::unique_ptr<juce::ComboBox> makeBox();
    std::unique_ptr<juce::Label> makeLabel (const juce::String& text, juce::ComboBox& box, bool plainFont);
    void selectCurrentDevices();
    juce::AudioIODevice* getWorkingDevice() const;

    juce::AudioIODeviceType& type;
    const SetupDetails setup;
    OvrajuceLoudnessAudioProcessor* processor = nullptr;

    std::unique_ptr<juce::ComboBox> outputDeviceDropDown, inputDeviceDropDown, sampleRateDropDown,
        bufferSizeDropDown;
    std::unique_ptr<juce::Label> outputDeviceLabel, inputDeviceLabel, sampleRateLabel, bufferSizeLabel;
    juce::Font font;
    ZelxLookAndFeel lookAndFeel;
    std::unique_ptr<OVRAChannelSelectorDropBox> inputChannelSelector, outputChannelSelector;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (AudioDeviceSettingsPanel)
};

//==============================================================================
/** Six boxes that give each slot L, R, C, LFE, LS, RS a device channel of one
    kind (inputs or outputs), one channel per slot. A choice becomes the
    processor's layout of that kind and the exact set of channels the device
    opens.
*/
class AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox : public juce::Component,
                                                             public juce::ComboBox::Listener
{
public:
    enum Kind
    {
        inputChannels = 0,
        outputChannels = 1
    };

    OVRAChannelSelectorDropBox (const SetupDetails& setupDetails, int kind,
                                OvrajuceLoudnessAudioProcessor* processor, const juce::Font& font);
    ~OVRAChannelSelectorDropBox() override;

    //==============================================================================
    void resized() override;
    void comboBoxChanged (juce::ComboBox*) override;

    /** Refills the boxes with the open device's channels and selects the
        processor's saved layout. The selection is applied (asynchronously)
        only when the device has other channels open than it names. */
    void updateChannelBoxes();

    void layoutChannelBoxes();

    //==============================================================================
    juce::ComboBox& getChannelBox (int slot) const { return *channelBoxes[(size_t) slot]; }
    const ChannelLayout& getChosenChannels() const noexcept { return chosenChannels; }

    static juce::String getNoneItemText();
    static constexpr int noneItemId = -1;
    static constexpr const char* layoutError = "Cannot set this channel layout!";

private:
    void applyChosenChannels();
    void updateItemStates();
    int getSelectedChannel (int slot) const;
    juce::BigInteger getShownChannels() const;
    juce::BigInteger getOpenChannels() const;

    const SetupDetails setup;
    const int channelKind;
    std::array<std::unique_ptr<juce::ComboBox>, ChannelLayout::numSlots> channelBoxes;
    juce::StringArray channelNames;
    std::array<std::unique_ptr<juce::Label>, ChannelLayout::numSlots> channelLabels;
    ChannelLayout chosenChannels;
    OvrajuceLoudnessAudioProcessor* processor = nullptr;
    juce::Font font;
    ZelxLookAndFeel lookAndFeel;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OVRAChannelSelectorDropBox)
};
