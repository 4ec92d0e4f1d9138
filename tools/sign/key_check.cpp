// horlix-keycheck KEY.pem
//
// Checks a maker's signing key the way horlix-sign reads it (the same
// parser, ReadSignKeyFile): one unencrypted RSA-1024 private key with the
// exponent 65537 in PEM, nothing else in the file. Prints "Modulus=" and the
// modulus in upper-case hexadecimal, as `openssl rsa -noout -modulus` does,
// and exits 0; otherwise prints the reason on standard error and exits 1
// (2 on bad usage). release.sh builds and runs it before anything else.
#include <cstdio>

#include "tools/sign/sign_key.h"

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: horlix-keycheck KEY.pem\n");
        return 2;
    }
    SignKey key;
    char err[256];
    if (ReadSignKeyFile(argv[1], &key, err, sizeof err) != 0) {
        std::fprintf(stderr, "%s\n", err);
        return 1;
    }
    std::printf("Modulus=");
    for (int i = 0; i < 128; i++) std::printf("%02X", key.publicKey[i]);
    std::printf("\n");
    WipeSecret(&key, sizeof key);
    return 0;
}
