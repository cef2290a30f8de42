#include "Artwork.h"
#include "LoudnessStandard.h"

// clang-format off
// Picture names: b<Control>[Over|Down][On|Disabled]. A state that looks like
// another reuses that picture rather than repeating it ("-": no picture).
//
//   control                    size     normal           over / down               on / over-on                  disabled / disabled-on
//   startButton                100x100  bStart           bStartOver / -            bStartOn / bStartOn           - / -
//   resetButton                100x100  bReset           bResetOver / -            - / -                         - / -
//   settingsButton             100x100  bSettings        bSettingsOver / -         bSettingsOn / -               - / -
//   reportsButton              100x100  bReports         bReportsOver / -          bReportsOn / -                - / -
//   metersButton               100x100  bMeters          bMetersOver / -           bMetersOn / -                 - / -
//   deviceButton               100x100  bDevice          bDeviceOver / -           bDeviceOn / -                 - / -
//   lockButton                 100x100  bLock            - / -                     bUnlock / -                   bLock / -
//   ebu, atsc, aribButton      75x75    bEbu, bAtsc, bArib                         bEbuOn, bAtscOn, bAribOn
//   scaleButtonA, B            75x75    bScale9, bScale18                          bScale9On, bScale18On
//   lufsButton                 75x75    bLufs or bLkfs                             bLufsOn or bLkfsOn            bLkfs / bLkfsOn
//   luButton                   75x75    bLu                                        bLuOn
//   refLevelButtonA, B         75x75    bRef18, bRef20                             bRef18On, bRef20On
//   gatingButton               32x32    bGating          bGatingOver / -           bGatingOn / bGatingOverOn
//   connectButton              110x40   bConnect         bConnectOver / -          bConnectOn / bConnectOverOn
//   passwordButton             110x40   bSave            bSaveOver / -
//   fiveOneButton              124x60   b5_1             - / -                     b5_1On / -                    b5_1Disabled / b5_1Disabled
//   stereoButton               124x60   bStereo          - / -                     bStereoOn / -                 bStereoDisabled / bStereoDisabled
//   alarm and overload lamps   20x9     bLamp            - / -                     bLampOn / -                   bLamp / -
//   soundFieldSourceSwitch     51x20    bSourceSwitch    bSourceSwitchOver / -     bSourceSwitchOn / bSourceSwitchOverOn
//   report browse button       82x30    bBrowse          - / bBrowseDown
//   report name button         82x30    bLogName         - / bLogNameDown
//   report switches            41x16    bReportSwitch                              bReportSwitchOn
//   read-out, momentary and true-peak boxes: readoutBox 76x86, momentaryBox 100x60, truePeakBox 48x60
//   the maker's logo: logo 117x37
// clang-format on

namespace
{
// Colours that only the buttons use.
const juce::Colour darkerGreyTile { 0xff2a3036 }; // a dark-grey control under the pointer
const juce::Colour greyedTile { 0xff4f5e6c };     // a control that cannot be used
const juce::Colour greyedText { 0x80ffffff };
const juce::Colour tickGreen { 0xff81ca2f };
const juce::Colour stopRed { 0xffd70014 };
const juce::Colour lampDark { 0xff4a0a10 };
const juce::Colour lampBright { 0xffff1f2e };
const juce::Colour boxFill { 0xff1d2731 };
const juce::Colour boxLine { 0xff2c3a48 };

using Draw = std::function<void (juce::Graphics&, const ArtworkStyle&)>;

void caption (juce::Graphics& g, const ArtworkStyle& style, const juce::String& text,
              juce::Rectangle<float> area, float height, juce::Colour colour)
{
    g.setColour (colour);
    g.setFont (style.font (height));
    g.drawFittedText (text, area.toNearestInt(), juce::Justification::centred, 2, 1.0f);
}

void strokeRound (juce::Graphics& g, const juce::Path& path, float thickness)
{
    g.strokePath (
        path, juce::PathStrokeType (thickness, juce::PathStrokeType::curved, juce::PathStrokeType::rounded));
}

// The symbols, each drawn in a square area in the current colour.

void play (juce::Graphics& g, juce::Rectangle<float> a)
{
    juce::Path p;
    const auto r = a.reduced (a.getWidth() * 0.18f);
    p.addTriangle (r.getX() + r.getWidth() * 0.12f, r.getY(), r.getX() + r.getWidth() * 0.12f, r.getBottom(),
                   r.getRight(), r.getCentreY());
    g.fillPath (p);
}

void pause (juce::Graphics& g, juce::Rectangle<float> a)
{
    const auto r = a.reduced (a.getWidth() * 0.2f);
    const auto bar = r.getWidth() * 0.32f;
    g.fillRoundedRectangle (r.withWidth (bar), 1.5f);
    g.fillRoundedRectangle (r.withTrimmedLeft (r.getWidth() - bar), 1.5f);
}

void arrowHead (juce::Path& p, juce::Point<float> tip, float angle, float size)
{
    juce::Path head;
    head.addTriangle (0.0f, -size, size * 0.9f, size * 0.6f, -size * 0.9f, size * 0.6f);
    p.addPath (head, juce::AffineTransform::rotation (angle).translated (tip));
}

void circularArrows (juce::Graphics& g, juce::Rectangle<float> a)
{
    const auto c = a.getCentre();
    const auto radius = a.getWidth() * 0.34f;
    const auto gap = 0.45f;
    juce::Path arcs, heads;
    for (int half = 0; half < 2; ++half)
    {
        const auto start = (float) half * juce::MathConstants<float>::pi + gap;
        const auto end = start + juce::MathConstants<float>::pi - 2.0f * gap;
        arcs.addCentredArc (c.x, c.y, radius, radius, 0.0f, start, end, true);
        const auto tip = c.getPointOnCircumference (radius, end + 0.25f);
        arrowHead (heads, tip, end + juce::MathConstants<float>::halfPi + 0.25f, a.getWidth() * 0.11f);
    }
    strokeRound (g, arcs, a.getWidth() * 0.08f);
    g.fillPath (heads);
}

void gear (juce::Graphics& g, juce::Rectangle<float> a)
{
    const auto c = a.getCentre();
    const auto outer = a.getWidth() * 0.46f, inner = a.getWidth() * 0.34f;
    constexpr int teeth = 8;
    juce::Path p;
    for (int i = 0; i < teeth * 4; ++i)
    {
        // Each tooth: rise, top, fall, root; the top a little narrower than the root.
        const auto step = juce::MathConstants<float>::twoPi / (float) (teeth * 4);
        const auto angle = (float) i * step + ((i % 4 == 1) ? 0.12f : (i % 4 == 2) ? -0.12f : 0.0f);
        const auto radius = (i % 4 == 1 || i % 4 == 2) ? outer : inner;
        const auto point = c.getPointOnCircumference (radius, angle);
        if (i == 0)
            p.startNewSubPath (point);
        else
            p.lineTo (point);
    }
    p.closeSubPath();
    p.addEllipse (juce::Rectangle<float> (a.getWidth() * 0.3f, a.getWidth() * 0.3f).withCentre (c));
    p.setUsingNonZeroWinding (false);
    g.fillPath (p);
}

void lineChart (juce::Graphics& g, juce::Rectangle<float> a)
{
    const auto r = a.reduced (a.getWidth() * 0.08f);
    const auto t = a.getWidth() * 0.07f;
    juce::Path axes;
    axes.startNewSubPath (r.getTopLeft());
    axes.lineTo (r.getBottomLeft());
    axes.lineTo (r.getBottomRight());
    strokeRound (g, axes, t);
    juce::Path line;
    const float xs[] = { 0.14f, 0.34f, 0.52f, 0.72f, 0.95f };
    const float ys[] = { 0.72f, 0.42f, 0.58f, 0.2f, 0.34f };
    for (size_t i = 0; i < std::size (xs); ++i)
    {
        const juce::Point<float> point (r.getX() + r.getWidth() * xs[i], r.getY() + r.getHeight() * ys[i]);
        if (i == 0)
            line.startNewSubPath (point);
        else
            line.lineTo (point);
    }
    g.strokePath (line,
                  juce::PathStrokeType (t, juce::PathStrokeType::mitered, juce::PathStrokeType::rounded));
}

void barGraph (juce::Graphics& g, juce::Rectangle<float> a)
{
    const auto r = a.reduced (a.getWidth() * 0.1f);
    const float heights[] = { 0.45f, 0.8f, 0.6f, 1.0f };
    const auto slot = r.getWidth() / 4.0f;
    for (int i = 0; i < 4; ++i)
    {
        const auto h = r.getHeight() * heights[i];
        g.fillRect (juce::Rectangle<float> (r.getX() + slot * (float) i + slot * 0.15f, r.getBottom() - h,
                                            slot * 0.7f, h));
    }
}

void loudspeaker (juce::Graphics& g, juce::Rectangle<float> a)
{
    const auto w = a.getWidth();
    const auto x = a.getX(), cy = a.getCentreY();
    juce::Path body;
    body.startNewSubPath (x + w * 0.06f, cy - w * 0.14f);
    body.lineTo (x + w * 0.24f, cy - w * 0.14f);
    body.lineTo (x + w * 0.5f, cy - w * 0.38f);
    body.lineTo (x + w * 0.5f, cy + w * 0.38f);
    body.lineTo (x + w * 0.24f, cy + w * 0.14f);
    body.lineTo (x + w * 0.06f, cy + w * 0.14f);
    body.closeSubPath();
    g.fillPath (juce::Path (body).createPathWithRoundedCorners (1.5f));
    juce::Path waves;
    for (const auto radius : { 0.2f, 0.36f })
        waves.addCentredArc (x + w * 0.52f, cy, w * radius, w * radius, 0.0f, 0.75f,
                             juce::MathConstants<float>::pi - 0.75f, true);
    strokeRound (g, waves, w * 0.07f);
}

void padlock (juce::Graphics& g, juce::Rectangle<float> a, bool open, juce::Colour tile)
{
    const auto w = a.getWidth();
    const auto body =
        juce::Rectangle<float> (w * 0.7f, w * 0.5f).withCentre ({ a.getCentreX(), a.getY() + w * 0.7f });
    const auto shackleWidth = w * 0.44f;
    const auto left = body.getCentreX() - shackleWidth / 2.0f, right = left + shackleWidth;
    const auto top = a.getY() + w * 0.06f, bend = top + shackleWidth / 2.0f;
    juce::Path shackle;
    // An open shackle is lifted clear of the body on its left leg.
    shackle.startNewSubPath (left, open ? bend + w * 0.04f : body.getY());
    shackle.lineTo (left, bend);
    shackle.addCentredArc (body.getCentreX(), bend, shackleWidth / 2.0f, shackleWidth / 2.0f, 0.0f,
                           -juce::MathConstants<float>::halfPi, juce::MathConstants<float>::halfPi);
    shackle.lineTo (right, body.getY());
    const auto lift = open ? -w * 0.1f : 0.0f;
    g.strokePath (shackle, juce::PathStrokeType (w * 0.09f), juce::AffineTransform::translation (0.0f, lift));
    g.fillRoundedRectangle (body, w * 0.06f);
    g.setColour (tile);
    const auto hole = body.getCentre().translated (0.0f, -w * 0.04f);
    g.fillEllipse (juce::Rectangle<float> (w * 0.12f, w * 0.12f).withCentre (hole));
    g.fillRect (juce::Rectangle<float> (w * 0.05f, w * 0.14f).withCentre (hole.translated (0.0f, w * 0.07f)));
}

void tick (juce::Graphics& g, juce::Rectangle<float> a, float thickness)
{
    juce::Path p;
    p.startNewSubPath (a.getX() + a.getWidth() * 0.1f, a.getY() + a.getHeight() * 0.55f);
    p.lineTo (a.getX() + a.getWidth() * 0.4f, a.getY() + a.getHeight() * 0.82f);
    p.lineTo (a.getX() + a.getWidth() * 0.9f, a.getY() + a.getHeight() * 0.2f);
    g.strokePath (
        p, juce::PathStrokeType (thickness, juce::PathStrokeType::mitered, juce::PathStrokeType::rounded));
}

void arrow (juce::Graphics& g, juce::Rectangle<float> a)
{
    juce::Path p;
    p.startNewSubPath (a.getX() + a.getWidth() * 0.1f, a.getCentreY());
    p.lineTo (a.getRight() - a.getWidth() * 0.15f, a.getCentreY());
    strokeRound (g, p, a.getWidth() * 0.14f);
    juce::Path head;
    head.startNewSubPath (a.getX() + a.getWidth() * 0.5f, a.getY() + a.getHeight() * 0.2f);
    head.lineTo (a.getRight() - a.getWidth() * 0.1f, a.getCentreY());
    head.lineTo (a.getX() + a.getWidth() * 0.5f, a.getBottom() - a.getHeight() * 0.2f);
    g.strokePath (head, juce::PathStrokeType (a.getWidth() * 0.14f, juce::PathStrokeType::mitered,
                                              juce::PathStrokeType::rounded));
}

void stopSquare (juce::Graphics& g, juce::Rectangle<float> a)
{
    g.fillRoundedRectangle (a.reduced (a.getWidth() * 0.2f), 1.5f);
}

// The pictures.

using Symbol = std::function<void (juce::Graphics&, juce::Rectangle<float>, juce::Colour tile)>;

/** A 100 x 100 view tile: symbol above, caption below; an active view is
    marked by a light bar along the bottom edge. */
Draw bigTile (bool dark, bool active, Symbol symbol, juce::String text)
{
    return [=] (juce::Graphics& g, const ArtworkStyle& style) {
        const auto tile = dark ? style.darkTile : style.lightTile;
        g.fillAll (tile);
        g.setColour (style.symbol);
        symbol (g, { 32.0f, 18.0f, 36.0f, 36.0f }, tile);
        // Long captions wrap to a second line rather than shrink.
        g.setColour (style.symbol);
        g.setFont (style.font (13.0f));
        g.drawFittedText (text, { 6, 64, 88, 32 }, juce::Justification::centredTop, 2, 1.0f);
        if (active)
        {
            g.setColour (style.lightTile);
            g.fillRect (0, 96, 100, 4);
        }
    };
}

Symbol plain (void (*symbol) (juce::Graphics&, juce::Rectangle<float>))
{
    return [symbol] (juce::Graphics& g, juce::Rectangle<float> a, juce::Colour) { symbol (g, a); };
}

Draw captionTile (bool dark, juce::String text, float height, int width, int heightPx)
{
    return [=] (juce::Graphics& g, const ArtworkStyle& style) {
        g.fillAll (dark ? style.darkTile : style.lightTile);
        caption (g, style, text, { 0.0f, 0.0f, (float) width, (float) heightPx }, height, style.symbol);
    };
}

Draw greyedCaptionTile (juce::String text, float height, int width, int heightPx)
{
    return [=] (juce::Graphics& g, const ArtworkStyle& style) {
        g.fillAll (greyedTile);
        caption (g, style, text, { 0.0f, 0.0f, (float) width, (float) heightPx }, height, greyedText);
    };
}

/** A 110 x 40 dark-grey action tile: caption with a symbol on its right. */
Draw actionTile (bool over, juce::String text,
                 std::function<void (juce::Graphics&, juce::Rectangle<float>)> symbol,
                 juce::Colour symbolColour)
{
    return [=] (juce::Graphics& g, const ArtworkStyle& style) {
        g.fillAll (over ? darkerGreyTile : style.darkGreyTile);
        caption (g, style, text, { 14.0f, 0.0f, 60.0f, 40.0f }, 19.0f, style.symbol);
        g.setColour (symbolColour);
        symbol (g, { 74.0f, 10.0f, 20.0f, 20.0f });
    };
}

Draw gatingBox (bool over, bool ticked)
{
    return [=] (juce::Graphics& g, const ArtworkStyle& style) {
        g.setColour (over ? darkerGreyTile : style.darkGreyTile);
        g.fillRoundedRectangle (0.0f, 0.0f, 32.0f, 32.0f, 3.0f);
        if (ticked)
        {
            g.setColour (tickGreen);
            tick (g, { 6.0f, 6.0f, 20.0f, 20.0f }, 3.5f);
        }
    };
}

Draw lamp (bool lit)
{
    return [=] (juce::Graphics& g, const ArtworkStyle&) {
        g.setColour (lit ? lampBright : lampDark);
        g.fillRoundedRectangle (0.0f, 0.0f, 20.0f, 9.0f, 1.5f);
        g.setColour (juce::Colours::white.withAlpha (lit ? 0.35f : 0.08f));
        g.fillRect (2.0f, 1.0f, 16.0f, 1.0f);
    };
}

/** A slide switch: a rounded track with the knob at the left (off) or right (on). */
Draw slideSwitch (int width, int height, bool on, bool over)
{
    return [=] (juce::Graphics& g, const ArtworkStyle& style) {
        const auto track = juce::Rectangle<float> ((float) width, (float) height).reduced (1.0f);
        const auto radius = track.getHeight() / 2.0f;
        auto fill = on ? style.lightTile : style.darkGreyTile;
        g.setColour (over ? fill.brighter (0.25f) : fill);
        g.fillRoundedRectangle (track, radius);
        const auto knob = track.reduced (2.0f);
        const auto diameter = knob.getHeight();
        g.setColour (on ? style.symbol : juce::Colour (0xffd8d8d8));
        g.fillEllipse (on ? knob.getRight() - diameter : knob.getX(), knob.getY(), diameter, diameter);
    };
}

/** A read-out box: dark blue-grey with a fine diagonal weave and a hairline frame. */
Draw patternedBox (int width, int height)
{
    return [=] (juce::Graphics& g, const ArtworkStyle&) {
        g.fillAll (boxFill);
        g.setColour (juce::Colours::white.withAlpha (0.05f));
        for (int d = -height; d < width; d += 4)
            g.drawLine ((float) d, (float) height, (float) (d + height), 0.0f, 1.0f);
        g.setColour (boxLine);
        g.drawRect (0, 0, width, height, 1);
    };
}

void logo (juce::Graphics& g, const ArtworkStyle& style)
{
    // Three rising bars, the last in the product's blue, then the name.
    const float heights[] = { 12.0f, 19.0f, 26.0f };
    for (int i = 0; i < 3; ++i)
    {
        g.setColour (i == 2 ? style.lightTile : style.symbol);
        g.fillRect (juce::Rectangle<float> (2.0f + 8.0f * (float) i, 31.0f - heights[i], 5.0f, heights[i]));
    }
    g.setColour (style.symbol);
    g.setFont (style.font (30.0f));
    g.drawText ("Tamvo", juce::Rectangle<float> (30.0f, 0.0f, 87.0f, 37.0f), juce::Justification::centredLeft,
                false);
}

} // namespace

std::vector<Picture> makeButtonPictures()
{
    std::vector<Picture> pictures;
    const auto add = [&pictures] (juce::String name, int width, int height, Draw draw) {
        pictures.push_back ({ std::move (name), width, height, std::move (draw) });
    };

    const auto padlockOpen = [] (juce::Graphics& g, juce::Rectangle<float> a, juce::Colour tile) {
        padlock (g, a, true, tile);
    };
    const auto padlockClosed = [] (juce::Graphics& g, juce::Rectangle<float> a, juce::Colour tile) {
        padlock (g, a, false, tile);
    };

    add ("bStart", 100, 100, bigTile (false, false, plain (play), "PLAY / STOP"));
    add ("bStartOver", 100, 100, bigTile (true, false, plain (play), "PLAY / STOP"));
    add ("bStartOn", 100, 100, bigTile (true, false, plain (pause), "PLAY / STOP"));
    add ("bReset", 100, 100, bigTile (false, false, plain (circularArrows), "RESET"));
    add ("bResetOver", 100, 100, bigTile (true, false, plain (circularArrows), "RESET"));

    struct View
    {
        const char* name;
        void (*symbol) (juce::Graphics&, juce::Rectangle<float>);
        const char* text;
    };
    const View views[] = { { "bSettings", gear, "SETTINGS" },
                           { "bReports", lineChart, "LOG" },
                           { "bMeters", barGraph, "METER" },
                           { "bDevice", loudspeaker, "AUDIO SETTINGS" } };
    for (const auto& view : views)
    {
        const juce::String name (view.name);
        add (name, 100, 100, bigTile (false, false, plain (view.symbol), view.text));
        add (name + "Over", 100, 100, bigTile (true, false, plain (view.symbol), view.text));
        add (name + "On", 100, 100, bigTile (true, true, plain (view.symbol), view.text));
    }
    add ("bLock", 100, 100, bigTile (false, false, padlockOpen, "LOCK"));
    add ("bUnlock", 100, 100, bigTile (true, false, padlockClosed, "UNLOCK"));

    // The standards' and units' tiles show the words the meter uses for them.
    const auto& standards = LoudnessStandard::all;
    const std::pair<const char*, const char*> settingTiles[] = {
        { "bEbu", standards[LoudnessStandard::ebu].name },
        { "bAtsc", standards[LoudnessStandard::atsc].name },
        { "bArib", standards[LoudnessStandard::arib].name },
        { "bScale9", "+9" },
        { "bScale18", "+18" },
        { "bLufs", standards[LoudnessStandard::ebu].unit },
        { "bLkfs", standards[LoudnessStandard::atsc].unit },
        { "bLu", LoudnessStandard::relativeUnit },
        { "bRef18", "-18" },
        { "bRef20", "-20" },
    };
    for (const auto& [name, text] : settingTiles)
    {
        add (name, 75, 75, captionTile (false, text, 24.0f, 75, 75));
        add (juce::String (name) + "On", 75, 75, captionTile (true, text, 24.0f, 75, 75));
    }

    add ("bGating", 32, 32, gatingBox (false, false));
    add ("bGatingOver", 32, 32, gatingBox (true, false));
    add ("bGatingOn", 32, 32, gatingBox (false, true));
    add ("bGatingOverOn", 32, 32, gatingBox (true, true));

    const auto white = juce::Colours::white;
    const auto tick3 = [] (juce::Graphics& g, juce::Rectangle<float> a) { tick (g, a, 3.0f); };
    add ("bConnect", 110, 40, actionTile (false, "Start", arrow, white));
    add ("bConnectOver", 110, 40, actionTile (true, "Start", arrow, white));
    add ("bConnectOn", 110, 40, actionTile (false, "Stop", stopSquare, stopRed));
    add ("bConnectOverOn", 110, 40, actionTile (true, "Stop", stopSquare, stopRed));
    add ("bSave", 110, 40, actionTile (false, "Save", tick3, tickGreen));
    add ("bSaveOver", 110, 40, actionTile (true, "Save", tick3, tickGreen));

    add ("b5_1", 124, 60, captionTile (false, "5.1", 30.0f, 124, 60));
    add ("b5_1On", 124, 60, captionTile (true, "5.1", 30.0f, 124, 60));
    add ("b5_1Disabled", 124, 60, greyedCaptionTile ("5.1", 30.0f, 124, 60));
    add ("bStereo", 124, 60, captionTile (false, "Downmix\nto Stereo", 17.0f, 124, 60));
    add ("bStereoOn", 124, 60, captionTile (true, "Downmix\nto Stereo", 17.0f, 124, 60));
    add ("bStereoDisabled", 124, 60, greyedCaptionTile ("Downmix\nto Stereo", 17.0f, 124, 60));

    add ("bLamp", 20, 9, lamp (false));
    add ("bLampOn", 20, 9, lamp (true));

    add ("bSourceSwitch", 51, 20, slideSwitch (51, 20, false, false));
    add ("bSourceSwitchOver", 51, 20, slideSwitch (51, 20, false, true));
    add ("bSourceSwitchOn", 51, 20, slideSwitch (51, 20, true, false));
    add ("bSourceSwitchOverOn", 51, 20, slideSwitch (51, 20, true, true));

    const auto reportTile = [] (bool down, juce::String text) -> Draw {
        return [=] (juce::Graphics& g, const ArtworkStyle& style) {
            g.fillAll (down ? darkerGreyTile : style.darkGreyTile);
            caption (g, style, text, { 0.0f, 0.0f, 82.0f, 30.0f }, 16.0f, style.symbol);
        };
    };
    add ("bBrowse", 82, 30, reportTile (false, "Browse"));
    add ("bBrowseDown", 82, 30, reportTile (true, "Browse"));
    add ("bLogName", 82, 30, reportTile (false, "Apply"));
    add ("bLogNameDown", 82, 30, reportTile (true, "Apply"));
    add ("bReportSwitch", 41, 16, slideSwitch (41, 16, false, false));
    add ("bReportSwitchOn", 41, 16, slideSwitch (41, 16, true, false));

    add ("readoutBox", 76, 86, patternedBox (76, 86));
    add ("momentaryBox", 100, 60, patternedBox (100, 60));
    add ("truePeakBox", 48, 60, patternedBox (48, 60));
    add ("logo", 117, 37, logo);
    return pictures;
}
