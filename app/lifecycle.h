#pragma once

// How the program ends: once an exit path has saved, nothing else may save again and every loop
// that pumps messages stops at its next step, so the program ends at once.
namespace app {

// True once an exit path has begun.
bool isEnding();

// Closes the settings for the rest of the run (the exit path has just saved) and ends the program:
// the windows go without their close handlers, timers stop, the connection is dropped.
void endProgram(int exitCode = 0);

// True once endProgram() ran; the store then ignores further saves.
bool saveIsClosed();

// Test seam: for tests that end the program and go on in the same process.
void resetEnding();

} // namespace app
