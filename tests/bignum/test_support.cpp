#include "tests/bignum/test_support.h"

#include <cstdio>

namespace kbtest {

Watch g_watch;

std::string Hex(const unsigned char *b, size_t n) {
    std::string s;
    char buf[3];
    for (size_t i = 0; i < n; i++) {
        std::snprintf(buf, sizeof buf, "%02x", b[i]);
        s += buf;
    }
    return s;
}

std::vector<unsigned char> FromHex(const char *hex) {
    std::vector<unsigned char> out;
    auto nib = [](char c) -> unsigned {
        if (c >= '0' && c <= '9') return unsigned(c - '0');
        if (c >= 'a' && c <= 'f') return unsigned(c - 'a' + 10);
        return unsigned(c - 'A' + 10);
    };
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2)
        out.push_back(static_cast<unsigned char>(nib(hex[i]) << 4 | nib(hex[i + 1])));
    return out;
}

namespace {

void *WatchAllocate(size_t bytes) {
    Watch &w = g_watch;
    w.allocations++;
    if (w.failAt && w.allocations == w.failAt) return nullptr;
    void *p = std::malloc(bytes);
    if (!p) return nullptr;
    // Fill with a pattern so that a block the library forgets to clear
    // before using it does not look zero by accident.
    std::memset(p, 0xC5, bytes);
    if (w.liveCount < Watch::kMaxLive) w.live[w.liveCount++] = {p, bytes};
    return p;
}

void WatchRelease(void *block, size_t bytes) {
    Watch &w = g_watch;
    w.releases++;
    w.lastReleasedBytes = bytes;
    const unsigned char *b = static_cast<const unsigned char *>(block);
    for (size_t i = 0; i < bytes; i++) {
        if (b[i] != 0) {
            w.dirtyReleases++;
            break;
        }
    }
    bool known = false;
    for (size_t i = 0; i < w.liveCount; i++) {
        if (w.live[i].p == block) {
            known = w.live[i].bytes == bytes;
            w.live[i] = w.live[--w.liveCount];
            break;
        }
    }
    if (!known) w.unknownReleases++;
    std::free(block);
}

}  // namespace

void WatchAllocations(size_t failAt) {
    std::memset(&g_watch, 0, sizeof g_watch);
    g_watch.failAt = failAt;
    KbAllocator a = {WatchAllocate, WatchRelease};
    kbSetAllocator(&a);
}

void StopWatching() { kbSetAllocator(nullptr); }

void ReleaseWithoutWipe(void *block, size_t bytes) { WatchRelease(block, bytes); }

}  // namespace kbtest
