#include "display/pod_buffer.h"

#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kestrin::pod_block {

namespace {

#if defined(__linux__)
// From this size on a block is mapped directly, so that it never has to be
// copied to grow, whatever the allocator's own thresholds are at the time.
constexpr std::size_t kMappedBytes = std::size_t{1} << 20;

bool isMapped(std::size_t capacityBytes) { return capacityBytes >= kMappedBytes; }

std::size_t roundToPages(std::size_t bytes) {
    constexpr std::size_t kPage = 4096;
    return bytes > static_cast<std::size_t>(-1) - kPage ? 0 : (bytes + kPage - 1) / kPage * kPage;
}
#endif

}  // namespace

void* grow(void* block, std::size_t capacityBytes, std::size_t usedBytes, std::size_t newBytes) {
#if defined(__linux__)
    if (isMapped(newBytes)) {
        const std::size_t bytes = roundToPages(newBytes);
        if (bytes == 0) return nullptr;
        if (block != nullptr && isMapped(capacityBytes)) {
            void* moved = mremap(block, roundToPages(capacityBytes), bytes, MREMAP_MAYMOVE);
            return moved == MAP_FAILED ? nullptr : moved;
        }
        void* mapped =
            mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) return nullptr;
        if (usedBytes > 0) std::memcpy(mapped, block, usedBytes);
        std::free(block);
        return mapped;
    }
#else
    (void)capacityBytes;
    (void)usedBytes;
#endif
    return std::realloc(block, newBytes);
}

void release(void* block, std::size_t capacityBytes) {
    if (block == nullptr) return;
#if defined(__linux__)
    if (isMapped(capacityBytes)) {
        munmap(block, roundToPages(capacityBytes));
        return;
    }
#else
    (void)capacityBytes;
#endif
    std::free(block);
}

}  // namespace kestrin::pod_block
