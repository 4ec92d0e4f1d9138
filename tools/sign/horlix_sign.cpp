// horlix-sign KEY.pem VERSION URL INSTALLER
// horlix-sign --zone KEY.pem ZONEFILE
//
// The maker's tool for a release: writes to standard output the signed
// installer information file that horlixupdater fetches, for the installer
// file INSTALLER offered at URL as program version VERSION (four digits
// written together, e.g. 1651 for 1.6.5.1), signed with the RSA-1024
// private key KEY.pem (as `openssl genrsa 1024` writes it). Exit status 0
// on success, 1 on any error (reported on standard error), 2 on bad usage.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "bignum/signature.h"
#include "clocks/profile.h"
#include "update/zone_signature.h"
#include "tools/sign/info_file.h"
#include "tools/sign/sign_key.h"

namespace {

int Fail(const char *what, const char *detail) {
    std::fprintf(stderr, "horlix-sign: %s%s%s\n", what, detail ? ": " : "", detail ? detail : "");
    return 1;
}

bool ParseVersion(const char *text, uint32_t *out) {
    uint64_t v = 0;
    if (!*text) return false;
    for (const char *p = text; *p; p++) {
        if (*p < '0' || *p > '9') return false;
        v = v * 10 + uint64_t(*p - '0');
        if (v > 0x7FFFFFFFu) return false;
    }
    *out = uint32_t(v);
    return true;
}

// Reads a whole file into a malloc'ed buffer; null when it cannot be read or
// holds more than limit bytes (then *tooBig is set).
unsigned char *ReadFile(const char *path, size_t limit, size_t *size, bool *tooBig) {
    *tooBig = false;
    FILE *f = std::fopen(path, "rb");
    if (!f) return nullptr;
    size_t cap = 65536, n = 0;
    unsigned char *buf = static_cast<unsigned char *>(std::malloc(cap));
    while (buf) {
        if (n == cap) {
            unsigned char *bigger = static_cast<unsigned char *>(std::malloc(cap * 2));
            if (bigger) std::memcpy(bigger, buf, n);
            std::free(buf);
            buf = bigger;
            cap *= 2;
            continue;
        }
        size_t got = std::fread(buf + n, 1, cap - n, f);
        n += got;
        if (n > limit) {
            *tooBig = true;
            break;
        }
        if (got == 0) break;
    }
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (buf && (failed || *tooBig)) {
        std::free(buf);
        return nullptr;
    }
    *size = n;
    return buf;
}

// Reads and parses the private key; 0, or -1 after reporting why.
int LoadKey(const char *path, SignKey *key) {
    char err[256];
    if (ReadSignKeyFile(path, key, err, sizeof err) != 0) return Fail(err, path), -1;
    if (std::memcmp(key->publicKey, HorlixPublicKey, sizeof HorlixPublicKey) != 0) {
        std::fprintf(stderr,
                     "horlix-sign: note: this key is not the one built into this tree's programs "
                     "(HORLIX_PUBLIC_KEY_FILE); programs built with another key will refuse the file\n");
    }
    return 0;
}

int WriteOut(const char *text, int32_t len) {
#ifdef _WIN32
    // The signature covers the exact bytes: no CR may be added to the LFs.
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    if (std::fwrite(text, 1, size_t(len), stdout) != size_t(len) || std::fflush(stdout) != 0)
        return Fail("cannot write the signed file to standard output", nullptr);
    return 0;
}

int SignZoneFile(const char *keyPath, const char *zonePath) {
    SignKey key;
    if (LoadKey(keyPath, &key) != 0) return 1;
    bool tooBig = false;
    size_t size = 0;
    unsigned char *zone = ReadFile(zonePath, 0x7FFFFFFFu, &size, &tooBig);
    if (!zone) {
        WipeSecret(&key, sizeof key);
        return Fail(tooBig ? "zone data file larger than 2147483647 bytes" : "cannot read zone data file",
                    zonePath);
    }
    char date[32];
    ProfileString(zonePath, "Version", "Date", "", date, sizeof date);
    char err[256];
    char text[kZoneSignatureMax + 1];
    int32_t len = MakeZoneSignatureFile(text, sizeof text, &key, date, zone, uint32_t(size), err, sizeof err);
    WipeSecret(&key, sizeof key);
    std::free(zone);
    if (len < 0) return Fail(err, zonePath);
    return WriteOut(text, len);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "--zone") == 0) return SignZoneFile(argv[2], argv[3]);
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: horlix-sign KEY.pem VERSION URL INSTALLER > horlixquicki-sig.txt\n"
                     "       horlix-sign --zone KEY.pem ZONEFILE > horlixtz-sig.txt\n"
                     "  KEY.pem    RSA-1024 private key (openssl genrsa -out KEY.pem 1024)\n"
                     "  VERSION    offered program version, four digits together (1651 = 1.6.5.1)\n"
                     "  URL        full address the installer is downloaded from\n"
                     "  INSTALLER  the installer file itself\n");
        return 2;
    }
    uint32_t version = 0;
    if (!ParseVersion(argv[2], &version)) return Fail("VERSION is not a decimal number", argv[2]);
    if (const char *why = CheckInstallerUrl(argv[3])) return Fail(why, nullptr);

    SignKey key;
    if (LoadKey(argv[1], &key) != 0) return 1;

    bool tooBig = false;
    size_t installerSize = 0;
    unsigned char *installer = ReadFile(argv[4], 0x7FFFFFFFu, &installerSize, &tooBig);
    if (!installer) {
        WipeSecret(&key, sizeof key);
        return Fail(tooBig ? "installer larger than 2147483647 bytes" : "cannot read installer", argv[4]);
    }

    char err[256];
    char info[kInfoFileMax + 1];
    int32_t len = MakeInfoFile(info, sizeof info, &key, version, argv[3], installer, uint32_t(installerSize), err,
                               sizeof err);
    WipeSecret(&key, sizeof key);
    std::free(installer);
    if (len < 0) return Fail(err, nullptr);

    return WriteOut(info, len);
}
