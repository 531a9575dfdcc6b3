#pragma once

#include <QByteArray>
#include <QStringList>

// Every knob that only the test suite and the benchmarks turn, as environment variables. Unset, the
// program behaves as shipped. They are in the shipped binary too (one of them moves TLS to another
// port), so start-up names any that is set on standard error.
//
//   VURK_TEST_CHECK_INTERVAL_MS        the check timer's period while checking runs (60000)
//   VURK_TEST_CONVERSATION_TIMEOUT_MS  how long one check may take from connect to result (30000)
//   VURK_TEST_TLS_PORT                 the port that is encrypted from the first byte (995)
//   VURK_TEST_STATUS_FILE              a file that every result line is appended to (none)
//   VURK_TEST_KEYRING_WAIT_MS          how long a check and the account window's OK wait for the
//                                      keyring (10000)
//   VURK_TEST_TOKEN_COMMAND_MS         how long the token command may run (10000)
//   VURK_TEST_ONLINE_ACCOUNTS_WAIT_MS  how long each call to GNOME Online Accounts may take (5000)
namespace app::seams {

int checkIntervalMs();
int conversationTimeoutMs();
int implicitTlsPort();
QByteArray statusFile();
int keyringWaitMs();
int tokenCommandMs();
int onlineAccountsWaitMs();

// The knobs set in this process's environment, by name.
QStringList activeKnobs();
// One line on standard error when any knob is set; nothing otherwise.
void announceActiveKnobs();

} // namespace app::seams
