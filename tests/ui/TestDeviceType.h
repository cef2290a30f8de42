#pragma once

#include <juce_audio_devices/juce_audio_devices.h>

#include <algorithm>
#include <memory>
#include <set>
#include <thread>

/** A device type of the tests' own: its devices report the channel names,
    rates and buffer sizes a test gives them, refuse to open with what the test
    says, and run no audio. */
class TestDeviceType : public juce::AudioIODeviceType
{
public:
    struct DeviceDescription
    {
        juce::String name;
        juce::StringArray inputs, outputs;
        juce::Array<double> rates { 44100.0, 48000.0 };
        juce::Array<int> bufferSizes { 256, 512 };
        std::set<int> refusedRates, refusedBufferSizes;
        bool refuseChannelChanges = false;
        double reportedRate = -1.0; // the open rate unless set
        bool absent = false;        // unlisted, as a JACK server that is not running
    };

    class Device : public juce::AudioIODevice
    {
    public:
        /** Takes its outputs, rates and refusals from one description and its
            inputs from another, as a pair of separate devices would. */
        Device (const juce::String& typeName, std::shared_ptr<DeviceDescription> d,
                std::shared_ptr<DeviceDescription> in)
            : juce::AudioIODevice (d->name, typeName)
            , description (std::move (d))
            , inputDescription (std::move (in))
        {
        }

        const juce::String& getInputName() const noexcept { return inputDescription->name; }

        ~Device() override { close(); }

        juce::StringArray getOutputChannelNames() override { return description->outputs; }
        juce::StringArray getInputChannelNames() override { return inputDescription->inputs; }
        juce::Array<double> getAvailableSampleRates() override { return description->rates; }
        juce::Array<int> getAvailableBufferSizes() override { return description->bufferSizes; }
        int getDefaultBufferSize() override { return description->bufferSizes.getFirst(); }

        juce::String open (const juce::BigInteger& inputs, const juce::BigInteger& outputs, double rate,
                           int bufferSize) override
        {
            if (description->refusedRates.count (juce::roundToInt (rate)) > 0)
                return "The device refuses " + juce::String (rate) + " Hz";

            if (description->refusedBufferSizes.count (bufferSize) > 0)
                return "The device refuses " + juce::String (bufferSize) + " samples";

            if (description->refuseChannelChanges && opened
                && (inputs != activeInputs || outputs != activeOutputs))
                return "The device refuses these channels";

            activeInputs = inputs;
            activeOutputs = outputs;
            currentRate = rate;
            currentBufferSize = bufferSize;
            opened = true;
            return {};
        }

        void close() override
        {
            stop();
            opened = false;
        }

        /** Closes the device from a thread of its own, as a JACK device does
            when its server goes away. */
        void closeFromAnotherThread()
        {
            std::thread closing ([this] { close(); });
            closing.join();
        }

        bool isOpen() override { return opened; }

        void start (juce::AudioIODeviceCallback* newCallback) override
        {
            if (newCallback != nullptr)
                newCallback->audioDeviceAboutToStart (this);

            callback = newCallback;
        }

        void stop() override
        {
            if (auto* old = std::exchange (callback, nullptr))
                old->audioDeviceStopped();
        }

        bool isPlaying() override { return callback != nullptr; }
        juce::String getLastError() override { return {}; }
        int getCurrentBufferSizeSamples() override { return currentBufferSize; }
        double getCurrentSampleRate() override
        {
            return description->reportedRate >= 0.0 ? description->reportedRate : currentRate;
        }
        int getCurrentBitDepth() override { return 32; }
        juce::BigInteger getActiveOutputChannels() const override { return activeOutputs; }
        juce::BigInteger getActiveInputChannels() const override { return activeInputs; }
        int getOutputLatencyInSamples() override { return 0; }
        int getInputLatencyInSamples() override { return 0; }

    private:
        std::shared_ptr<DeviceDescription> description, inputDescription;
        juce::BigInteger activeInputs, activeOutputs;
        double currentRate = 0.0;
        int currentBufferSize = 0;
        bool opened = false;
        juce::AudioIODeviceCallback* callback = nullptr;
    };

    //==============================================================================
    explicit TestDeviceType (const juce::String& typeName = "Test", bool separateInputsAndOutputs = true)
        : juce::AudioIODeviceType (typeName)
        , separate (separateInputsAndOutputs)
    {
    }

    DeviceDescription& addDevice (const juce::String& name, const juce::StringArray& inputs,
                                  const juce::StringArray& outputs)
    {
        auto description = std::make_shared<DeviceDescription>();
        description->name = name;
        description->inputs = inputs;
        description->outputs = outputs;
        devices.push_back (description);
        return *description;
    }

    /** Takes a device away, as when it is unplugged, and tells the listeners. */
    void removeDevice (const juce::String& name)
    {
        devices.erase (
            std::remove_if (devices.begin(), devices.end(), [&] (auto& d) { return d->name == name; }),
            devices.end());
        callDeviceChangeListeners();
    }

    void scanForDevices() override {}

    juce::StringArray getDeviceNames (bool) const override
    {
        juce::StringArray names;

        for (auto& d : devices)
            if (! d->absent)
                names.add (d->name);

        return names;
    }

    int getDefaultDeviceIndex (bool) const override { return 0; }

    int getIndexOfDevice (juce::AudioIODevice* device, bool asInput) const override
    {
        auto* ours = dynamic_cast<Device*> (device);

        if (ours == nullptr)
            return -1;

        return getDeviceNames (false).indexOf (asInput ? ours->getInputName() : ours->getName());
    }

    bool hasSeparateInputsAndOutputs() const override { return separate; }

    juce::AudioIODevice* createDevice (const juce::String& outputName, const juce::String& inputName) override
    {
        auto find = [this] (const juce::String& name) -> std::shared_ptr<DeviceDescription> {
            for (auto& d : devices)
                if (d->name == name)
                    return d;

            return {};
        };

        auto out = find (outputName.isNotEmpty() ? outputName : inputName);
        auto in = find (inputName.isNotEmpty() ? inputName : outputName);
        return out != nullptr && in != nullptr ? new Device (getTypeName(), out, in) : nullptr;
    }

private:
    std::vector<std::shared_ptr<DeviceDescription>> devices;
    const bool separate;
};
