#include "HostTestHelpers.h"
#include "LockComponent.h"

#include <gtest/gtest.h>

namespace
{
const juce::Rectangle<int> banner (210, 0, 500, 110);

// An editor-sized parent with a control and a text editor under the lock.
struct LockedEditor : juce::Component
{
    LockedEditor()
    {
        setSize (1024, 768);
        addAndMakeVisible (button);
        addAndMakeVisible (textEditor);
        addChildComponent (lock);
        button.setBounds (100, 300, 200, 50);
        textEditor.setBounds (400, 300, 200, 30);
        lock.setBounds (getLocalBounds());
        button.onClick = [this] { ++clicks; };
    }

    void paint (juce::Graphics& g) override
    {
        g.setGradientFill (juce::ColourGradient (juce::Colour (0xffc08040), 0.0f, 0.0f,
                                                 juce::Colour (0xff40c0ff), 1024.0f, 768.0f, false));
        g.fillAll();
    }

    juce::Image snapshot() { return createComponentSnapshot (getLocalBounds(), true, 1.0f); }

    void click (juce::Point<float> position)
    {
        auto* peer = getPeer();
        const auto time = juce::Time::currentTimeMillis();
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, position,
                                juce::ModifierKeys (juce::ModifierKeys::leftButtonModifier),
                                juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation, time);
        peer->handleMouseEvent (juce::MouseInputSource::InputSourceType::mouse, position,
                                juce::ModifierKeys(), juce::MouseInputSource::defaultPressure,
                                juce::MouseInputSource::defaultOrientation, time + 10);
    }

    juce::TextButton button { "under" };
    juce::TextEditor textEditor;
    LockComponent lock;
    int clicks = 0;
};
} // namespace

TEST (LockComponent, VeilsTheEditorAndShowsItsTextInTheBannerOnly)
{
    LockedEditor editor;
    const auto under = editor.snapshot();
    editor.lock.setVisible (true);
    const auto locked = editor.snapshot();

    int misses = 0;
    juce::Rectangle<int> text;
    for (int y = 0; y < 768; ++y)
        for (int x = 0; x < 1024; ++x)
        {
            const auto out = locked.getPixelAt (x, y);
            if (banner.contains (x, y))
            {
                misses += out.getRed() != out.getGreen() || out.getGreen() != out.getBlue();
                if (out.getRed() > 128)
                    text = text.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1)
                                          : text.getUnion (juce::Rectangle<int> (x, y, 1, 1));
                continue;
            }
            const auto in = under.getPixelAt (x, y);
            misses += std::abs (out.getRed() - 0.7f * in.getRed()) > 2.0f
                      || std::abs (out.getGreen() - 0.7f * in.getGreen()) > 2.0f
                      || std::abs (out.getBlue() - 0.7f * in.getBlue()) > 2.0f;
        }

    EXPECT_EQ (0, misses) << "every pixel outside the banner is 70 % of the one under it; the banner is grey";
    ASSERT_FALSE (text.isEmpty());
    EXPECT_GT (text.getWidth(), 200);
    EXPECT_NEAR (banner.getCentreX(), text.getCentreX(), 3);
    EXPECT_NEAR (banner.getCentreY(), text.getCentreY(), 3);
    EXPECT_EQ (juce::Colours::black, locked.getPixelAt (212, 2));
}

TEST (LockComponent, TakesClicksButLeavesTheKeyboardFocusWhereItWas)
{
    LockedEditor editor;
    editor.addToDesktop (0);
    editor.setVisible (true);
    ASSERT_TRUE (HostTestHelpers::runMessageLoopUntil ([&] {
        editor.textEditor.grabKeyboardFocus();
        return editor.textEditor.hasKeyboardFocus (false);
    }));

    editor.lock.setVisible (true);
    const auto onButton = editor.button.getBounds().getCentre();
    EXPECT_EQ (&editor.lock, editor.getComponentAt (onButton));

    editor.click (onButton.toFloat());
    EXPECT_EQ (0, editor.clicks);
    EXPECT_TRUE (editor.textEditor.hasKeyboardFocus (false));
    editor.getPeer()->handleKeyPress (juce::KeyPress ('a', {}, 'a'));
    EXPECT_EQ (juce::String ("a"), editor.textEditor.getText());

    // Nor does a click on the veil give the focus to a control under it.
    editor.textEditor.giveAwayKeyboardFocus();
    editor.click (onButton.toFloat());
    EXPECT_EQ (nullptr, juce::Component::getCurrentlyFocusedComponent());

    // Unlocked, the same click reaches the button.
    editor.lock.setVisible (false);
    editor.click (onButton.toFloat());
    EXPECT_EQ (1, editor.clicks);
}
