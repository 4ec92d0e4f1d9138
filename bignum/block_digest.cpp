// XXTEA (Corrected Block TEA) for four-word blocks and the digest built on it.
#include "bignum/block_digest.h"

#include <cstddef>

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr uint32_t kRounds = 6 + 52 / 4;

inline uint32_t Mx(uint32_t z, uint32_t y, uint32_t sum, uint32_t key) {
    return (((z >> 5) ^ (y << 2)) + ((y >> 3) ^ (z << 4))) ^ ((sum ^ y) + (key ^ z));
}

// The cipher with the four word steps of a round written out: p AND 3 is p
// itself for a four-word block, so the key word of step p is k[p ^ e].
inline void Encrypt(uint32_t v[4], const uint32_t k[4]) {
    uint32_t v0 = v[0], v1 = v[1], v2 = v[2], v3 = v[3];
    uint32_t sum = 0;
    for (uint32_t round = 0; round < kRounds; round++) {
        sum += kDelta;
        uint32_t e = (sum >> 2) & 3;
        v0 += Mx(v3, v1, sum, k[0 ^ e]);
        v1 += Mx(v0, v2, sum, k[1 ^ e]);
        v2 += Mx(v1, v3, sum, k[2 ^ e]);
        v3 += Mx(v2, v0, sum, k[3 ^ e]);
    }
    v[0] = v0;
    v[1] = v1;
    v[2] = v2;
    v[3] = v3;
}

inline uint32_t LoadBigEndian(const unsigned char *p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

// H = H XOR E_K(H): the message block is the key, the chaining value the
// plaintext.
inline void Compress(uint32_t h[4], const uint32_t key[4]) {
    uint32_t t[4] = {h[0], h[1], h[2], h[3]};
    Encrypt(t, key);
    h[0] ^= t[0];
    h[1] ^= t[1];
    h[2] ^= t[2];
    h[3] ^= t[3];
}

}  // namespace

int32_t XxteaEncrypt4(uint32_t v[4], const uint32_t k[4]) {
    Encrypt(v, k);
    return 0;
}

int32_t BlockDigest(unsigned char out[16], const unsigned char *data, uint32_t L) {
    if (!data) L = 0;
    // The first 32 hexadecimal digits of the fraction of pi.
    uint32_t h[4] = {0x243F6A88u, 0x85A308D3u, 0x13198A2Eu, 0x03707344u};
    uint32_t key[4];

    uint32_t blocks = L / 16;
    for (uint32_t i = 0; i < blocks; i++) {
        const unsigned char *p = data + std::size_t{i} * 16;
        key[0] = LoadBigEndian(p);
        key[1] = LoadBigEndian(p + 4);
        key[2] = LoadBigEndian(p + 8);
        key[3] = LoadBigEndian(p + 12);
        Compress(h, key);
    }

    unsigned char last[16] = {0};
    uint32_t r = L % 16;
    for (uint32_t i = 0; i < r; i++) last[i] = data[std::size_t{blocks} * 16 + i];
    last[r] = 0x80;
    key[0] = LoadBigEndian(last);
    key[1] = LoadBigEndian(last + 4);
    key[2] = LoadBigEndian(last + 8);
    key[3] = LoadBigEndian(last + 12);
    Compress(h, key);

    key[0] = 0;
    key[1] = 0;
    key[2] = 0;
    key[3] = L;
    Compress(h, key);

    for (int i = 0; i < 4; i++) {
        out[4 * i] = static_cast<unsigned char>(h[i] >> 24);
        out[4 * i + 1] = static_cast<unsigned char>(h[i] >> 16);
        out[4 * i + 2] = static_cast<unsigned char>(h[i] >> 8);
        out[4 * i + 3] = static_cast<unsigned char>(h[i]);
    }
    return 16;
}
