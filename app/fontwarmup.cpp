#include "app/fontwarmup.h"

#include <fontconfig/fontconfig.h>

namespace app {

// Parsing fontconfig's files and opening its caches is the longest single step before the notifier
// can show its text, and its first paint would do it on the main thread. Fontconfig is thread-safe
// and keeps one current configuration, which Qt's font database then finds ready.
FontWarmUp::FontWarmUp() : m_thread([] { FcInit(); }) {}

void FontWarmUp::join()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace app
