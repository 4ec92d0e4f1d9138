// Memory hygiene and the fatal end of failed allocations.
//
// The watching allocator of test_support.h sees every block the library
// allocates and releases; it counts releases that still hold a non-zero
// byte and releases of blocks it did not hand out (or with another size).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bignum/block_digest.h"
#include "bignum/kalbrum.h"
#include "bignum/signature.h"
#include "tests/bignum/test_support.h"

namespace {

#include "tests/bignum/vectors.inc"

using kbtest::g_watch;

class BignumMemory : public ::testing::Test {
  protected:
    void SetUp() override { kbtest::WatchAllocations(); }
    void TearDown() override { kbtest::StopWatching(); }

    // Every block released zeroed, known, and nothing left allocated.
    void ExpectClean(const char *what) {
        SCOPED_TRACE(what);
        EXPECT_GT(g_watch.releases, 0u);
        EXPECT_EQ(g_watch.dirtyReleases, 0u);
        EXPECT_EQ(g_watch.unknownReleases, 0u);
        EXPECT_EQ(g_watch.liveCount, 0u);
        EXPECT_EQ(g_watch.allocations, g_watch.releases);
    }
};

TEST_F(BignumMemory, TheWatchNoticesDirtyAndUnknownReleases) {
    // The checks themselves must be able to fail: hand the allocator's
    // release a block that still holds data, as a missing wipe would, and
    // one with the wrong size.
    unsigned char *p = ALLOC_BYTES(8);
    p[3] = 0x42;
    kbtest::ReleaseWithoutWipe(p, 8);
    EXPECT_EQ(g_watch.dirtyReleases, 1u);
    EXPECT_EQ(g_watch.unknownReleases, 0u);
    unsigned char *q = ALLOC_BYTES(8);
    kbtest::ReleaseWithoutWipe(q, 4);
    EXPECT_EQ(g_watch.unknownReleases, 1u);
    EXPECT_EQ(g_watch.liveCount, 0u);
}

TEST_F(BignumMemory, SignatureCheckReleasesOnlyWipedBlocks) {
    EXPECT_EQ(VerifySignatureWithKey(kSignatureHex, kSignedDigest, kTestKey), 0);
    ExpectClean("valid signature");
    kbtest::WatchAllocations();
    EXPECT_EQ(VerifySignatureWithKey(kSignaturePlusBigN, kSignedDigest, kTestKey), 0);
    ExpectClean("long signature");
    kbtest::WatchAllocations();
    EXPECT_EQ(VerifySignatureWithKey("", kSignedDigest, kTestKey), 1);
    ExpectClean("empty signature");
}

TEST_F(BignumMemory, ExponentiationReleasesOnlyWipedBlocksAtEveryWidth) {
    kbtest::Rng rng(31);
    const uint32_t lengths[] = {1, 3, 16, 64, 240, 768, 1024, 2048, 4096};
    for (uint32_t bits : lengths) {
        kbtest::WatchAllocations();
        uint32_t n = (bits + 31) / 32;
        std::vector<uint32_t> x = rng.Number(n, kbtest::Rng::kRandom), e(n, 0), m(n, 0), y(n);
        e[(bits - 1) / 32] = 1u << ((bits - 1) % 32);
        e[0] |= 1;
        m[0] = rng.Word() | 1;
        if (n > 1) m[1] = rng.Word();
        mpPowWindow(y.data(), x.data(), e.data(), m.data(), n);
        mpPowBits(y.data(), x.data(), e.data(), m.data(), n);
        SCOPED_TRACE(::testing::Message() << "exponent bits " << bits);
        ExpectClean("pow");
    }
}

TEST_F(BignumMemory, ObjectsAndConversionsReleaseOnlyWipedBlocks) {
    KbNumber *a = kbNew();
    kbLoadHex(a, "0123456789abcdef0123456789abcdef0123456789abcdef");
    kb_resize(a, 40);
    kb_resize(a, 3);
    kbLoadHex(a, "ff");
    uint32_t words[4];
    mpFromHex(words, 4, "fedcba9876543210");
    std::vector<uint32_t> u(6, 0xFFFFFFFFu), m = {5, 7, 9}, r(3);
    mpReduce(r.data(), u.data(), 6, m.data(), 3);
    mpMulReduce(r.data(), m.data(), m.data(), m.data(), 3);
    unsigned char *bytes = ALLOC_BYTES(33);
    bytes[5] = 1;
    mpWipeFreeBytes(bytes, 33);
    uint32_t *w = mpAlloc(0);  // one word even for n = 0
    w[0] = 0xFFFFFFFFu;
    mpWipeFree(w, 0);
    kbRelease(a);
    ExpectClean("objects");
}

TEST_F(BignumMemory, DigestAllocatesNothing) {
    std::vector<unsigned char> data(5000, 0x33);
    unsigned char out[16];
    BlockDigest(out, data.data(), uint32_t(data.size()));
    EXPECT_EQ(g_watch.allocations, 0u);
}

// ---------------------------------------------------------------------------
// Failed allocations end the process with exit status 1 and the routine's
// text. The report goes to standard error through a test reporter, so the
// Windows build shows no message box during the test.

void ReportToStderr(const char *text) {
    std::fprintf(stderr, "Kalbrum Error: %s\n", text);
    std::fflush(stderr);
}

// Set in a death test's child, which ends through mpFatal with the blocks
// it still holds: those are no leaks of the library.
bool g_endingOnPurpose = false;

void FailAllocation(size_t which, void (*run)()) {
    g_endingOnPurpose = true;
    kbSetFatalReporter(ReportToStderr);
    kbtest::WatchAllocations(which);
    run();
    std::fprintf(stderr, "returned normally\n");
    std::exit(0);
}

TEST(BignumFatal, FailedRequestsEndWithTheirTexts) {
    struct Row {
        const char *label;
        size_t failAt;
        void (*run)();
        const char *pattern;
    } rows[] = {
        {"mpAlloc", 1, [] { mpAlloc(10); }, "Kalbrum Error: mpAlloc: Unable to allocate memory\\."},
        {"kbNew record", 1, [] { kbNew(); }, "Kalbrum Error: kbNew: Failed to calloc memory\\."},
        {"kbNew word array", 2, [] { kbNew(); }, "Kalbrum Error: mpAlloc: Unable to allocate memory\\."},
        {"kb_resize growth", 3, [] { kb_resize(kbNew(), 8); },
         "Kalbrum Error: kb_resize: Failed to realloc memory\\."},
        {"ALLOC_BYTES", 1, [] { ALLOC_BYTES(16); }, "Kalbrum Error: ALLOC_BYTES: Unable to allocate memory\\."},
        {"mpFromHex buffer", 1, [] {
             uint32_t w[2];
             mpFromHex(w, 2, "abcd");
         }, "Kalbrum Error: ALLOC_BYTES: Unable to allocate memory\\."},
    };
    for (const Row &r : rows) {
        EXPECT_EXIT(FailAllocation(r.failAt, r.run), ::testing::ExitedWithCode(1), r.pattern) << r.label;
    }
}

void ReportOldArrayState(const char *text) {
    // kb_resize must have wiped and released the old array before the end.
    std::fprintf(stderr, "%s live=%u dirty=%u\n", text, unsigned(g_watch.liveCount),
                 unsigned(g_watch.dirtyReleases));
    std::fflush(stderr);
}

TEST(BignumFatal, ResizeReleasesTheOldArrayWipedBeforeTheEnd) {
    EXPECT_EXIT(
        {
            g_endingOnPurpose = true;
            kbSetFatalReporter(ReportOldArrayState);
            kbtest::WatchAllocations(3);
            KbNumber *b = kbNew();  // allocations 1 and 2
            b->words[0] = 0x12345678u;
            b->used = 1;
            kb_resize(b, 4);  // allocation 3 fails
            std::exit(0);
        },
        ::testing::ExitedWithCode(1), "kb_resize: Failed to realloc memory\\. live=1 dirty=0");
}

TEST(BignumFatal, EveryAllocationOfTheSignatureCheckIsFatalWhenItFails) {
    // Count the check's allocations, then fail each of them in turn.
    kbtest::WatchAllocations();
    VerifySignatureWithKey(kSignatureHex, kSignedDigest, kTestKey);
    size_t total = kbtest::g_watch.allocations;
    kbtest::StopWatching();
    ASSERT_GT(total, 4u);
    for (size_t k = 1; k <= total; k++) {
        EXPECT_EXIT(FailAllocation(k, [] { VerifySignatureWithKey(kSignatureHex, kSignedDigest, kTestKey); }),
                    ::testing::ExitedWithCode(1), "Kalbrum Error: ")
            << "allocation " << k << " of " << total;
    }
}

#ifndef _WIN32
TEST(BignumFatal, DefaultReportGoesToStandardError) {
    EXPECT_EXIT(
        {
            g_endingOnPurpose = true;
            kbSetFatalReporter(nullptr);
            kbtest::WatchAllocations(1);
            mpAlloc(1);
        },
        ::testing::ExitedWithCode(1), "^Kalbrum Error: mpAlloc: Unable to allocate memory\\.\n$");
}
#endif

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// LeakSanitizer asks this before its check at exit. Skipping the check in a
// child that ends on purpose also saves a scan of the whole heap per child.
extern "C" int __lsan_is_turned_off() { return g_endingOnPurpose ? 1 : 0; }
#endif

