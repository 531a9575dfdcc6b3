#pragma once

#include <thread>

namespace app {

// Loads the system's font configuration on a thread of its own while the application connects to the
// display; join() waits for it before anything can need a font.
class FontWarmUp {
public:
    FontWarmUp();
    void join();

private:
    std::jthread m_thread;
};

} // namespace app
