#pragma once

#include <QString>

#include <span>

// Keyless substitution that keeps the stored password from being read at a glance. Every table
// character becomes a fixed three-character code; both directions pump messages as they go.
// A character without a code is stored as grave accent, the character, grave accent; no code starts
// with a grave accent, so such an escape is never mistaken for a code.
namespace Encrypt {

struct CodeEntry {
    char16_t plain;
    char code[4]; // three printable ASCII characters and the terminating zero
};

// The fixed table in search order: a-z, 1-9 and 0, A-Z, then punctuation ending with the space.
std::span<const CodeEntry> codeTable();

QString EncodePassword(const QString& plain);
QString DecodePassword(const QString& stored);

} // namespace Encrypt
