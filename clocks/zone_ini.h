// The zone data file's text read in memory, in one pass, with the results the
// start-up used to get from one profile-function call per section: the
// section names as GetPrivateProfileSectionNamesA lists them, each with the
// value GetPrivateProfileStringA gives for its key "TZ" (empty default,
// 256-byte buffer).
#pragma once

#include <cstddef>

// name: a listed section name; tz: its "TZ" value, "" when there is none.
using ZoneSectionFn = void (*)(const char* name, const char* tz, void* context);

// Calls found for every listed section name in the file's order. The text is
// size bytes at text, with one more byte after them; the reader writes
// terminators into it. Returns false, and calls nothing, when the text holds
// a byte above 0x7F: what such bytes mean depends on the system (a byte-order
// mark turns the file into UTF-8 or UTF-16, a lead byte of a double-byte code
// page swallows the byte after it, letters above ASCII fold case by the code
// page), so those files are left to the profile functions themselves.
bool ReadZoneText(char* text, size_t size, ZoneSectionFn found, void* context);
