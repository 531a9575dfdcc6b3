#pragma once

#include <functional>

// The program's own entry and the operations that move settings between the windows and the store.
namespace Module1 {

// Start-up: refuses a second instance (false: the program must end now), creates the windows,
// fills them from the store, shows the notifier and starts the first check.
bool Main();
// The services that follow the checks: the alerts at once (nothing has been checked before the
// event loop runs), the recheck watcher once the notifier has been painted, so that it never holds
// up its first appearance.
void watchAfterFirstPaint();
// The beep and the desktop notification, listening to the account window's count. beep: what a beep
// does, the desktop's event sound when empty (test seam: tests count them). Connecting again
// replaces the earlier ones.
void connectAlerts(std::function<void()> beep = {});

// Saves account, position and switches, refreshing the hidden position fields; closes the socket.
void SaveSettings();
// The same save at the program's end; the hidden position fields are left alone.
void SaveSettingsOnExit();
// Replaces the stored password form in Form1.Text3 by the plain password.
void DecodePasswordField();

} // namespace Module1
