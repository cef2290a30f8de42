// Paints one display tick of every meter and scope at the editor's sizes and
// places (seven bars, the arrow, the range bar, six correlation meters, the
// vectroscope with a full trail, the sound field) into an image with JUCE's
// software renderer, after feeding each the values of that tick (the
// vectroscope reading its feed), and reports the time per tick as a share of
// the display's 50 ms tick.

#include "BinaryData.h"
#include "OVRACorrelationMeter.h"
#include "OVRADrawVectorscope.h"
#include "OVRAJuceArrowVU.h"
#include "OVRAJuceLRVU.h"
#include "OVRAJuceVU.h"
#include "OVRAVectroscope.h"
#include "OvrajuceLoudnessAudioProcessor.h"
#include "TestSignals.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace
{
constexpr double tickMs = 50.0;
constexpr int numTicks = 400;
constexpr double sampleRate = 48000.0;

juce::Image picture (const void* data, int size) { return juce::ImageCache::getFromMemory (data, size); }

/** Every meter and scope of the meter view, where the editor puts them. */
struct MeterView : juce::Component
{
    explicit MeterView (ScopeFeed& feed)
        : momentary (picture (BinaryData::blackMomentaryVU_png, BinaryData::blackMomentaryVU_pngSize),
                     picture (BinaryData::blueMomentaryVU_png, BinaryData::blueMomentaryVU_pngSize))
        , range (picture (BinaryData::blackRangeVU_png, BinaryData::blackRangeVU_pngSize),
                 picture (BinaryData::blueRangeVU_png, BinaryData::blueRangeVU_pngSize))
        , arrow (picture (BinaryData::blackArrowVU_png, BinaryData::blackArrowVU_pngSize),
                 picture (BinaryData::LoudnessArrowBlue_png, BinaryData::LoudnessArrowBlue_pngSize))
        , soundField (juce::Colours::black, juce::Colour (0xfff5f5f5), juce::Colour (0xff81ca2f),
                      juce::Colour (0xffd70014), juce::Font (14.0f))
        , vectroscope (&feed, juce::Colour (0xff81ca2f), juce::Colours::white, juce::Colours::black)
    {
        setSize (1024, 768);

        for (auto* meter : std::initializer_list<juce::Component*> { &momentary, &range, &arrow, &soundField,
                                                                     &vectroscope })
            addAndMakeVisible (meter);

        momentary.setBounds (67, 150, 34, 483);
        range.setBounds (137, 152, 22, 483);
        arrow.setBounds (161, 152, 24, 483);

        const auto truePeakFace = picture (BinaryData::blackTPVU_png, BinaryData::blackTPVU_pngSize);
        const int truePeakX[] = { 66, 106, 146, 185, 225, 265 };

        for (int k = 0; k < 6; ++k)
        {
            auto& bar = *truePeaks.emplace_back (std::make_unique<OVRAJuceVU> (
                truePeakFace, juce::Colour (0xff81ca2f), juce::Colour (0xffd70014), 0.5f));
            bar.setAttack (0.0001f);
            bar.setReleaseTime (0.0002f);
            bar.setBallistics (true);
            bar.setSampleRate (sampleRate);
            addAndMakeVisible (bar);
            bar.setBounds (300 + truePeakX[k], 150, 20, 480);
        }

        const juce::Rectangle<int> correlationBounds[] = { { 4, 355, 292, 37 },   { 4, 390, 130, 37 },
                                                           { 166, 390, 130, 37 }, { 4, 425, 292, 37 },
                                                           { 4, 460, 130, 37 },   { 166, 460, 130, 37 } };
        const char* names[][2] = { { "L", "R" },   { "L", "C" },  { "R", "C" },
                                   { "LS", "RS" }, { "L", "LS" }, { "R", "RS" } };

        for (int k = 0; k < 6; ++k)
        {
            auto& meter = *correlations.emplace_back (std::make_unique<OVRACorrelationMeter> (
                correlationBounds[k].getWidth(), juce::Colours::black, juce::Colour (0xffff0000),
                juce::Colour (0xff81ca2f), juce::Colour (0xffffff00), juce::Colour (0xff979797),
                juce::Font (14.0f), names[k][0], names[k][1]));
            meter.setAttack (0.0001f);
            meter.setReleaseTime (k == 3 ? 0.0004f : 0.0002f);
            meter.setSampleRate (sampleRate);
            addAndMakeVisible (meter);
            meter.setBounds (correlationBounds[k].translated (700, 140));
        }

        soundField.setBounds (709, 155, 283, 283);
        soundField.setScale (4);
        soundField.setAlarmLevel (-1.0f);
        soundField.setAttack (0.0001f);
        soundField.setReleaseTime (0.0002f);
        soundField.setSampleRate (sampleRate);

        vectroscope.setBounds (709, 146, 283, 283);
        vectroscope.setYChannel ("L");
        vectroscope.setXChannel ("R");
    }

    /** What the editor's timer hands the meters on one tick. */
    void feed (int tick)
    {
        const auto wave = [tick] (double phase) {
            return (float) (0.5 + 0.45 * std::sin (tick * 0.21 + phase));
        };

        momentary.setLevel (wave (0.0));
        range.setRange (wave (1.0) * 0.5f, 0.5f + wave (2.0) * 0.5f);
        arrow.setLevel (wave (3.0));

        for (size_t k = 0; k < truePeaks.size(); ++k)
            truePeaks[k]->setLevel (wave ((double) k));

        for (size_t k = 0; k < correlations.size(); ++k)
            correlations[k]->setValue (wave ((double) k) * 2.0f - 1.0f);

        soundField.setLevels (wave (0.0), wave (1.0), wave (2.0), 0.0f, wave (3.0), wave (4.0));
        soundField.pushLevels();
        vectroscope.refresh();
    }

    OVRAJuceVU momentary;
    OVRAJuceLRVU range;
    OVRAJuceArrowVU arrow;
    std::vector<std::unique_ptr<OVRAJuceVU>> truePeaks;
    std::vector<std::unique_ptr<OVRACorrelationMeter>> correlations;
    OVRADrawVectorscope soundField;
    OVRAVectroscope vectroscope;
};
} // namespace

int main()
{
    juce::ScopedJuceInitialiser_GUI framework;

    // A real processor fills the scope feed, which the vectroscope reads at
    // each tick, as the editor has it, so that its trail is full when painted.
    OvrajuceLoudnessAudioProcessor processor;
    processor.setPlayConfigDetails (6, 6, sampleRate, 512);
    processor.setInputLayout (ChannelLayout::fromText ("0;1;2;3;4;5;"));
    processor.prepareToPlay (sampleRate, 512);

    MeterView view (processor.scopeFeed);

    juce::AudioBuffer<float> block (6, 512);
    juce::MidiBuffer midi;
    TestSignals::PinkNoise noise;
    juce::Image image (juce::Image::RGB, view.getWidth(), view.getHeight(), true, juce::SoftwareImageType());

    double paintSeconds = 0.0;

    for (int tick = 0; tick < numTicks; ++tick)
    {
        // 50 ms of audio per tick, as a device would deliver it.
        for (int i = 0; i < 5; ++i)
        {
            for (int c = 0; c < 6; ++c)
                for (int s = 0; s < block.getNumSamples(); ++s)
                    block.setSample (c, s, noise.next (0.4f));

            processor.processBlock (block, midi);
        }

        const auto start = std::chrono::steady_clock::now();
        view.feed (tick);
        {
            juce::Graphics g (image);
            view.paintEntireComponent (g, false);
        }
        paintSeconds += std::chrono::duration<double> (std::chrono::steady_clock::now() - start).count();
    }

    processor.releaseResources();

    const double msPerTick = paintSeconds * 1000.0 / numTicks;
    std::printf (
        "Painting every meter and scope of the meter view, whole, at the editor's sizes (%d ticks)\n",
        numTicks);
    std::printf ("  per tick        %.3f ms\n", msPerTick);
    std::printf ("  share of 50 ms  %.1f %%   (goal: under 2 ms, 4 %%)\n", msPerTick / tickMs * 100.0);
    return 0;
}
