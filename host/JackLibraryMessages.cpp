#include "JackLibraryMessages.h"

#include <dlfcn.h>

namespace
{
void drop (const char*) {}
} // namespace

void JackLibraryMessages::silence()
{
    // The names the framework loads it by, in its order. Never closed: the
    // setting lives in the library and must outlast this call.
    auto* library = dlopen ("libjack.so.0", RTLD_LAZY);

    if (library == nullptr)
        library = dlopen ("libjack.so", RTLD_LAZY);

    if (library == nullptr)
        return;

    using SetMessageFunction = void (*) (void (*) (const char*));

    for (auto* name : { "jack_set_error_function", "jack_set_info_function" })
        if (auto set = (SetMessageFunction) dlsym (library, name))
            set (drop);
}
