#pragma once

#include <juce_core/juce_core.h>

/** Collects what is written to the framework's logger while it lives. */
struct CapturingLogger : juce::Logger
{
    CapturingLogger() { juce::Logger::setCurrentLogger (this); }
    ~CapturingLogger() override { juce::Logger::setCurrentLogger (nullptr); }
    void logMessage (const juce::String& message) override { lines.add (message); }

    /** Lines that contain the text. */
    int count (const juce::String& text) const
    {
        int n = 0;

        for (const auto& line : lines)
            n += line.contains (text) ? 1 : 0;

        return n;
    }

    juce::StringArray lines;
};
