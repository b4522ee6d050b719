#include "platform/SystemMemory.h"

#include <QByteArray>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

// The sanitizer's allocator holds freed blocks back on purpose: nothing to measure there.
#if !defined(__SANITIZE_ADDRESS__)
namespace {

// Resident memory of this process in kB.
qint64 systemMemoryTestResidentKB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

} // namespace
#endif

// Freed blocks between live ones stay mapped in the heap until they are handed back: 60 of 64 MB
// of small blocks freed leave the process's resident memory only when the free pages are returned.
TEST(SystemMemory, ReturnsFreedPagesInTheMiddleOfTheHeap)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator holds freed blocks back on purpose";
#else
    if (systemMemoryTestResidentKB() < 0)
        GTEST_SKIP() << "no /proc/self/status";
    constexpr size_t blockSize = 4096;
    constexpr size_t blockCount = (64u << 20) / blockSize;
    std::vector<void *> blocks(blockCount);
    for (void *&block : blocks) {
        block = std::malloc(blockSize);
        std::memset(block, 1, blockSize);
    }
    // Every sixteenth block stays, so the freed ones cannot merge into the heap's top, which the
    // allocator would give back by itself.
    for (size_t k = 0; k < blockCount; ++k) {
        if (k % 16 != 15)
            std::free(blocks[k]);
    }
    const qint64 freedButMapped = systemMemoryTestResidentKB();
    SystemMemory::returnFreedMemory();
    const qint64 returned = systemMemoryTestResidentKB();
    for (size_t k = 15; k < blockCount; k += 16)
        std::free(blocks[k]);
    EXPECT_GT(freedButMapped - returned, 32 * 1024) << freedButMapped << " kB before, " << returned << " kB after";
#endif
}
