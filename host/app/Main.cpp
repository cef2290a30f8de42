// The process entry of the standalone meter; kept out of the host library so
// that the tests can link the library without a second main.
#include "ZEL5_1StandExtApplication.h"

START_JUCE_APPLICATION (ZEL5_1StandExtApplication)
