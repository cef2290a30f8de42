#pragma once

/** Keeps the JACK library's own messages off the terminal. Without a JACK
    server every look for JACK devices (at start, and each second while a
    stopped device is awaited) makes the library print lines of its own
    about sockets and shared memory; the program says itself, in the window
    and on standard error, which device did not open and why.

    Call before the first audio device is opened or listed. The framework
    loads the library when it first lists JACK devices; this loads the same
    one first and keeps it loaded, so that the setting holds.
*/
class JackLibraryMessages
{
public:
    /** Drops the library's error and information messages; does nothing where
        the library is not installed. */
    static void silence();
};
