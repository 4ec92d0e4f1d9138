// Signing and assembling the installer information file.
#include "tools/sign/info_file.h"

#include <cstdio>
#include <cstring>

#include "bignum/block_digest.h"
#include "bignum/kalbrum.h"
#include "bignum/signature.h"
#include "update/zone_signature.h"

namespace {

// DER DigestInfo header for a 16-byte digest. The updater compares its
// SEQUENCE, NULL and OCTET STRING bytes and ignores the algorithm identifier.
const unsigned char kDigestInfo[18] = {0x30, 0x20, 0x30, 0x0c, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                       0x86, 0xf7, 0x0d, 0x02, 0x05, 0x05, 0x00, 0x04, 0x10};

// Keys that must not appear inside the url: the updater takes the first
// occurrence of each key anywhere in the file.
const char *const kKeys[] = {"exever=", "size=", "url=", "dig=", "sig="};

void SetError(char *err, size_t errSize, const char *text) {
    if (errSize) std::snprintf(err, errSize, "%s", text);
}

void ToHex(const unsigned char *bytes, size_t n, char *out) {
    static const char kDigits[] = "0123456789abcdef";
    for (size_t i = 0; i < n; i++) {
        out[2 * i] = kDigits[bytes[i] >> 4];
        out[2 * i + 1] = kDigits[bytes[i] & 15];
    }
    out[2 * n] = 0;
}

}  // namespace

int32_t SignDigest(const SignKey *key, const unsigned char digest[16], char sigHex[257]) {
    unsigned char block[128];
    block[0] = 0x00;
    block[1] = 0x01;
    std::memset(block + 2, 0xFF, 91);
    block[93] = 0x00;
    std::memcpy(block + 94, kDigestInfo, sizeof kDigestInfo);
    std::memcpy(block + 112, digest, 16);

    KbNumber *m = kbNew();
    KbNumber *d = kbNew();
    KbNumber *n = kbNew();
    KbNumber *s = kbNew();
    kbLoadOctets(m, block, 128, 32);
    kbLoadOctets(d, key->privateExponent, 128, 32);
    kbLoadOctets(n, key->publicKey, 128, 32);
    kbPowMod(s, m, d, n);
    unsigned char sig[128];
    kbStoreOctets(s, sig);
    kbRelease(m);
    kbRelease(d);
    kbRelease(n);
    kbRelease(s);

    ToHex(sig, sizeof sig, sigHex);
    WipeSecret(block, sizeof block);
    WipeSecret(sig, sizeof sig);
    // What the updater will do with it, before anyone relies on it.
    if (VerifySignatureWithKey(sigHex, digest, key->publicKey) != 0) {
        WipeSecret(sigHex, 257);
        return -1;
    }
    return 0;
}

namespace {

// The signature over the BlockDigest of the signed text (its first signedLen
// bytes); false with the reason in err.
bool SignText(const SignKey *key, const char *text, int signedLen, char sigHex[257], char *err,
              size_t errSize) {
    unsigned char textDigest[16];
    BlockDigest(textDigest, reinterpret_cast<const unsigned char *>(text), uint32_t(signedLen));
    if (SignDigest(key, textDigest, sigHex) != 0) {
        SetError(err, errSize, "the signature does not verify under the key's own modulus (damaged key?)");
        return false;
    }
    return true;
}

// Copies the finished file of total bytes (and its terminator) to out.
int32_t CopyOut(char *out, size_t outSize, const char *text, int total, char *err, size_t errSize) {
    if (size_t(total) >= outSize) {
        SetError(err, errSize, "output buffer too small");
        return -1;
    }
    std::memcpy(out, text, size_t(total) + 1);
    return total;
}

}  // namespace

const char *CheckInstallerUrl(const char *url) {
    size_t len = std::strlen(url);
    if (len == 0) return "the installer URL is empty";
    if (len > kInfoUrlMax) return "the installer URL is longer than the 511 characters the updater keeps";
    for (size_t i = 0; i < len; i++) {
        unsigned char c = static_cast<unsigned char>(url[i]);
        if (c <= 0x20 || c == 0x7F) return "the installer URL holds a blank or control character";
        if (c == ';') return "the installer URL holds ';', which would end the value";
        if (c == '#') return "the installer URL holds '#', which would end the signed text";
    }
    for (const char *k : kKeys) {
        if (std::strstr(url, k)) return "the installer URL holds a key name of the info file (exever=, size=, url=, dig=, sig=)";
    }
    return nullptr;
}

int32_t MakeInfoFile(char *out, size_t outSize, const SignKey *key, uint32_t version, const char *url,
                     const unsigned char *installer, uint32_t installerSize, char *err, size_t errSize) {
    SetError(err, errSize, "");
    if (outSize) out[0] = 0;
    if (version <= 1600 || version > 0x7FFFFFFFu) {
        SetError(err, errSize, "the version must be a number above 1600 (the updater refuses older ones)");
        return -1;
    }
    if (installerSize == 0 || installerSize > 0x7FFFFFFFu) {
        SetError(err, errSize, "the installer must hold 1 to 2147483647 bytes");
        return -1;
    }
    if (const char *why = CheckInstallerUrl(url)) {
        SetError(err, errSize, why);
        return -1;
    }

    unsigned char digest[16];
    BlockDigest(digest, installer, installerSize);
    char digHex[33];
    ToHex(digest, 16, digHex);

    char text[kInfoFileMax + 1];
    int signedLen = std::snprintf(text, sizeof text, "exever=%u\nsize=%u\nurl=%s\ndig=%s\n", unsigned(version),
                                  unsigned(installerSize), url, digHex);
    if (signedLen < 0 || size_t(signedLen) >= sizeof text) {
        SetError(err, errSize, "the info file would be too long");
        return -1;
    }
    char sigHex[257];
    if (!SignText(key, text, signedLen, sigHex, err, errSize)) return -1;
    int total = std::snprintf(text + signedLen, sizeof text - size_t(signedLen), "#\nsig=%s\n", sigHex);
    if (total < 0 || size_t(signedLen + total) > kInfoFileMax) {
        SetError(err, errSize, "the info file would exceed the 1023 bytes the updater reads");
        return -1;
    }
    return CopyOut(out, outSize, text, signedLen + total, err, errSize);
}

int32_t MakeZoneSignatureFile(char *out, size_t outSize, const SignKey *key, const char *date,
                              const unsigned char *file, uint32_t fileSize, char *err, size_t errSize) {
    SetError(err, errSize, "");
    if (outSize) out[0] = 0;
    if (date[0] == 0 || std::strpbrk(date, ";#\r\n") != nullptr) {
        SetError(err, errSize, "the zone data file has no usable Date in section Version");
        return -1;
    }
    if (fileSize == 0 || fileSize > 0x7FFFFFFFu) {
        SetError(err, errSize, "the zone data file must hold 1 to 2147483647 bytes");
        return -1;
    }
    char text[kZoneSignatureMax + 1];
    const int signedLen = ZoneSignedText(date, file, fileSize, text, sizeof text);
    if (signedLen < 0 || size_t(signedLen) >= 128) {
        SetError(err, errSize, "the zone data file's Date is too long");
        return -1;
    }
    char sigHex[257];
    if (!SignText(key, text, signedLen, sigHex, err, errSize)) return -1;
    const int total = std::snprintf(text + signedLen, sizeof text - size_t(signedLen), "#sig=%s\n", sigHex);
    return CopyOut(out, outSize, text, signedLen + total, err, errSize);
}
