// Kalbrum speed figures (a program that prints, not a test):
//  1. VerifySignature per call against OpenSSL's RSA-1024 public-key
//     operation with PKCS #1 v1.5 recovery, measured in the same run.
//  2. mpPowWindow against mpPowBits for 1024-bit exponents and modulus.
//  3. BlockDigest throughput against a plain XXTEA Davies-Meyer loop
//     written here.
// Each figure is the median of several timed batches.
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rsa.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bignum/block_digest.h"
#include "bignum/kalbrum.h"
#include "bignum/signature.h"

namespace {

using Clock = std::chrono::steady_clock;

volatile uint32_t g_sink;

// Median time per call in nanoseconds of `calls` calls, over `batches`.
template <typename F>
double NanosPerCall(F f, int calls, int batches = 9) {
    std::vector<double> t;
    for (int b = 0; b < batches; b++) {
        auto start = Clock::now();
        for (int i = 0; i < calls; i++) f();
        std::chrono::duration<double, std::nano> d = Clock::now() - start;
        t.push_back(d.count() / calls);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

void Fatal(const char *what) {
    std::fprintf(stderr, "bignum_bench: %s failed\n", what);
    std::exit(1);
}

// --- 1. signature check ---------------------------------------------------

const unsigned char kDigestInfo[18] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                       0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};

void BenchSignature() {
    EVP_PKEY *pkey = EVP_RSA_gen(1024);
    if (!pkey) Fatal("EVP_RSA_gen");
    BIGNUM *n = nullptr;
    if (!EVP_PKEY_get_bn_param(pkey, OSSL_PKEY_PARAM_RSA_N, &n)) Fatal("get n");
    unsigned char key[131];
    if (BN_bn2binpad(n, key, 128) != 128) Fatal("BN_bn2binpad");
    key[128] = 0x01;
    key[129] = 0x00;
    key[130] = 0x01;
    BN_free(n);

    unsigned char payload[34];
    std::memcpy(payload, kDigestInfo, 18);
    for (int i = 0; i < 16; i++) payload[18 + i] = static_cast<unsigned char>(i * 37 + 1);
    EVP_PKEY_CTX *sctx = EVP_PKEY_CTX_new(pkey, nullptr);
    unsigned char sig[128];
    size_t sigLen = sizeof sig;
    if (!sctx || EVP_PKEY_sign_init(sctx) <= 0 || EVP_PKEY_CTX_set_rsa_padding(sctx, RSA_PKCS1_PADDING) <= 0 ||
        EVP_PKEY_sign(sctx, sig, &sigLen, payload, sizeof payload) <= 0 || sigLen != 128)
        Fatal("EVP_PKEY_sign");
    EVP_PKEY_CTX_free(sctx);
    char sigHex[257];
    for (int i = 0; i < 128; i++) std::snprintf(sigHex + 2 * i, 3, "%02x", sig[i]);
    if (VerifySignatureWithKey(sigHex, payload + 18, key) != 0) Fatal("Kalbrum check of the OpenSSL signature");

    EVP_PKEY_CTX *vctx = EVP_PKEY_CTX_new(pkey, nullptr);
    if (!vctx || EVP_PKEY_verify_recover_init(vctx) <= 0 || EVP_PKEY_CTX_set_rsa_padding(vctx, RSA_PKCS1_PADDING) <= 0)
        Fatal("verify_recover_init");
    unsigned char rec[128];
    auto openssl = [&] {
        size_t recLen = sizeof rec;
        if (EVP_PKEY_verify_recover(vctx, rec, &recLen, sig, sizeof sig) <= 0 || recLen != 34) Fatal("verify_recover");
        g_sink = g_sink + rec[33];
    };
    auto kalbrum = [&] { g_sink = g_sink + uint32_t(VerifySignatureWithKey(sigHex, payload + 18, key)); };
    // The exponentiation alone, as kbPowMod runs it, without the text parsing.
    KbNumber *kn = kbNew(), *ke = kbNew(), *ks = kbNew(), *km = kbNew();
    kbLoadOctets(kn, key, 128, 32);
    kbLoadOctets(ke, key + 128, 3, 1);
    kbLoadOctets(ks, sig, 128, 32);
    auto powOnly = [&] {
        kbPowMod(km, ks, ke, kn);
        g_sink = g_sink + km->words[0];
    };

    double tOpenssl = NanosPerCall(openssl, 2000);
    double tKalbrum = NanosPerCall(kalbrum, 2000);
    double tPow = NanosPerCall(powOnly, 2000);
    std::printf("RSA-1024 signature check (e = 65537)\n");
    std::printf("  OpenSSL EVP_PKEY_verify_recover       %8.2f us/call\n", tOpenssl / 1000);
    std::printf("  Kalbrum VerifySignature               %8.2f us/call  (%.2fx OpenSSL)\n", tKalbrum / 1000,
                tKalbrum / tOpenssl);
    std::printf("    of which kbPowMod                   %8.2f us/call\n", tPow / 1000);
    kbRelease(kn);
    kbRelease(ke);
    kbRelease(ks);
    kbRelease(km);
    EVP_PKEY_CTX_free(vctx);
    EVP_PKEY_free(pkey);
}

// --- 2. exponentiation methods --------------------------------------------

uint64_t g_state = 0x243F6A8885A308D3ull;
uint32_t NextWord() {
    g_state = g_state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(g_state >> 32);
}

void BenchPow() {
    const uint32_t n = 32;
    std::vector<uint32_t> x(n), e(n), m(n), y1(n), y2(n);
    for (uint32_t i = 0; i < n; i++) {
        x[i] = NextWord();
        e[i] = NextWord();
        m[i] = NextWord();
    }
    m[n - 1] |= 0x80000000u;
    e[n - 1] |= 0x80000000u;
    mpPowBits(y1.data(), x.data(), e.data(), m.data(), n);
    mpPowWindow(y2.data(), x.data(), e.data(), m.data(), n);
    if (y1 != y2) Fatal("mpPowWindow == mpPowBits");
    double tBits = NanosPerCall([&] { mpPowBits(y1.data(), x.data(), e.data(), m.data(), n); }, 20, 7);
    double tWindow = NanosPerCall([&] { mpPowWindow(y2.data(), x.data(), e.data(), m.data(), n); }, 20, 7);
    std::printf("1024-bit exponent, 1024-bit modulus\n");
    std::printf("  mpPowBits                             %8.1f us/call\n", tBits / 1000);
    std::printf("  mpPowWindow (width 6)                 %8.1f us/call  (%.2fx faster)\n", tWindow / 1000,
                tBits / tWindow);
}

// --- 3. digest throughput -------------------------------------------------

// The plain loop: XXTEA as it is usually written, one Davies-Meyer step per
// 16-byte block, then the final and length blocks.
void PlainXxtea(uint32_t *v, const uint32_t *k) {
    const uint32_t delta = 0x9E3779B9u;
    uint32_t rounds = 6 + 52 / 4, sum = 0, z = v[3], y;
    do {
        sum += delta;
        uint32_t e = (sum >> 2) & 3;
        uint32_t p;
        for (p = 0; p < 3; p++) {
            y = v[p + 1];
            z = v[p] += (((z >> 5 ^ y << 2) + (y >> 3 ^ z << 4)) ^ ((sum ^ y) + (k[(p & 3) ^ e] ^ z)));
        }
        y = v[0];
        z = v[3] += (((z >> 5 ^ y << 2) + (y >> 3 ^ z << 4)) ^ ((sum ^ y) + (k[(p & 3) ^ e] ^ z)));
    } while (--rounds);
}

void PlainDigest(unsigned char out[16], const unsigned char *data, uint32_t len) {
    uint32_t h[4] = {0x243F6A88u, 0x85A308D3u, 0x13198A2Eu, 0x03707344u};
    auto step = [&](const uint32_t k[4]) {
        uint32_t t[4] = {h[0], h[1], h[2], h[3]};
        PlainXxtea(t, k);
        for (int i = 0; i < 4; i++) h[i] ^= t[i];
    };
    auto load = [](const unsigned char *p) {
        return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    };
    uint32_t i = 0;
    for (; i + 16 <= len; i += 16) {
        uint32_t k[4] = {load(data + i), load(data + i + 4), load(data + i + 8), load(data + i + 12)};
        step(k);
    }
    unsigned char last[16] = {0};
    std::memcpy(last, data + i, len - i);
    last[len - i] = 0x80;
    uint32_t kf[4] = {load(last), load(last + 4), load(last + 8), load(last + 12)};
    step(kf);
    uint32_t kl[4] = {0, 0, 0, len};
    step(kl);
    for (int w = 0; w < 4; w++)
        for (int b = 0; b < 4; b++) out[4 * w + b] = static_cast<unsigned char>(h[w] >> (24 - 8 * b));
}

void BenchDigest() {
    std::vector<unsigned char> data(8u << 20);
    for (auto &c : data) c = static_cast<unsigned char>(NextWord());
    unsigned char a[16], b[16];
    BlockDigest(a, data.data(), uint32_t(data.size()));
    PlainDigest(b, data.data(), uint32_t(data.size()));
    if (std::memcmp(a, b, 16) != 0) Fatal("plain loop == BlockDigest");
    double mb = double(data.size()) / 1e6;
    double tLib = NanosPerCall([&] { BlockDigest(a, data.data(), uint32_t(data.size())); g_sink = g_sink + a[0]; }, 1, 7);
    double tPlain = NanosPerCall([&] { PlainDigest(b, data.data(), uint32_t(data.size())); g_sink = g_sink + b[0]; }, 1, 7);
    std::printf("BlockDigest over 8 MiB\n");
    std::printf("  plain XXTEA Davies-Meyer loop         %8.1f MB/s\n", mb / (tPlain / 1e9));
    std::printf("  BlockDigest                           %8.1f MB/s  (%.1f%% of the plain loop)\n",
                mb / (tLib / 1e9), 100.0 * tPlain / tLib);
}

}  // namespace

int main() {
    BenchSignature();
    BenchPow();
    BenchDigest();
    return 0;
}
