#include "OVRAStandaloneFilterWindow.h"

#include "BoundedXmlDocument.h"
#include "CommandsListener.h"
#include "OvrajuceLoudnessAudioProcessor.h"

namespace
{
constexpr int numChannels = 6;
constexpr double initialSampleRate = 44100.0;
constexpr int initialBlockSize = 512;

// How long the window waits for the window manager's frame: 40 x 50 ms.
constexpr int framingAttempts = 40;
constexpr int framingPollMs = 50;

/** Decodes the stored engine state. The framework's decoder takes the size in
    front of the dot on trust, and a negative or huge one makes it try to
    allocate a block of that size; such text is treated as undecodable. */
bool decodeStoredState (const juce::String& text, juce::MemoryBlock& state)
{
    const auto dot = text.indexOfChar ('.');

    if (dot <= 0 || dot > 9 || ! text.substring (0, dot).containsOnly ("0123456789"))
        return false;

    const auto size = (size_t) text.substring (0, dot).getLargeIntValue();
    const auto numChars = (size_t) (text.length() - dot - 1);

    if (size > (numChars * 6 + 7) / 8)
        return false;

    return state.fromBase64Encoding (text);
}
} // namespace

//==============================================================================
OVRAStandaloneFilterWindow::OVRAStandaloneFilterWindow (const juce::String& title, juce::Colour,
                                                        std::unique_ptr<juce::PropertiesFile> preferences)
    : juce::DocumentWindow (title, juce::Colours::black, juce::DocumentWindow::allButtons, true)
    , settings (std::move (preferences))
{
    deviceManager = std::make_unique<juce::AudioDeviceManager>();
    deviceManager->addAudioCallback (&player);
    deviceManager->addMidiInputDeviceCallback ({}, &player);

    processor = createFilter();

    if (processor == nullptr)
    {
        juce::JUCEApplicationBase::quit();
        return;
    }

    processor->setPlayConfigDetails (numChannels, numChannels, initialSampleRate, initialBlockSize);

    restoreFilterState();
    openAudioDevice();

    content = std::make_unique<CommandsListener>();

    if (auto* editor = processor->createEditorIfNeeded())
    {
        content->addAndMakeVisible (editor);
        content->setSize (editor->getWidth(), editor->getHeight());
    }

    // The window keeps the content itself, so that the editor can be taken down first.
    setContentNonOwned (content.get(), true);
    addKeyListener (CommandsListener::getGlobalCommandManager().getKeyMappings());

    restoreWindowPosition();

    player.setProcessor (processor.get());
    triggerAsyncUpdate();
}

OVRAStandaloneFilterWindow::~OVRAStandaloneFilterWindow()
{
    // Leaving kiosk mode first puts back the bounds the user chose, and the
    // desktop must not keep a deleted kiosk component.
    auto& desktop = juce::Desktop::getInstance();

    if (desktop.getKioskModeComponent() == this)
        desktop.setKioskModeComponent (nullptr);

    cancelPendingUpdate();

    if (settings != nullptr)
    {
        settings->setValue (windowXKey, getX());
        settings->setValue (windowYKey, getY());

        if (deviceManager != nullptr)
        {
            const auto setup = deviceManager->createStateXml();
            settings->setValue (audioSetupKey, setup.get());
        }
    }

    if (deviceManager != nullptr)
    {
        deviceManager->removeMidiInputDeviceCallback ({}, &player);
        deviceManager->removeAudioCallback (&player);
    }

    if (settings != nullptr && processor != nullptr)
    {
        juce::MemoryBlock state;
        processor->getStateInformation (state);
        settings->setValue (filterStateKey, state.toBase64Encoding());
    }

    if (processor != nullptr)
        processor->editorBeingDeleted (processor->getActiveEditor());

    if (content != nullptr)
        content->deleteAllChildren();

    clearContentComponent();

    removeKeyListener (CommandsListener::getGlobalCommandManager().getKeyMappings());

    deviceManager.reset();
    content.reset();
    CommandsListener::deleteGlobalCommandManager();

    // Saved here rather than when the preferences are deleted, so that a
    // failure is told; it is not tried a second time then.
    if (settings != nullptr && ! settings->saveIfNeeded())
    {
        juce::Logger::writeToLog ("The preferences could not be saved to "
                                  + settings->getFile().getFullPathName());
        settings->setNeedsToBeSaved (false);
    }
}

//==============================================================================
void OVRAStandaloneFilterWindow::resized()
{
    juce::DocumentWindow::resized();

    if (processor == nullptr)
        return;

    if (auto* editor = processor->getActiveEditor())
        if (auto* parent = editor->getParentComponent())
            editor->setCentrePosition (parent->getLocalBounds().getCentre());
}

void OVRAStandaloneFilterWindow::closeButtonPressed()
{
    // One road for every quit request, so the preferences are always written.
    if (auto* app = juce::JUCEApplicationBase::getInstance())
        app->systemRequestedQuit();
    else
        juce::JUCEApplicationBase::quit();
}

void OVRAStandaloneFilterWindow::handleAsyncUpdate()
{
    auto& commandManager = CommandsListener::getGlobalCommandManager();

    if (content != nullptr)
        commandManager.registerAllCommandsForTarget (content.get());

    commandManager.registerAllCommandsForTarget (juce::JUCEApplication::getInstance());
}

void OVRAStandaloneFilterWindow::buttonClicked (juce::Button*) {}

//==============================================================================
std::unique_ptr<OvrajuceLoudnessAudioProcessor> OVRAStandaloneFilterWindow::createFilter()
{
    // The processor takes its wrapper type from this setting while it is built.
    juce::PluginHostType::jucePlugInClientCurrentWrapperType = juce::AudioProcessor::wrapperType_Standalone;
    auto filter = std::make_unique<OvrajuceLoudnessAudioProcessor> (deviceManager.get());
    juce::PluginHostType::jucePlugInClientCurrentWrapperType = juce::AudioProcessor::wrapperType_Undefined;
    return filter;
}

void OVRAStandaloneFilterWindow::restoreFilterState()
{
    if (settings == nullptr)
        return;

    juce::MemoryBlock state;

    if (decodeStoredState (settings->getValue (filterStateKey), state) && state.getSize() > 0)
        processor->setStateInformation (state.getData(), (int) state.getSize());
}

void OVRAStandaloneFilterWindow::openAudioDevice()
{
    const int numInputs = processor->getTotalNumInputChannels();
    const int numOutputs = processor->getTotalNumOutputChannels();
    juce::String error;

    if (settings != nullptr)
    {
        const auto savedSetup = BoundedXmlDocument::parse (settings->getValue (audioSetupKey));
        error = deviceManager->initialise (numInputs, numOutputs, savedSetup.get(), false);
    }
    else
    {
        error = deviceManager->initialise (numInputs, numOutputs, nullptr, true);
    }

    // At start-up a device that cannot be opened is not the user's business yet:
    // the editor's device selector lets them pick another.
    if (error.isNotEmpty())
        juce::Logger::writeToLog (error);
}

void OVRAStandaloneFilterWindow::restoreWindowPosition()
{
    int x = noStoredPosition;
    int y = noStoredPosition;

    if (settings != nullptr)
    {
        x = settings->getIntValue (windowXKey, noStoredPosition);
        y = settings->getIntValue (windowYKey, noStoredPosition);
    }

    if (x != noStoredPosition && y != noStoredPosition)
    {
        setBoundsConstrained ({ x, y, getWidth(), getHeight() });
        placeAgainOnceFramed (getPosition(), framingAttempts);
    }
    else
    {
        centreWithSize (getWidth(), getHeight());
    }
}

void OVRAStandaloneFilterWindow::placeAgainOnceFramed (juce::Point<int> position, int attemptsLeft)
{
    // Under an X11 window manager the first placement happens before the frame
    // size is known, which shifts the window by its title bar on every start.
    // Once the frame is known the same position lands where it was stored.
    juce::Component::SafePointer<OVRAStandaloneFilterWindow> safeThis (this);

    juce::Timer::callAfterDelay (framingPollMs, [safeThis, position, attemptsLeft] {
        if (safeThis == nullptr)
            return;

        auto* peer = safeThis->getPeer();

        if (peer != nullptr && safeThis->isVisible() && peer->getFrameSizeIfPresent())
            safeThis->setTopLeftPosition (position);
        else if (attemptsLeft > 0)
            safeThis->placeAgainOnceFramed (position, attemptsLeft - 1);
    });
}
