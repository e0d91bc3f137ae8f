#pragma once
// The table password's encoded form: a self-inverse substitution table built from a fixed seed, a
// salted chained cipher over it, and a printable form of byte blocks in characters 0x21 to 0x60.
#include <QByteArray>

namespace kvt::crypto {

/// The process-wide pseudo-random generator (state 1 at start).
void rndSeed(int seed);
int rndNext();

/// Fills table (256 bytes) with a permutation that is its own inverse, drawn from seed.
void keyTableInit(unsigned char *table, int seed);
/// The seed of the program's key table.
int keySeed();

/// The byte block a printable form carries; bad characters are reported and decoding goes on.
QByteArray printableDecode(const QByteArray &text);
/// The printable form of a byte block.
QByteArray printableEncode(const QByteArray &block);

/// Deciphers an n-byte block in place: the first n - 1 bytes become the plain text, then a zero.
void cipherDecode(unsigned char *block, int n, const unsigned char *table);
/// Enciphers plain with a salt (0..255): L + 1 bytes.
QByteArray cipherEncode(const QByteArray &plain, int salt, const unsigned char *table);

/// The plain text of a stored form.
QByteArray cryptDecode(const QByteArray &stored, const unsigned char *table);
/// The stored form of plain: printable form of its enciphered block.
QByteArray storedFormEncode(const QByteArray &plain, int salt, const unsigned char *table);

/// The stored form of the password that protects the tables (13 characters).
const char *builtInPassword();

/// Set at start; cleared once the built-in password has been handed to the session.
bool &oneShotFlag();

/// Overwrites a buffer that held a decoded password.
void wipe(QByteArray &secret);

} // namespace kvt::crypto
