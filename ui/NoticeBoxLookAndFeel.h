#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

/** The look of a notice box (see FailureNotice): the framework's own, but its
    window never takes the keyboard, and the warning sign stands whole inside
    the box, beside the title and text rather than under them.

        box->setLookAndFeel (&noticeLookAndFeel);   // before the box is shown
*/
class NoticeBoxLookAndFeel : public juce::LookAndFeel_V4
{
public:
    int getAlertBoxWindowFlags() override;

    void drawAlertBox (juce::Graphics&, juce::AlertWindow&, const juce::Rectangle<int>& textArea,
                       juce::TextLayout&) override;
};
