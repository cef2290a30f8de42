#include "OVRAStandaloneFilterWindow.h"

#include "AudioDeviceSettingsPanel.h"
#include "BoundedXmlDocument.h"
#include "CommandsListener.h"
#include "OVRAAudioDeviceSelectorComponent.h"
#include "OvrajuceLoudnessAudioProcessor.h"

namespace
{
constexpr double initialSampleRate = 44100.0;
constexpr int initialBlockSize = 512;

// How long the window watches for the window manager's frame: 100 x 50 ms.
constexpr int framingPolls = 100;
constexpr int framingPollMs = 50;

// The strip along a window's top edge by which the user grabs it.
constexpr int titleStripHeight = 24;

// How often the window looks for changed settings to store; the saver counts
// these polls before it saves them.
constexpr int storePollMs = 500;

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

/** Where a window with these bounds can be reached: where it is when the strip
    along its top lies in a display's user area, moved into the one it overlaps
    most when it only overlaps, and nowhere (so it is centred) when it lies off
    every display, as after a screen was taken away. */
std::optional<juce::Point<int>> findReachablePosition (juce::Rectangle<int> bounds)
{
    const auto strip = bounds.withHeight (juce::jmin (bounds.getHeight(), titleStripHeight));
    const juce::Rectangle<int>* overlapped = nullptr;
    int largestOverlap = 0;

    for (const auto& display : juce::Desktop::getInstance().getDisplays().displays)
    {
        if (display.userArea.contains (strip))
            return bounds.getPosition();

        const auto overlap = display.userArea.getIntersection (bounds);

        if (overlap.getWidth() * overlap.getHeight() > largestOverlap)
        {
            largestOverlap = overlap.getWidth() * overlap.getHeight();
            overlapped = &display.userArea;
        }
    }

    if (overlapped == nullptr)
        return {};

    return strip.constrainedWithin (*overlapped).getPosition();
}

bool isDeviceSetup (const juce::XmlElement* storedSetup)
{
    return storedSetup != nullptr && storedSetup->hasTagName ("DEVICESETUP");
}

/** The devices a stored setup names, without empty names. */
juce::StringArray storedDeviceNames (const juce::XmlElement* storedSetup)
{
    juce::StringArray names;

    if (isDeviceSetup (storedSetup))
        for (auto* attribute : { "audioDeviceName", "audioOutputDeviceName", "audioInputDeviceName" })
            names.add (storedSetup->getStringAttribute (attribute));

    names.removeEmptyStrings();
    return names;
}

/** The device type a stored setup names when it names no device (as one
    stored while the type listed none), else empty. */
juce::String typeWithoutDevice (const juce::XmlElement* storedSetup)
{
    return isDeviceSetup (storedSetup) && storedDeviceNames (storedSetup).isEmpty()
               ? storedSetup->getStringAttribute ("deviceType")
               : juce::String();
}

/** What the user is told when no device is open after start: the device that
    did not open and why, and where another is chosen. The device is the
    stored one, else the device type's default. */
juce::String describeDeviceFailure (const juce::XmlElement* storedSetup, juce::AudioDeviceManager& manager,
                                    const juce::String& error)
{
    auto typeName = manager.getCurrentAudioDeviceType();
    const auto storedType = typeWithoutDevice (storedSetup);
    auto names = storedDeviceNames (storedSetup);

    if (isDeviceSetup (storedSetup))
        typeName = storedSetup->getStringAttribute ("deviceType", typeName);

    if (names.isEmpty() && (storedType.isEmpty() || storedType == manager.getCurrentAudioDeviceType()))
        if (auto* type = manager.getCurrentDeviceTypeObject())
            for (auto input : { false, true })
                names.add (type->getDeviceNames (input)[type->getDefaultDeviceIndex (input)]);

    juce::String what;

    if (names.joinIntoString ({}).isEmpty() && error.isEmpty())
    {
        what = storedType.isEmpty()
                   ? TRANS ("No audio device was found.")
                   : TRANS ("No audio device of the type \"") + storedType + "\" " + TRANS ("was found.");
    }
    else
    {
        what = AudioDeviceWatcher::describeDevice (names, typeName) + " " + TRANS ("could not be opened")
               + (error.isNotEmpty() ? ":\n" + error : ".");
    }

    return what;
}
} // namespace

//==============================================================================
OVRAStandaloneFilterWindow::OVRAStandaloneFilterWindow (const juce::String& title, juce::Colour,
                                                        std::unique_ptr<juce::PropertiesFile> preferences,
                                                        std::unique_ptr<juce::AudioDeviceManager> devices)
    : juce::DocumentWindow (title, juce::Colours::black, juce::DocumentWindow::allButtons, true)
    , settings (std::move (preferences))
{
    // No size limits: with them the framework rewrites the window's size hints
    // on every move it is told of, dropping the position hint that the window
    // manager reads when it first shows the window, which it then places by a
    // policy of its own (under load, in the middle of the screen).
    setConstrainer (nullptr);

    if (settings != nullptr)
        saver = std::make_unique<PreferencesSaver> (*settings);

    deviceManager = devices != nullptr ? std::move (devices) : std::make_unique<juce::AudioDeviceManager>();
    deviceManager->addAudioCallback (&player);
    deviceManager->addMidiInputDeviceCallback ({}, &player);

    processor = createFilter();

    if (processor == nullptr)
    {
        juce::JUCEApplicationBase::quit();
        return;
    }

    processor->setPlayConfigDetails (Slots::count, Slots::count, initialSampleRate, initialBlockSize);

    const bool stateRestored = restoreFilterState();
    openAudioDevice();
    deviceWatcher = std::make_unique<AudioDeviceWatcher> (*deviceManager);

    // Without stored layouts (a first start) the device's channels are
    // measured in their order, as when a device is picked in the settings.
    if (! stateRestored)
        AudioDeviceSettingsPanel::resetLayoutsToIdentity (*processor, deviceManager->getCurrentAudioDevice(),
                                                          true, true);

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

    if (settings != nullptr)
    {
        storedPosition = positionToStore();
        storedSetup = setupToStore();
        storedState = stateToStore();
        startTimer (storePollMs);
    }
}

OVRAStandaloneFilterWindow::~OVRAStandaloneFilterWindow()
{
    // Leaving kiosk mode first puts back the bounds the user chose, and the
    // desktop must not keep a deleted kiosk component.
    auto& desktop = juce::Desktop::getInstance();

    if (desktop.getKioskModeComponent() == this)
        desktop.setKioskModeComponent (nullptr);

    cancelPendingUpdate();
    stopTimer();
    delete audioSettingsDialog.getComponent();

    // Closing the device at quit is no stop to tell of.
    deviceWatcher.reset();

    storeWindowPosition();
    storeDeviceSetup();

    if (deviceManager != nullptr)
    {
        deviceManager->removeMidiInputDeviceCallback ({}, &player);
        deviceManager->removeAudioCallback (&player);
    }

    storeEngineState();

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
    // failure is told.
    if (saver != nullptr)
        saver->saveNow();
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

void OVRAStandaloneFilterWindow::moved()
{
    juce::DocumentWindow::moved();
    keepPlacedPosition();
}

void OVRAStandaloneFilterWindow::closeButtonPressed()
{
    // One road for every quit request, so the preferences are always written.
    if (auto* app = juce::JUCEApplicationBase::getInstance())
        app->systemRequestedQuit();
    else
        juce::JUCEApplicationBase::quit();
}

void OVRAStandaloneFilterWindow::showAudioSettingsDialog()
{
    if (processor == nullptr || deviceManager == nullptr)
        return;

    constexpr int selectorWidth = 615;
    constexpr int selectorHeight = 610;
    // The counts the processor was set up with, not its current ones: the
    // player sets those to what the open device has, and with a device that
    // opened no inputs the selector would offer no input box to choose another.
    const int numInputs = Slots::count;
    const int numOutputs = Slots::count;
    auto selector = std::make_unique<OVRAAudioDeviceSelectorComponent> (
        *deviceManager, numInputs, numInputs, numOutputs, numOutputs, processor.get());
    selector->setSize (selectorWidth, selectorHeight);

    juce::DialogWindow::LaunchOptions options;
    options.content.setOwned (selector.release());
    options.dialogTitle = TRANS ("Audio Settings");
    options.dialogBackgroundColour = juce::Colours::black;
    options.escapeKeyTriggersCloseButton = true;
    options.useNativeTitleBar = true;
    options.resizable = false;
    options.useBottomRightCornerResizer = false;

    // The dialog is sized for the framework's own title bar and keeps that size
    // when it switches to the native one, which would stretch the selector.
    audioSettingsDialog = options.launchAsync();

    if (audioSettingsDialog != nullptr)
        audioSettingsDialog->setContentComponentSize (selectorWidth, selectorHeight);
}

void OVRAStandaloneFilterWindow::handleAsyncUpdate()
{
    auto& commandManager = CommandsListener::getGlobalCommandManager();

    if (content != nullptr)
        commandManager.registerAllCommandsForTarget (content.get());

    commandManager.registerAllCommandsForTarget (juce::JUCEApplication::getInstance());

    // One box for all: a box opened over another hides it, and the user
    // would not see that there was more.
    const auto problems = std::exchange (preferencesProblems, {}).joinIntoString ("\n");

    if (deviceFailure.isNotEmpty() && deviceWatcher != nullptr)
        deviceWatcher->tellNoneOpened (std::exchange (deviceFailure, {}),
                                       problems.isEmpty() ? juce::String()
                                                          : "\n\n" + preferencesNotice.getTitle() + ":\n" + problems);
    else if (problems.isNotEmpty())
        preferencesNotice.failed (problems);
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

bool OVRAStandaloneFilterWindow::restoreFilterState()
{
    if (settings == nullptr)
        return false;

    juce::MemoryBlock state;

    return decodeStoredState (settings->getValue (filterStateKey), state) && state.getSize() > 0
           && processor->restoreState (state.getData(), (int) state.getSize());
}

void OVRAStandaloneFilterWindow::openAudioDevice()
{
    const int numInputs = processor->getTotalNumInputChannels();
    const int numOutputs = processor->getTotalNumOutputChannels();
    std::unique_ptr<juce::XmlElement> savedSetup;
    juce::String error;

    if (settings != nullptr)
    {
        savedSetup = BoundedXmlDocument::parse (settings->getValue (audioSetupKey));
        error = deviceManager->initialise (numInputs, numOutputs, savedSetup.get(), false);

        // A stored type without a device opens that type's default devices,
        // as a first start does; not those of another type, and not as a
        // choice, so that the stored setup stays as it is.
        const auto storedType = typeWithoutDevice (savedSetup.get());
        auto* type = deviceManager->getCurrentDeviceTypeObject();

        if (deviceManager->getCurrentAudioDevice() == nullptr && storedType.isNotEmpty() && type != nullptr
            && type->getTypeName() == storedType
            && ! (type->getDeviceNames (false).isEmpty() && type->getDeviceNames (true).isEmpty()))
            error = deviceManager->initialise (numInputs, numOutputs, nullptr, false);
    }
    else
    {
        error = deviceManager->initialise (numInputs, numOutputs, nullptr, true);
    }

    // Without a device the meters show silence, which looks like a quiet
    // signal; the error is then told with the device, in the box and the log.
    if (deviceManager->getCurrentAudioDevice() == nullptr)
        deviceFailure = describeDeviceFailure (savedSetup.get(), *deviceManager, error);
    else if (error.isNotEmpty())
        juce::Logger::writeToLog (error);
}

void OVRAStandaloneFilterWindow::restoreWindowPosition()
{
    std::optional<juce::Point<int>> position;

    if (settings != nullptr)
    {
        const int x = settings->getIntValue (windowXKey, noStoredPosition);
        const int y = settings->getIntValue (windowYKey, noStoredPosition);

        if (x != noStoredPosition && y != noStoredPosition)
            position = findReachablePosition ({ x, y, getWidth(), getHeight() });
    }

    if (position.has_value())
        setBoundsConstrained ({ position->x, position->y, getWidth(), getHeight() });
    else
        centreWithSize (getWidth(), getHeight());

    placedPosition = getPosition();
    keepPlacedPosition();
    watchPlacement (framingPolls);
}

void OVRAStandaloneFilterWindow::keepPlacedPosition()
{
    // An X11 window manager puts the frame where the window was placed, so the
    // window itself lands lower and to the right by the frame's size. The
    // framework makes up for the frame only once it knows its size, some time
    // after the window is shown; a quit before that would store the shifted
    // position, and each such start would shift the window further. So the placed
    // position is kept, and the shift undone, until something else moves the
    // window. Positions of a native window before the window manager has shown
    // it in place (a new one starts in the screen's corner) are not taken as
    // moves; the window gets a new native one when its title bar changes.
    auto* peer = getPeer();

    if (! placedPosition.has_value() || peer == nullptr)
        return;

    const auto frame = peer->getFrameSizeIfPresent();

    if (! frame)
        return;

    const auto placed = *placedPosition;
    const auto shifted = placed + juce::Point<int> (frame->getLeft(), frame->getTop());
    const auto position = getPosition();

    if (position == shifted && shifted != placed)
    {
        placementShownOn = peer->getNativeHandle();
        setTopLeftPosition (placed);
    }
    else if (position == placed)
    {
        placementShownOn = peer->getNativeHandle();
    }
    else if (placementShownOn == peer->getNativeHandle())
    {
        placedPosition.reset();
    }
}

void OVRAStandaloneFilterWindow::watchPlacement (int pollsLeft)
{
    // The frame's size can become known without a move to report it. Once the
    // polls are over the window counts as shown in any case, so that the user's
    // moves are kept even where the window manager placed it elsewhere.
    juce::Component::SafePointer<OVRAStandaloneFilterWindow> safeThis (this);

    juce::Timer::callAfterDelay (framingPollMs, [safeThis, pollsLeft] {
        if (safeThis == nullptr || ! safeThis->placedPosition.has_value())
            return;

        if (pollsLeft <= 1)
            if (auto* peer = safeThis->getPeer())
                safeThis->placementShownOn = peer->getNativeHandle();

        safeThis->keepPlacedPosition();

        if (pollsLeft > 1)
            safeThis->watchPlacement (pollsLeft - 1);
    });
}

//==============================================================================
juce::Point<int> OVRAStandaloneFilterWindow::positionToStore() const
{
    return placedPosition.value_or (getPosition());
}

juce::String OVRAStandaloneFilterWindow::setupToStore() const
{
    // The form the preferences give an element; empty when no setup was chosen.
    const auto setup = deviceManager->createStateXml();
    return setup != nullptr ? setup->toString (juce::XmlElement::TextFormat().singleLine().withoutHeader())
                            : juce::String();
}

juce::String OVRAStandaloneFilterWindow::stateToStore() const
{
    juce::MemoryBlock state;
    processor->getStateInformation (state);
    return state.toBase64Encoding();
}

void OVRAStandaloneFilterWindow::storeWindowPosition()
{
    if (settings == nullptr)
        return;

    storedPosition = positionToStore();
    settings->setValue (windowXKey, storedPosition.x);
    settings->setValue (windowYKey, storedPosition.y);
}

void OVRAStandaloneFilterWindow::storeDeviceSetup()
{
    if (settings == nullptr || deviceManager == nullptr)
        return;

    storedSetup = setupToStore();
    settings->setValue (audioSetupKey, storedSetup);
}

void OVRAStandaloneFilterWindow::storeEngineState()
{
    if (settings == nullptr || processor == nullptr)
        return;

    storedState = stateToStore();
    settings->setValue (filterStateKey, storedState);
}

void OVRAStandaloneFilterWindow::timerCallback()
{
    // Kiosk mode's bounds are not the user's; the quit stores those it ends with.
    if (juce::Desktop::getInstance().getKioskModeComponent() != this && positionToStore() != storedPosition)
        storeWindowPosition();

    if (setupToStore() != storedSetup)
        storeDeviceSetup();

    if (stateToStore() != storedState)
        storeEngineState();

    saver->poll();
}
