// horlix-add-root-ca CA.der: adds a certificate authority to the machine's
// trusted roots, so that the HTTPS scenarios' own test authority is trusted
// in the Wine prefix they run in. Exit code 0 when it is there afterwards.
#include <windows.h>
#include <wincrypt.h>

#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: horlix-add-root-ca CA.der\n");
    return 2;
  }
  static unsigned char der[16384];
  FILE* f = std::fopen(argv[1], "rb");
  if (f == nullptr) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const size_t size = std::fread(der, 1, sizeof der, f);
  std::fclose(f);
  HCERTSTORE store = CertOpenStore(CERT_STORE_PROV_SYSTEM_A, 0, 0,
                                   CERT_SYSTEM_STORE_LOCAL_MACHINE, "ROOT");
  if (store == nullptr) {
    std::fprintf(stderr, "CertOpenStore failed: %lu\n", GetLastError());
    return 1;
  }
  const BOOL added = CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der,
                                                      static_cast<DWORD>(size),
                                                      CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
  const DWORD code = GetLastError();
  CertCloseStore(store, 0);
  if (!added) {
    std::fprintf(stderr, "CertAddEncodedCertificateToStore failed: %lu\n", code);
    return 1;
  }
  return 0;
}
