// The two answers of the update CGI, read by pure functions: no state, no
// platform, any text in (a fuzzer may feed them anything NUL-terminated).
#pragma once

#include <cstdint>

// The status reply, for example "status=1".
//
//   status=<digits>[anything]
//
// The text must begin with "status=" and its eighth character must be a
// decimal digit; the status is the number its leading digits spell (what
// follows them is ignored; a number beyond 2147483647 reads as 2147483647).
// Returns 0 with *status set, or -1 (not a status reply; *status untouched).
// The caller decides about values above 2.
int ParseStatusReply(const char* reply, uint32_t* status);

// The zone data file information reply, for example "crc=cbf43926;size=9;".
//
//   crc=<hex>;size=<decimal>;
//
// Recognised when the text begins with "crc=" and contains "size=" anywhere.
// Then it is read like the scanf pattern "crc=%x;size=%u;": each number may
// follow white space and carry a sign (a minus negates modulo 2^32), the hex
// number may start with "0x"; reading stops at the first character that does
// not match, and a field not reached keeps 0. A number that does not fit 32
// bits does not match either. Returns 0 when recognised, else -1; *crc and
// *size are set to 0 first in both cases.
int ParseZoneInfoReply(const char* reply, uint32_t* crc, uint32_t* size);
