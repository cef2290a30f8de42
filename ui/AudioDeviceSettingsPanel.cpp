#include "AudioDeviceSettingsPanel.h"

#include "OvrajuceLoudnessAudioProcessor.h"
#include "Slots.h"

namespace
{
constexpr float labelFontHeight = 18.0f;
constexpr int boxHeight = 24;
constexpr double fallbackSampleRate = 48000.0;

int roundedFraction (int length, float fraction) { return juce::roundToInt ((float) length * fraction); }

/** Slot i takes channel i, for as many slots as there are channels. */
ChannelLayout identityLayout (int numChannels)
{
    ChannelLayout layout;

    for (int slot = 0; slot < juce::jmin (numChannels, ChannelLayout::numSlots); ++slot)
        layout[slot] = slot;

    return layout;
}

/** Applies a setup as the user's choice. A device that refuses it is closed by
    the device manager; the setup that was open before is then opened again, so
    that a refused choice does not leave the meter without audio. */
juce::String applySetup (juce::AudioDeviceManager& manager,
                         const juce::AudioDeviceManager::AudioDeviceSetup& setup)
{
    const auto previous = manager.getAudioDeviceSetup();
    const bool wasOpen = manager.getCurrentAudioDevice() != nullptr;
    const auto error = manager.setAudioDeviceSetup (setup, true);

    if (error.isNotEmpty() && wasOpen && manager.getCurrentAudioDevice() == nullptr)
        manager.setAudioDeviceSetup (previous, true);

    return error;
}
} // namespace

//==============================================================================
AudioDeviceSettingsPanel::AudioDeviceSettingsPanel (juce::AudioIODeviceType& deviceType,
                                                    const SetupDetails& setupDetails,
                                                    OvrajuceLoudnessAudioProcessor* processorToUse,
                                                    const juce::Font& fontToUse)
    : type (deviceType)
    , setup (setupDetails)
    , processor (processorToUse)
    , font (fontToUse)
{
    jassert (setup.manager != nullptr);

    type.scanForDevices();
    setup.manager->addChangeListener (this);
    updateAllControls();
}

AudioDeviceSettingsPanel::~AudioDeviceSettingsPanel()
{
    setup.manager->removeChangeListener (this);

    // Before the look and feel that they use.
    inputChannelSelector.reset();
    outputChannelSelector.reset();
    outputDeviceLabel.reset();
    inputDeviceLabel.reset();
    sampleRateLabel.reset();
    bufferSizeLabel.reset();
    outputDeviceDropDown.reset();
    inputDeviceDropDown.reset();
    sampleRateDropDown.reset();
    bufferSizeDropDown.reset();
}

//==============================================================================
void AudioDeviceSettingsPanel::updateAllControls()
{
    updateOutputsComboBox();
    updateInputsComboBox();

    if (auto* device = getWorkingDevice())
    {
        if (outputChannelSelector == nullptr)
        {
            outputChannelSelector = std::make_unique<OVRAChannelSelectorDropBox> (
                setup, OVRAChannelSelectorDropBox::outputChannels, processor, font);
            addAndMakeVisible (*outputChannelSelector);
        }

        outputChannelSelector->updateChannelBoxes();

        if (inputChannelSelector == nullptr)
        {
            inputChannelSelector = std::make_unique<OVRAChannelSelectorDropBox> (
                setup, OVRAChannelSelectorDropBox::inputChannels, processor, font);
            addAndMakeVisible (*inputChannelSelector);
        }

        inputChannelSelector->updateChannelBoxes();

        updateSampleRateComboBox (*device);
        updateBufferSizeComboBox (*device);
    }
    else
    {
        sampleRateLabel.reset();
        bufferSizeLabel.reset();
        sampleRateDropDown.reset();
        bufferSizeDropDown.reset();

        if (outputDeviceDropDown != nullptr)
            outputDeviceDropDown->setSelectedId (-1, juce::dontSendNotification);

        if (inputDeviceDropDown != nullptr)
            inputDeviceDropDown->setSelectedId (-1, juce::dontSendNotification);
    }

    resized();

    int bottom = 0;

    for (auto* child : getChildren())
        bottom = juce::jmax (bottom, child->getBottom());

    setSize (getWidth(), bottom + 4);
}

void AudioDeviceSettingsPanel::resetLayoutsToIdentity (OvrajuceLoudnessAudioProcessor& target,
                                                       juce::AudioIODevice* device, bool inputs, bool outputs)
{
    // Without a device that has channels all six slots are kept ready for the
    // one that comes: a slot that a device lacks is simply silent.
    const auto layoutFor = [device] (bool input) {
        const auto numChannels =
            device == nullptr
                ? 0
                : (input ? device->getInputChannelNames() : device->getOutputChannelNames()).size();
        return identityLayout (numChannels > 0 ? numChannels : ChannelLayout::numSlots);
    };

    if (inputs)
        target.setInputLayout (layoutFor (true));

    if (outputs)
        target.setOutputLayout (layoutFor (false));
}

juce::AudioIODevice* AudioDeviceSettingsPanel::getWorkingDevice() const
{
    // A device without a single channel has gone (a JACK device whose server
    // stopped stays the current one); it is shown as no device.
    auto* device = setup.manager->getCurrentAudioDevice();

    if (device == nullptr
        || (device->getInputChannelNames().isEmpty() && device->getOutputChannelNames().isEmpty()))
        return nullptr;

    return device;
}

std::unique_ptr<juce::ComboBox> AudioDeviceSettingsPanel::makeBox()
{
    auto box = std::make_unique<juce::ComboBox> (juce::String());
    box->addListener (this);
    box->setLookAndFeel (&lookAndFeel);
    addAndMakeVisible (*box);
    return box;
}

std::unique_ptr<juce::Label> AudioDeviceSettingsPanel::makeLabel (const juce::String& text,
                                                                  juce::ComboBox& box, bool plainFont)
{
    auto label = std::make_unique<juce::Label> (juce::String(), text);

    if (plainFont)
        label->setFont (juce::Font (labelFontHeight, juce::Font::plain));

    label->setColour (juce::Label::textColourId, juce::Colours::white);
    label->attachToComponent (&box, true);
    return label;
}

void AudioDeviceSettingsPanel::selectCurrentDevices()
{
    auto* device = getWorkingDevice();

    // With no device the index is -1, so id 0: nothing shown.
    if (inputDeviceDropDown != nullptr)
        inputDeviceDropDown->setSelectedId (type.getIndexOfDevice (device, true) + 1,
                                            juce::dontSendNotification);

    if (outputDeviceDropDown != nullptr)
        outputDeviceDropDown->setSelectedId (type.getIndexOfDevice (device, false) + 1,
                                             juce::dontSendNotification);
}

void AudioDeviceSettingsPanel::updateOutputsComboBox()
{
    if (outputDeviceDropDown == nullptr)
    {
        outputDeviceDropDown = makeBox();
        outputDeviceLabel =
            makeLabel (type.hasSeparateInputsAndOutputs() ? TRANS ("Output:") : TRANS ("Device:"),
                       *outputDeviceDropDown, false);
    }

    outputDeviceDropDown->clear (juce::dontSendNotification);
    outputDeviceDropDown->addItemList (type.getDeviceNames (false), 1);
    outputDeviceDropDown->setSelectedId (type.getIndexOfDevice (getWorkingDevice(), false) + 1,
                                         juce::dontSendNotification);
}

void AudioDeviceSettingsPanel::updateInputsComboBox()
{
    if (setup.maxNumInputChannels > 0 && type.hasSeparateInputsAndOutputs())
    {
        if (inputDeviceDropDown == nullptr)
        {
            inputDeviceDropDown = makeBox();
            inputDeviceLabel = makeLabel (TRANS ("Input:"), *inputDeviceDropDown, true);
        }

        inputDeviceDropDown->clear (juce::dontSendNotification);
        inputDeviceDropDown->addItemList (type.getDeviceNames (true), 1);
    }

    if (inputDeviceDropDown != nullptr)
        inputDeviceDropDown->setSelectedId (type.getIndexOfDevice (getWorkingDevice(), true) + 1,
                                            juce::dontSendNotification);
}

void AudioDeviceSettingsPanel::updateSampleRateComboBox (juce::AudioIODevice& device)
{
    if (sampleRateDropDown != nullptr)
    {
        sampleRateDropDown->clear();
        sampleRateDropDown->removeListener (this);
    }
    else
    {
        sampleRateDropDown = makeBox();
        sampleRateLabel = makeLabel (TRANS ("Sample rate:"), *sampleRateDropDown, true);
    }

    for (auto rate : device.getAvailableSampleRates())
    {
        const auto id = juce::roundToInt (rate);
        sampleRateDropDown->addItem (juce::String (id) + " Hz", id);
    }

    sampleRateDropDown->setSelectedId (juce::roundToInt (device.getCurrentSampleRate()),
                                       juce::dontSendNotification);
    sampleRateDropDown->addListener (this);
}

void AudioDeviceSettingsPanel::updateBufferSizeComboBox (juce::AudioIODevice& device)
{
    if (bufferSizeDropDown != nullptr)
    {
        bufferSizeDropDown->clear();
        bufferSizeDropDown->removeListener (this);
    }
    else
    {
        bufferSizeDropDown = makeBox();
        bufferSizeLabel = makeLabel (TRANS ("Audio buffer size:"), *bufferSizeDropDown, true);
    }

    auto rate = device.getCurrentSampleRate();

    if (rate == 0.0)
        rate = fallbackSampleRate;

    for (auto size : device.getAvailableBufferSizes())
        bufferSizeDropDown->addItem (
            juce::String (size) + " samples (" + juce::String (size * 1000.0 / rate, 1) + " ms)", size);

    bufferSizeDropDown->setSelectedId (device.getCurrentBufferSizeSamples(), juce::dontSendNotification);
    bufferSizeDropDown->addListener (this);
}

//==============================================================================
void AudioDeviceSettingsPanel::resized()
{
    const int w = getWidth();
    const int x1 = roundedFraction (w, 0.17f);
    const int x2 = roundedFraction (w, 0.6f);
    const int boxWidth = roundedFraction (w, 0.33f);
    const int xIn = roundedFraction (w, 0.08f);
    const int xOut = roundedFraction (w, 0.51f);
    int y = 100;

    if (inputDeviceDropDown != nullptr)
    {
        inputDeviceDropDown->setBounds (x1, y, boxWidth, boxHeight);
        y = 130;
    }

    if (outputDeviceDropDown != nullptr)
        outputDeviceDropDown->setBounds (x2, 100, boxWidth, boxHeight);

    if (sampleRateDropDown != nullptr)
    {
        sampleRateDropDown->setBounds (x1, y, boxWidth, boxHeight);
        y += 30;
    }

    if (bufferSizeDropDown != nullptr)
    {
        bufferSizeDropDown->setBounds (x1, y, boxWidth, boxHeight);
        y += 30;
    }

    // Never over the device row: with no device open and no input box the
    // output channel selector would otherwise hide the output device box, the
    // one way back to a working device.
    if (outputDeviceDropDown != nullptr)
        y = juce::jmax (y, 130);

    if (inputChannelSelector != nullptr)
        inputChannelSelector->setBounds (xIn, y, 2 * boxWidth, 240);

    if (outputChannelSelector != nullptr)
        outputChannelSelector->setBounds (xOut, y, 2 * boxWidth, 240);
}

void AudioDeviceSettingsPanel::changeListenerCallback (juce::ChangeBroadcaster*) { updateAllControls(); }

void AudioDeviceSettingsPanel::buttonClicked (juce::Button*) {}

void AudioDeviceSettingsPanel::comboBoxChanged (juce::ComboBox* box)
{
    if (box == nullptr)
        return;

    auto& manager = *setup.manager;
    auto config = manager.getAudioDeviceSetup();
    juce::String error;

    if (box == outputDeviceDropDown.get() || box == inputDeviceDropDown.get())
    {
        if (outputDeviceDropDown != nullptr)
            config.outputDeviceName =
                outputDeviceDropDown->getSelectedId() < 0 ? juce::String() : outputDeviceDropDown->getText();

        if (inputDeviceDropDown != nullptr)
            config.inputDeviceName =
                inputDeviceDropDown->getSelectedId() < 0 ? juce::String() : inputDeviceDropDown->getText();

        if (! type.hasSeparateInputsAndOutputs())
            config.inputDeviceName = config.outputDeviceName;

        const bool inputChanged = box == inputDeviceDropDown.get();

        if (inputChanged)
            config.useDefaultInputChannels = true;
        else
            config.useDefaultOutputChannels = true;

        error = applySetup (manager, config);
        selectCurrentDevices();

        if (processor != nullptr)
            resetLayoutsToIdentity (*processor, manager.getCurrentAudioDevice(), inputChanged,
                                    ! inputChanged);

        resized();
    }
    else if (box == sampleRateDropDown.get())
    {
        if (box->getSelectedId() > 0)
        {
            config.sampleRate = box->getSelectedId();
            error = applySetup (manager, config);
        }
    }
    else if (box == bufferSizeDropDown.get())
    {
        if (box->getSelectedId() > 0)
        {
            config.bufferSize = box->getSelectedId();
            error = applySetup (manager, config);
        }
    }

    if (error.isNotEmpty())
        juce::AlertWindow::showMessageBoxAsync (juce::MessageBoxIconType::WarningIcon, TRANS (errorTitle),
                                                error);
}

//==============================================================================
AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox::OVRAChannelSelectorDropBox (
    const SetupDetails& setupDetails, int kind, OvrajuceLoudnessAudioProcessor* processorToUse,
    const juce::Font& fontToUse)
    : setup (setupDetails)
    , channelKind (kind)
    , font (fontToUse)
{
    for (int slot = 0; slot < ChannelLayout::numSlots; ++slot)
    {
        auto& box = channelBoxes[(size_t) slot];
        box = std::make_unique<juce::ComboBox> (juce::String());
        box->addListener (this);
        addAndMakeVisible (*box);

        auto& label = channelLabels[(size_t) slot];
        label = std::make_unique<juce::Label> (juce::String(), Slots::names[(size_t) slot]);
        label->setColour (juce::Label::textColourId, juce::Colours::white);
        label->attachToComponent (box.get(), true);
        label->setFont (
            font.withHeight (labelFontHeight).withHorizontalScale (1.0f).withExtraKerningFactor (0.0f));
        addAndMakeVisible (*label);
    }

    for (auto& box : channelBoxes)
        box->setLookAndFeel (&lookAndFeel);

    chosenChannels = identityLayout (ChannelLayout::numSlots);
    processor = processorToUse;

    updateChannelBoxes();
    layoutChannelBoxes();
}

AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox::~OVRAChannelSelectorDropBox()
{
    // Before the look and feel that they use.
    for (auto& label : channelLabels)
        label.reset();

    for (auto& box : channelBoxes)
        box.reset();
}

juce::String AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox::getNoneItemText()
{
    return "<< " + TRANS ("none") + " >>";
}

void AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox::updateChannelBoxes()
{
    channelNames.clear();

    for (auto& box : channelBoxes)
    {
        box->removeListener (this);
        box->clear (juce::dontSendNotification);
        box->addListener (this);
    }

    if (auto* device = setup.manager->getCurrentAudioDevice())
        channelNames =
            channelKind == inputChannels ? device->getInputChannelNames() : device->getOutputChannelNames();

    if (processor != nullptr)
        chosenChannels = channelKind == inputChannels ? processor->getSavedInputLayout()
                                                      : processor->getSavedOutputLayout();

    // Showing what is open must not reopen the device: the choice is applied
    // only where the device's channels differ from it (a device with fewer
    // channels, or a layout the device was not opened with).
    const auto notification = ! channelNames.isEmpty() && getShownChannels() != getOpenChannels()
                                  ? juce::sendNotificationAsync
                                  : juce::dontSendNotification;

    for (int slot = 0; slot < ChannelLayout::numSlots; ++slot)
    {
        auto& box = *channelBoxes[(size_t) slot];
        box.addItemList (channelNames, 1);
        box.addItem (getNoneItemText(), noneItemId);

        const auto channel = chosenChannels[slot];
        box.setSelectedId (channel != ChannelLayout::none ? channel + 1 : noneItemId, notification);
    }

    updateItemStates();
}

juce::BigInteger AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox::getShownChannels() const
{
    juce::BigInteger channels;

    for (auto channel : chosenChannels.channels)
        if (juce::isPositiveAndBelow (channel, channelNames.size()))
            channels.setBit (channel);

    return channels;
}

juce::BigInteger AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox::getOpenChannels() const
{
    auto* device = setup.manager->getCurrentAudioDevice();

    if (device == nullptr)
        return {};

    return channelKind == inputChannels ? device->getActiveInputChannels()
                                        : device->getActiveOutputChannels();
}

int AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox::getSelectedChannel (int slot) const
{
    const auto id = channelBoxes[(size_t) slot]->getSelectedId();
    return id > 0 ? id - 1 : ChannelLayout::none;
}

void AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox::updateItemStates()
{
    for (int slot = 0; slot < ChannelLayout::numSlots; ++slot)
    {
        auto& box = *channelBoxes[(size_t) slot];

        for (int channel = 0; channel < channelNames.size(); ++channel)
        {
            bool heldElsewhere = false;

            for (int other = 0; other < ChannelLayout::numSlots; ++other)
                heldElsewhere = heldElsewhere || (other != slot && getSelectedChannel (other) == channel);

            box.setItemEnabled (channel + 1, ! heldElsewhere);
        }
    }
}

void AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox::comboBoxChanged (juce::ComboBox*)
{
    // With no channels to offer (a device that has gone, such as a JACK client
    // whose server stopped) the boxes hold only the none item; reading them
    // then would wipe the layouts that the device needs when it is back.
    if (channelNames.isEmpty())
        return;

    for (int slot = 0; slot < ChannelLayout::numSlots; ++slot)
        chosenChannels[slot] = getSelectedChannel (slot);

    updateItemStates();
    applyChosenChannels();
    layoutChannelBoxes();
}

void AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox::applyChosenChannels()
{
    ChannelLayout previousLayout;

    if (processor != nullptr)
    {
        previousLayout = channelKind == inputChannels ? processor->getSavedInputLayout()
                                                      : processor->getSavedOutputLayout();

        if (channelKind == inputChannels)
            processor->setInputLayout (chosenChannels);
        else
            processor->setOutputLayout (chosenChannels);
    }

    auto& manager = *setup.manager;
    auto config = manager.getAudioDeviceSetup();
    juce::BigInteger channels;

    for (auto channel : chosenChannels.channels)
        if (channel != ChannelLayout::none)
            channels.setBit (channel);

    if (channelKind == outputChannels)
    {
        config.useDefaultOutputChannels = false;
        config.outputChannels = channels;
    }
    else
    {
        config.useDefaultInputChannels = false;
        config.inputChannels = channels;
    }

    if (applySetup (manager, config).isEmpty())
        return;

    juce::Logger::writeToLog (layoutError);

    // The device is back on the channels it had, so the processor goes back to
    // the layout that indexes them; the refill that follows shows it.
    if (processor != nullptr)
    {
        if (channelKind == inputChannels)
            processor->setInputLayout (previousLayout);
        else
            processor->setOutputLayout (previousLayout);
    }
}

void AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox::resized() { layoutChannelBoxes(); }

void AudioDeviceSettingsPanel::OVRAChannelSelectorDropBox::layoutChannelBoxes()
{
    const int x = roundedFraction (getWidth(), 0.135f);
    const int width = roundedFraction (getWidth(), 0.5f);
    const int step = roundedFraction (getHeight(), 0.125f);

    for (int slot = 0; slot < ChannelLayout::numSlots; ++slot)
        channelBoxes[(size_t) slot]->setBounds (x, slot * step, width, boxHeight);
}
