// Owner of the precompiled JUCE headers that the subsystem libraries share;
// it has no code of its own.
