#include "VectorPath.h"

#include <cstdlib>
#include <cstring>

namespace
{
bool detectAvx() noexcept
{
    // Needed before any constructor has run the compiler's own detection.
    __builtin_cpu_init();

    const char* forced = std::getenv ("ZELX_NO_AVX");

    if (forced != nullptr && std::strcmp (forced, "1") == 0)
        return false;

    return __builtin_cpu_supports ("avx") != 0;
}
} // namespace

// Set at static initialisation, so that the audio thread never runs the
// detection or waits on a guarded local.
const bool VectorPath::avx = detectAvx();
