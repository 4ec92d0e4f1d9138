// Zone abbreviations as users read them. The zone data file cannot hold
// IANA's numeric names such as "-03" or "+0545" (the rule-string grammar
// takes letters only), so its generator spells them out ("UTCMinusThree");
// rule strings and the engine keep those letters, and every text a user
// sees shows the name as IANA writes it.
#pragma once

#include <cstddef>

// Enough for any name a text shows (the longest text, a tooltip, holds 79).
constexpr size_t kAbbrevShownChars = 80;

// Copies the name to show for an engine abbreviation: a spelt-out offset name
// becomes IANA's "+hh" or "+hhmm" ("UTCPlusFiveFortyFive" -> "+0545",
// "UTCPlusZero" -> "+00"); any other name is copied unchanged. Bounded: at
// most size - 1 characters, always terminated (nothing when size is 0).
void ReadableAbbreviation(const char* name, char* out, size_t size);
