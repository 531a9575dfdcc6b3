#pragma once

// The program's own entry and the operations that move settings between the windows and the store.
namespace Module1 {

// Start-up: refuses a second instance (false: the program must end now), creates the windows,
// fills them from the store, shows the notifier and starts the first check.
bool Main();
// What the program needs only after start-up (the watchers for rechecks), once the notifier has
// been painted, so that they never hold up its first appearance.
void watchAfterFirstPaint();

// Saves account, position and switches, refreshing the hidden position fields; closes the socket.
void SaveSettings();
// The same save at the program's end; the hidden position fields are left alone.
void SaveSettingsOnExit();
// Replaces the stored password form in Form1.Text3 by the plain password.
void DecodePasswordField();

} // namespace Module1
