// Memory that belongs to one owner and is given back all at once: a bump
// allocator over large blocks, and a pool of strings kept once each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace mostfcat {

// Hands out memory from large blocks and frees nothing until it is destroyed.
// Objects placed in it are never destroyed one by one: whatever lives here
// must not own memory elsewhere.
class YArena {
public:
    YArena() = default;
    ~YArena();
    YArena(const YArena&) = delete;
    YArena& operator=(const YArena&) = delete;

    // Memory for size bytes at the given alignment (a power of two, at most
    // 16); never null (throws std::bad_alloc when the system has none).
    void* Allocate(size_t size, size_t align = 8) {
        size_t pad = size_t(0 - reinterpret_cast<uintptr_t>(m_Ptr)) & (align - 1);
        if (size != 0 && size_t(m_End - m_Ptr) >= size + pad) {
            char* p = m_Ptr + pad;
            m_Ptr = p + size;
            return p;
        }
        return AllocateSlow(size, align);
    }
    template <class T> T* AllocateArray(size_t count) {
        if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        return static_cast<T*>(Allocate(count * sizeof(T), alignof(T) < 8 ? alignof(T) : 8));
    }
    // True when p points into one of the blocks.
    bool Contains(const void* p) const;
    // The size of the next large block; blocks grow from small to large, so a
    // caller that knows roughly how much it will need can say so first.
    void ExpectBytes(size_t bytes);
    // Bytes handed out so far and bytes held in blocks.
    size_t BytesUsed() const { return m_Used + size_t(m_Ptr - m_Current); }
    size_t BytesReserved() const { return m_Reserved; }

private:
    struct Block {
        Block* next;
        size_t size; // of the whole block, this header included
    };
    void* AllocateSlow(size_t size, size_t align);

    char* m_Ptr = nullptr;     // next free byte of the current block
    char* m_End = nullptr;     // end of the current block
    char* m_Current = nullptr; // start of the current block's memory
    Block* m_Blocks = nullptr; // every block, newest first
    size_t m_Used = 0;         // bytes handed out from earlier blocks
    size_t m_Reserved = 0;
    size_t m_NextSize = 0;
};

// Strings kept once each: equal texts share one std::string, which lives as
// long as the pool. The string objects are placed in an arena; texts too
// long for the string's own buffer have their characters on the heap, which
// the pool's destructor gives back.
class YStringPool {
public:
    explicit YStringPool(YArena& arena) : m_Arena(arena) {}
    ~YStringPool();
    YStringPool(const YStringPool&) = delete;
    YStringPool& operator=(const YStringPool&) = delete;

    // The pooled string equal to the size bytes at data.
    const std::string* Intern(const char* data, size_t size) {
        return Intern(data, size, Hash(data, size));
    }
    const std::string* Intern(std::string_view text) { return Intern(text.data(), text.size()); }
    // With the hash of the bytes already known (Hash).
    const std::string* Intern(const char* data, size_t size, uint64_t hash);
    size_t Count() const { return m_All.size(); }
    // Sizes the look-up table for about texts texts at once instead of
    // doubling it on the way there (it still grows beyond them).
    void Expect(size_t texts);
    // Gives back the look-up table once the texts are all in: a finished
    // tree only reads them. A later Intern builds the table again.
    void Seal();

    // The hash the pool uses; reads the bytes a word at a time.
    static uint64_t Hash(const char* data, size_t size) {
        uint64_t seed = 0x9E3779B97F4A7C15ull ^ (uint64_t(size) * 0xA0761D6478BD642Full);
        if (size <= 16) {
            uint64_t a = 0, b = 0;
            if (size >= 8) {
                a = Load64(data);
                b = Load64(data + size - 8);
            } else if (size >= 4) {
                a = Load32(data);
                b = Load32(data + size - 4);
            } else if (size > 0) {
                a = (uint64_t(uint8_t(data[0])) << 16) | (uint64_t(uint8_t(data[size >> 1])) << 8) |
                    uint64_t(uint8_t(data[size - 1]));
            }
            return Mix(a ^ 0xE7037ED1A0B428DBull, b ^ seed);
        }
        return HashLong(data, size, seed);
    }

    // The hash, and whether the bytes hold a zero byte (in one pass over
    // them: texts read from a file are cut at their first zero byte, which
    // only damaged files hold).
    static uint64_t HashChecked(const char* data, size_t size, bool& hasZero) {
        uint64_t seed = 0x9E3779B97F4A7C15ull ^ (uint64_t(size) * 0xA0761D6478BD642Full);
        if (size <= 16) {
            uint64_t a = 0, b = 0;
            if (size >= 8) {
                a = Load64(data);
                b = Load64(data + size - 8);
                hasZero = ZeroIn64(a) || ZeroIn64(b);
            } else if (size >= 4) {
                a = Load32(data);
                b = Load32(data + size - 4);
                hasZero = ZeroIn32(uint32_t(a)) || ZeroIn32(uint32_t(b));
            } else if (size > 0) {
                uint8_t x = uint8_t(data[0]), y = uint8_t(data[size >> 1]),
                        z = uint8_t(data[size - 1]);
                a = (uint64_t(x) << 16) | (uint64_t(y) << 8) | uint64_t(z);
                hasZero = x == 0 || y == 0 || z == 0;
            } else {
                hasZero = false;
            }
            return Mix(a ^ 0xE7037ED1A0B428DBull, b ^ seed);
        }
        hasZero = std::memchr(data, 0, size) != nullptr;
        return HashLong(data, size, seed);
    }

private:
    static bool ZeroIn64(uint64_t v) {
        return ((v - 0x0101010101010101ull) & ~v & 0x8080808080808080ull) != 0;
    }
    static bool ZeroIn32(uint32_t v) { return ((v - 0x01010101u) & ~v & 0x80808080u) != 0; }
    struct Slot {
        uint32_t tag;            // the upper half of the hash (the lower half places it)
        uint32_t size;           // of the text
        const std::string* text; // null: empty slot
    };
    // Equal bytes, for texts of the same size.
    static bool SameBytes(const char* a, const char* b, size_t size) {
        if (size >= 8 && size <= 16)
            return Load64(a) == Load64(b) && Load64(a + size - 8) == Load64(b + size - 8);
        if (size >= 4 && size < 8)
            return Load32(a) == Load32(b) && Load32(a + size - 4) == Load32(b + size - 4);
        return std::memcmp(a, b, size) == 0;
    }
    static uint64_t Load64(const char* p) {
        uint64_t v;
        std::memcpy(&v, p, 8);
        return v;
    }
    static uint64_t Load32(const char* p) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    static uint64_t Mix(uint64_t a, uint64_t b) {
        __uint128_t r = static_cast<__uint128_t>(a) * b;
        return uint64_t(r) ^ uint64_t(r >> 64);
    }
    static uint64_t HashLong(const char* data, size_t size, uint64_t seed);
    void Rebuild(size_t count);

    YArena& m_Arena;
    Slot* m_Slots = nullptr;
    size_t m_Mask = 0;                     // slot count - 1
    std::vector<const std::string*> m_All; // every pooled text, to destroy them
};

// Memory for size bytes; large sizes come straight from the system, on large
// pages where it offers them. Null when there is none. Give it back with
// FreeLarge and the same size.
void* AllocateLarge(size_t size);
void FreeLarge(void* memory, size_t size);
// The size of a large page; memory from AllocateLarge starts on one.
constexpr size_t kLargePage = 2 * 1024 * 1024;

// An allocator over AllocateLarge, for tables that grow large at once.
template <class T> struct YLargeAllocator {
    using value_type = T;
    YLargeAllocator() = default;
    template <class U> YLargeAllocator(const YLargeAllocator<U>&) {}
    T* allocate(size_t n) {
        if (n > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        void* p = AllocateLarge(n * sizeof(T));
        if (!p) throw std::bad_alloc();
        return static_cast<T*>(p);
    }
    void deallocate(T* p, size_t n) { FreeLarge(p, n * sizeof(T)); }
    template <class U> bool operator==(const YLargeAllocator<U>&) const { return true; }
    template <class U> bool operator!=(const YLargeAllocator<U>&) const { return false; }
};

} // namespace mostfcat
