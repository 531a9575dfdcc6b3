#pragma once

namespace app {

// The whole program: command-line options, start-up and the event loop.
int run(int argc, char *argv[]);

} // namespace app
