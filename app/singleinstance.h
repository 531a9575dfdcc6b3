#pragma once

namespace app {

// True when another instance of the program runs for this user. The first caller keeps a lock
// for the rest of its run; the lock goes with the process, however it ends.
bool anotherInstanceRunning();

// "Already running" message; returns when the user has closed it.
void showAlreadyRunningMessage();

// Test seam: drops this process's lock, for tests that start the program twice in one process.
void releaseInstanceLock();

} // namespace app
