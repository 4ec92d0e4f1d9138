// The maker's RSA private key as horlix-sign reads it.
#pragma once

#include <cstddef>
#include <cstdint>

// A 1024-bit RSA key with the public exponent 65537, the only kind the
// updater can check: the modulus in the layout of the updater's built-in key
// (128 bytes, most significant first, then 0x01 0x00 0x01) and the private
// exponent as 128 big-endian bytes.
struct SignKey {
    unsigned char publicKey[131];
    unsigned char privateExponent[128];
};

// Parses a PEM private key: PKCS #8 ("BEGIN PRIVATE KEY", what
// `openssl genrsa 1024` writes) or PKCS #1 ("BEGIN RSA PRIVATE KEY"),
// unencrypted, the only PEM block of the text.
// Returns 0 and fills key, or -1 with a reason in err (always terminated).
int32_t ParseSignKeyPem(const char *pem, size_t len, SignKey *key, char *err, size_t errSize);

// Reads the key file at path (at most 16 KiB) with ParseSignKeyPem: the one
// way horlix-sign and horlix-keycheck read a maker's key.
int32_t ReadSignKeyFile(const char *path, SignKey *key, char *err, size_t errSize);

// Overwrites a key (or any buffer that held key material) with zeros.
void WipeSecret(void *p, size_t len);
