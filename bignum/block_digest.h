// BlockDigest: a 16-byte Davies-Meyer digest on the XXTEA block cipher.
// Each 16-byte message block keys one encryption of the running digest, whose
// output is folded back in with XOR; a final block (the last bytes and an end
// marker 0x80) and a length block (the byte count) close the message.
#pragma once

#include <cstdint>

// Writes the digest of the L bytes at data into out and returns 16. A null
// data pointer counts as the empty message whatever L says.
int32_t BlockDigest(unsigned char out[16], const unsigned char *data, uint32_t L);

// XXTEA encryption of the four-word block v in place under the key k.
int32_t XxteaEncrypt4(uint32_t v[4], const uint32_t k[4]);
