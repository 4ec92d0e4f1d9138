// RSA signature check of the updater's info file.
#pragma once

#include <cstdint>

// The public key built into this program: the 128-byte modulus, most
// significant byte first, followed by the exponent bytes 0x01 0x00 0x01.
// Generated at configure time from HORLIX_PUBLIC_KEY_FILE.
extern const unsigned char HorlixPublicKey[131];

// 0 when sigHex (hexadecimal text; other characters are skipped) is a valid
// signature over the 16-byte digest under the built-in key, 1 otherwise.
int32_t VerifySignature(const char *sigHex, const unsigned char digest[16]);

// The same check under a given key laid out like HorlixPublicKey.
int32_t VerifySignatureWithKey(const char *sigHex, const unsigned char digest[16],
                               const unsigned char key[131]);
