#pragma once

// The end of the user's session. A log-off or shutdown reaches the program as the session manager's
// save request or as SIGTERM or SIGHUP, Ctrl-C as SIGINT: each saves the settings once and ends
// the program cleanly, as closing the notifier at log-off does.
namespace app {

// Starts listening; call once the application object exists. Until startUpFinished() a
// termination signal ends the program at once, as it would without this: start-up has changed
// nothing that could be saved yet.
void watchSessionEnd();
void startUpFinished();

// The log-off path: the notifier's close query with the log-off mode saves, then the program
// ends. Does nothing once an exit path has begun, so the settings are saved once.
void endSession();

} // namespace app
