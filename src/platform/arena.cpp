#include "platform/arena.h"

#include <cstdlib>
#include <new>
#include <vector>

#include <sys/mman.h>

namespace mostfcat {

namespace {

constexpr size_t kFirstBlock = 16 * 1024;
// Blocks grow up to this size; a block asked for by a single larger
// allocation gets exactly what it needs.
constexpr size_t kLargeBlock = 4 * 1024 * 1024;

size_t RoundUp(size_t v, size_t to) {
    return (v + to - 1) / to * to;
}

// From this size on, memory comes from the system (AllocateLarge).
constexpr size_t kLarge = 1024 * 1024;

// Memory from the system comes in whole large pages on a large-page
// boundary, or the kernel backs it with small ones.
constexpr size_t kHugePage = kLargePage;

size_t MappedSize(size_t size) {
    return size >= kHugePage ? RoundUp(size, kHugePage) : size;
}

} // namespace

void* AllocateLarge(size_t size) {
    if (size < kLarge) return std::malloc(size ? size : 1);
    // Straight from the system, on large pages where it offers them: a cache
    // load writes every byte of its memory once, and with small pages the
    // page faults are most of what it spends.
    size_t mapped = MappedSize(size);
    size_t extra = mapped >= kHugePage ? kHugePage : 0;
    void* memory =
        mmap(nullptr, mapped + extra, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return nullptr;
    if (extra) {
        // Keep the aligned part and give back what lies before and after it.
        auto start = reinterpret_cast<uintptr_t>(memory);
        uintptr_t aligned = RoundUp(start, kHugePage);
        if (aligned > start) munmap(memory, aligned - start);
        uintptr_t end = aligned + mapped, mappedEnd = start + mapped + extra;
        if (mappedEnd > end) munmap(reinterpret_cast<void*>(end), mappedEnd - end);
        memory = reinterpret_cast<void*>(aligned);
    }
#if defined(MADV_HUGEPAGE)
    madvise(memory, mapped, MADV_HUGEPAGE);
#endif
    return memory;
}

void FreeLarge(void* memory, size_t size) {
    if (!memory) return;
    if (size < kLarge)
        std::free(memory);
    else
        munmap(memory, MappedSize(size));
}

// --- YArena --------------------------------------------------------------------

YArena::~YArena() {
    for (Block* b = m_Blocks; b;) {
        Block* next = b->next;
        FreeLarge(b, b->size);
        b = next;
    }
}

void YArena::ExpectBytes(size_t bytes) {
    if (bytes > m_NextSize) m_NextSize = bytes < kLargeBlock ? bytes : kLargeBlock;
}

void* YArena::AllocateSlow(size_t size, size_t align) {
    if (size == 0) size = 1;
    if (size > SIZE_MAX / 2) throw std::bad_alloc();
    const size_t header = RoundUp(sizeof(Block), 16);
    size_t blockSize = m_NextSize ? m_NextSize : kFirstBlock;
    if (blockSize < header + size + align) blockSize = header + size + align;
    // A block from the system fills its last large page.
    if (blockSize >= kLarge) blockSize = MappedSize(blockSize);
    void* memory = AllocateLarge(blockSize);
    if (!memory) throw std::bad_alloc();
    auto* block = static_cast<Block*>(memory);
    block->next = m_Blocks;
    block->size = blockSize;
    m_Blocks = block;
    m_Used += size_t(m_Ptr - m_Current);
    m_Reserved += blockSize;
    m_Current = static_cast<char*>(memory) + header;
    m_Ptr = m_Current;
    m_End = static_cast<char*>(memory) + blockSize;
    // Blocks double up to the large size.
    size_t next = (m_NextSize ? m_NextSize : kFirstBlock) * 2;
    m_NextSize = next < kLargeBlock ? next : kLargeBlock;
    return Allocate(size, align);
}

bool YArena::Contains(const void* p) const {
    auto* c = static_cast<const char*>(p);
    for (const Block* b = m_Blocks; b; b = b->next) {
        auto* start = reinterpret_cast<const char*>(b);
        if (c >= start && c < start + b->size) return true;
    }
    return false;
}

// --- YStringPool ---------------------------------------------------------------

YStringPool::~YStringPool() {
    for (const std::string* text : m_All)
        text->~basic_string();
    std::free(m_Slots);
}

uint64_t YStringPool::HashLong(const char* data, size_t size, uint64_t seed) {
    uint64_t h = seed;
    const char* p = data;
    size_t left = size;
    while (left > 16) {
        h = Mix(Load64(p) ^ 0xA0761D6478BD642Full, Load64(p + 8) ^ h);
        p += 16;
        left -= 16;
    }
    // The last 16 bytes (they may overlap the previous round).
    const char* tail = data + size - 16;
    return Mix(Load64(tail) ^ 0xE7037ED1A0B428DBull, Load64(tail + 8) ^ h);
}

void YStringPool::Rebuild(size_t count) {
    auto* slots = static_cast<Slot*>(std::calloc(count, sizeof(Slot)));
    if (!slots) throw std::bad_alloc();
    std::free(m_Slots);
    m_Slots = slots;
    m_Mask = count - 1;
    for (const std::string* text : m_All) {
        uint64_t hash = Hash(text->data(), text->size());
        size_t j = size_t(hash) & m_Mask;
        while (m_Slots[j].text)
            j = (j + 1) & m_Mask;
        m_Slots[j] = Slot{uint32_t(hash >> 32), uint32_t(text->size()), text};
    }
}

void YStringPool::Expect(size_t texts) {
    size_t count = 1024;
    while (count / 2 < texts && count < (size_t(1) << 40))
        count *= 2;
    if (!m_Slots || count > m_Mask + 1) Rebuild(count);
    m_All.reserve(texts);
}

void YStringPool::Seal() {
    std::free(m_Slots);
    m_Slots = nullptr;
    m_Mask = 0;
    m_All.shrink_to_fit();
}

const std::string* YStringPool::Intern(const char* data, size_t size, uint64_t hash) {
    if (!m_Slots || (m_All.size() + 1) * 2 > m_Mask + 1) {
        size_t count = m_Slots ? (m_Mask + 1) * 2 : 1024;
        while ((m_All.size() + 1) * 2 > count)
            count *= 2;
        Rebuild(count);
    }
    const uint32_t tag = uint32_t(hash >> 32);
    size_t i = size_t(hash) & m_Mask;
    for (;; i = (i + 1) & m_Mask) {
        const Slot& s = m_Slots[i];
        if (!s.text) break;
        if (s.tag == tag && s.size == size && SameBytes(s.text->data(), data, size)) return s.text;
    }
    void* memory = m_Arena.Allocate(sizeof(std::string), alignof(std::string));
    auto* text = new (memory) std::string(data, size);
    m_All.push_back(text);
    m_Slots[i] = Slot{tag, uint32_t(size), text};
    return text;
}

} // namespace mostfcat
