#pragma once

/** The smoothing that the level bars, the correlation meters and the sound
    field share: an attack weight, a release coefficient worked out from the
    release time and the sample rate, and the two stages that take a meter's
    value towards a new input. The per-value state (the envelope and the
    shown value) stays with the meter. Message thread only, like the meters.

        MeterBallistics ballistics { true, 0.0 };
        ballistics.setAttack (0.0001f);
        ballistics.setReleaseTime (0.0002f);
        ballistics.setSampleRate (48000.0);
        level = ballistics.follow (input, envelope, level);
*/
class MeterBallistics
{
public:
    MeterBallistics (bool enabled, double sampleRate) noexcept;

    //==============================================================================
    /** The attack is a plain weight, 0 .. 1; see follow and followField. */
    void setAttack (float newAttack) noexcept { attack = newAttack; }
    void setReleaseTime (float seconds) noexcept;
    void setSampleRate (double rate) noexcept;
    /** Off, every input is taken as it is. */
    void setEnabled (bool on) noexcept { enabled = on; }

    double getSampleRate() const noexcept { return sampleRate; }

    //==============================================================================
    /** A new value counts as a change when |old - new| > |old| x 1e-8. */
    static bool differs (float stored, float value) noexcept;

    /** The bars' and the correlation meters' step. An input that differs from
        the current value goes through an envelope that follows a rise at once
        and falls by the release coefficient; the value then steps towards the
        envelope, attack being the current value's weight. Returns the new value. */
    float follow (float input, float& envelope, float current) const noexcept;

    /** The sound field's step: the envelope falls back to the input at once
        while the current value lies above the released envelope, and attack
        weights the input rather than the current value. Returns the new value. */
    float followField (float input, float& envelope, float current) const noexcept;

private:
    /** (1 - c) x input + c x envelope: the first stage of both steps. */
    float released (float input, float envelope) const noexcept;
    void updateReleaseCoefficient() noexcept;

    float attack = 0.0f;
    float releaseTime = 0.0f;
    double sampleRate;
    float releaseCoefficient = 0.0f;
    bool enabled;
};
