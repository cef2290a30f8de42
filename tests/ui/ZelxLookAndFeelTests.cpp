#include "CapturingLogger.h"
#include "HostTestHelpers.h"
#include "ZelxLookAndFeel.h"

#include <gtest/gtest.h>

namespace
{
const juce::Colour background (0xff102030), outline (0xffff0000), button (0xff00c000), arrow (0xff0000ff),
    focusedOutline (0xffffff00);

// A 200 x 30 box puts its button at (174, 0, 26, 30).
struct FlatComboBox : juce::ComboBox
{
    FlatComboBox()
    {
        setLookAndFeel (&lookAndFeel);
        setColour (backgroundColourId, background);
        setColour (outlineColourId, outline);
        setColour (buttonColourId, button);
        setColour (arrowColourId, arrow);
        setColour (focusedOutlineColourId, focusedOutline);
        setSize (200, 30);
    }
    ~FlatComboBox() override { setLookAndFeel (nullptr); }

    juce::Image snapshot() { return createComponentSnapshot (getLocalBounds(), true, 1.0f); }

    ZelxLookAndFeel lookAndFeel;
};

juce::Colour blend (juce::Colour from, juce::Colour to, float coverage)
{
    return from.interpolatedWith (to, coverage);
}

void expectNear (juce::Colour expected, juce::Colour actual, int tolerance = 2)
{
    EXPECT_NEAR (expected.getRed(), actual.getRed(), tolerance);
    EXPECT_NEAR (expected.getGreen(), actual.getGreen(), tolerance);
    EXPECT_NEAR (expected.getBlue(), actual.getBlue(), tolerance);
}

} // namespace

TEST (ZelxLookAndFeel, ComboBoxIsFlatWithOutlineAndArrowsByState)
{
    FlatComboBox box;

    const auto enabled = box.snapshot();
    EXPECT_EQ (outline, enabled.getPixelAt (0, 15));
    EXPECT_EQ (background, enabled.getPixelAt (1, 15));
    for (auto [x, y] : { std::pair (187, 3), std::pair (178, 15), std::pair (187, 15), std::pair (187, 27) })
        EXPECT_EQ (button, enabled.getPixelAt (x, y)) << x << ", " << y;
    EXPECT_EQ (arrow, enabled.getPixelAt (187, 11));
    EXPECT_EQ (arrow, enabled.getPixelAt (187, 19));
    expectNear (blend (background, button, 0.5f), enabled.getPixelAt (174, 15));

    box.setEnabled (false);
    const auto disabled = box.snapshot();
    EXPECT_EQ (outline, disabled.getPixelAt (0, 15));
    EXPECT_EQ (background, disabled.getPixelAt (1, 15));
    EXPECT_EQ (button, disabled.getPixelAt (187, 11));
    EXPECT_EQ (button, disabled.getPixelAt (187, 19));
    expectNear (blend (background, button, 0.7f), disabled.getPixelAt (174, 15));

    box.setEnabled (true);
    box.addToDesktop (0);
    box.setVisible (true);
    ASSERT_TRUE (HostTestHelpers::runMessageLoopUntil ([&] {
        box.grabKeyboardFocus();
        return box.hasKeyboardFocus (false);
    }));
    const auto focused = box.snapshot();
    EXPECT_EQ (button, focused.getPixelAt (0, 15));
    EXPECT_EQ (button, focused.getPixelAt (1, 15));
    EXPECT_EQ (background, focused.getPixelAt (2, 15));
}

// Every combo box of the meter takes its colours from the look, written there
// once; colours a box sets itself still come first.
TEST (ZelxLookAndFeel, ComboBoxesWithoutColoursOfTheirOwnTakeTheLooks)
{
    ZelxLookAndFeel lookAndFeel;
    const juce::LookAndFeel_V2 framework;
    juce::ComboBox plain, own;
    plain.setLookAndFeel (&lookAndFeel);
    own.setLookAndFeel (&lookAndFeel);
    own.setColour (juce::ComboBox::arrowColourId, arrow);

    for (auto id : { juce::ComboBox::backgroundColourId, juce::ComboBox::outlineColourId,
                     juce::ComboBox::buttonColourId, juce::ComboBox::arrowColourId })
    {
        EXPECT_NE (framework.findColour (id), lookAndFeel.findColour (id)) << id;
        EXPECT_EQ (lookAndFeel.findColour (id), plain.findColour (id)) << id;
    }
    EXPECT_EQ (arrow, own.findColour (juce::ComboBox::arrowColourId));

    plain.setLookAndFeel (nullptr);
    own.setLookAndFeel (nullptr);
}

TEST (ZelxLookAndFeel, BarSliderIsFlatAndEmptyAtItsMinimum)
{
    ZelxLookAndFeel lookAndFeel;
    juce::Slider slider (juce::Slider::LinearBar, juce::Slider::NoTextBox);
    slider.setLookAndFeel (&lookAndFeel);
    slider.setColour (juce::Slider::backgroundColourId, background);
    slider.setColour (juce::Slider::thumbColourId, juce::Colour (0xff3080c0));
    slider.setRange (0.0, 100.0);
    slider.setSize (200, 30);

    slider.setValue (0.0);
    const auto atMinimum = slider.createComponentSnapshot (slider.getLocalBounds(), true, 1.0f);
    // Inside the framework's own 1-pixel frame round a bar without a text box.
    for (int y = 1; y < 29; ++y)
        for (int x = 1; x < 199; ++x)
            ASSERT_EQ (background, atMinimum.getPixelAt (x, y)) << x << ", " << y;

    // Half way the bar ends at x = 100, filled flat in the thumb colour as the
    // framework shades an idle button.
    slider.setValue (50.0);
    const auto halfWay = slider.createComponentSnapshot (slider.getLocalBounds(), true, 1.0f);
    const auto bar = juce::Colour (0xff3080c0).withMultipliedSaturation (0.9f);
    for (auto [x, y] : { std::pair (10, 3), std::pair (10, 26), std::pair (50, 15), std::pair (97, 15) })
        EXPECT_EQ (bar, halfWay.getPixelAt (x, y)) << x << ", " << y;
    EXPECT_EQ (background, halfWay.getPixelAt (102, 15));
    EXPECT_EQ (background, halfWay.getPixelAt (190, 15));

    slider.setLookAndFeel (nullptr);
}

TEST (ZelxLookAndFeel, ThumbPaintWritesOneDiagnosticLine)
{
    ZelxLookAndFeel lookAndFeel;
    juce::Slider slider (juce::Slider::LinearHorizontal, juce::Slider::NoTextBox);
    slider.setColour (juce::Slider::backgroundColourId, background);
    slider.setSize (420, 30);

    juce::Image image (juce::Image::ARGB, 420, 30, true);
    CapturingLogger logger;
    {
        juce::Graphics g (image);
        lookAndFeel.drawLinearSlider (g, 0, 0, 420, 30, 120.0f, 10.0f, 400.0f, juce::Slider::LinearHorizontal,
                                      slider);
    }

    EXPECT_EQ ("sliderPos:120min:10max:400", logger.lines.joinIntoString ("\n").toStdString());
    EXPECT_NE (background, image.getPixelAt (120, 15)) << "the thumb is drawn at the slider position";
}
