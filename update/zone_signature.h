// The maker's signature of a zone data file, published beside it at
// /src/horlixtz-sig.txt:
//
//   zd=DATE;size=BYTES;dig=DIGEST;#sig=SIGNATURE
//
// DATE is the Date of the file's [Version] section, BYTES its size in
// decimal, DIGEST the BlockDigest of the whole file as 32 lower-case
// hexadecimal digits; SIGNATURE is the RSA signature (256 hexadecimal
// digits) over the BlockDigest of the text before the "#", made with the
// same key and in the same way as the installer information file's. A line
// end may follow the signature; nothing else may.
#pragma once

#include <cstddef>
#include <cstdint>

// The most bytes a signature file may hold; a longer one is refused.
constexpr uint32_t kZoneSignatureMax = 1023;

// The signed text for a file: "zd=%s;size=%u;dig=%s;". Returns its length
// (at most size - 1 characters are written).
int ZoneSignedText(const char* date, const unsigned char* file, uint32_t fileSize, char* out,
                   size_t size);

// 0 when the length bytes at text are the maker's signature (under the key
// built into this program) for exactly this file with this date; -1 when
// anything differs: another file, size or date, a changed, cut or extended
// signature, another key, or text that is no signature file at all.
int CheckZoneSignature(const char* text, uint32_t length, const char* date,
                       const unsigned char* file, uint32_t fileSize);
