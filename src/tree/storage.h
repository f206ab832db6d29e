// The memory of one catalog tree: its nodes, their child arrays and their
// texts live in storage that belongs to the catalog and goes with it at once,
// without a walk over the nodes. The importer and the cache reader make a
// storage the current one of their thread while they build a tree; nodes and
// texts made outside any such scope use the ordinary heap.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/arena.h"

#define MOSTFCAT_TLS_INITIAL_EXEC __attribute__((tls_model("initial-exec")))

namespace mostfcat {

class YMTStorage;

// The name and the description of a node: two pooled texts, held as one
// pooled pair (most nodes share their pair with others).
struct YMTTextPair {
    const std::string* name;
    const std::string* description;
};

// Something made for a finished tree (a compiled layout) that lives as long
// as the tree's storage.
class YMTStorageExtra {
public:
    virtual ~YMTStorageExtra() = default;
};

class YMTStorage {
public:
    YMTStorage() : m_Strings(m_Arena) {}
    ~YMTStorage();
    YMTStorage(const YMTStorage&) = delete;
    YMTStorage& operator=(const YMTStorage&) = delete;

    void* Allocate(size_t size, size_t align = 8) { return m_Arena.Allocate(size, align); }
    template <class T> T* AllocateArray(size_t count) { return m_Arena.AllocateArray<T>(count); }
    const std::string* Intern(const char* data, size_t size) {
        return m_Strings.Intern(data, size);
    }
    const std::string* Intern(const char* data, size_t size, uint64_t hash) {
        return m_Strings.Intern(data, size, hash);
    }
    // The tree is complete: the look-up tables of the texts go.
    void Seal();
    bool Sealed() const { return m_PairsSealed; }
    // Keeps extra until the storage goes. Any thread may call it while
    // others read the tree; publish must make extra visible to them and is
    // called under the same lock, so that two threads never keep two.
    template <class Publish> void Keep(std::unique_ptr<YMTStorageExtra> extra, Publish publish) {
        std::lock_guard<std::mutex> lock(m_ExtrasLock);
        if (publish(extra.get())) m_Extras.push_back(std::move(extra));
    }
    // Sizes the text and pair tables once for a tree read from bytes bytes
    // (a cache body), from what trees of that size hold: a text every 1 KiB,
    // a pair every 2 KiB or more.
    void ExpectBody(size_t bytes);
    // The pooled pair of two pooled texts.
    const YMTTextPair* InternPair(const std::string* name, const std::string* description);
    YArena& Arena() { return m_Arena; }
    const YArena& Arena() const { return m_Arena; }
    const YStringPool& Strings() const { return m_Strings; }
    size_t PairCount() const { return m_PairCount; }

    // The storage of the tree the calling thread is building; null outside a
    // scope.
    static YMTStorage* Current() { return t_Current; }

private:
    friend class YMTStorageScope;
    // Initial-exec: the few bytes sit in the thread's static block, read
    // without a call on every node made; a library loaded later has room for
    // them there.
    static thread_local YMTStorage* t_Current MOSTFCAT_TLS_INITIAL_EXEC;

    void RebuildPairs(size_t count);

    YArena m_Arena;
    YStringPool m_Strings; // after the arena: destroyed before it
    // Open addressing over the pairs while the tree is built.
    const YMTTextPair** m_Pairs = nullptr;
    size_t m_PairMask = 0;
    size_t m_PairCount = 0;
    bool m_PairsSealed = false;
    std::mutex m_ExtrasLock;
    std::vector<std::unique_ptr<YMTStorageExtra>> m_Extras;
};

// Makes a storage the current one of the thread for its lifetime (null: none,
// so that what is made inside uses the heap).
class YMTStorageScope {
public:
    explicit YMTStorageScope(YMTStorage* storage) : m_Previous(YMTStorage::t_Current) {
        YMTStorage::t_Current = storage;
    }
    ~YMTStorageScope() { YMTStorage::t_Current = m_Previous; }
    YMTStorageScope(const YMTStorageScope&) = delete;
    YMTStorageScope& operator=(const YMTStorageScope&) = delete;

private:
    YMTStorage* m_Previous;
};

// A text field of a tree node. Inside a storage scope it points at the
// storage's one copy of the text; outside it owns a heap copy of its own.
// Reads give the std::string itself, which lives as long as the node (or,
// for a pooled text, as long as its catalog).
class YMTText {
public:
    YMTText() noexcept : m_Bits(reinterpret_cast<uintptr_t>(&Empty())) {}
    ~YMTText() { Release(); }
    YMTText(const YMTText&) = delete;
    YMTText& operator=(const YMTText& other) {
        if (this != &other) Assign(other.data(), other.size());
        return *this;
    }
    YMTText& operator=(std::string_view text) {
        Assign(text.data(), text.size());
        return *this;
    }
    YMTText& operator=(const std::string& text) {
        Assign(text.data(), text.size());
        return *this;
    }
    YMTText& operator=(const char* text) { return *this = std::string_view(text); }

    const std::string& str() const noexcept {
        return *reinterpret_cast<const std::string*>(m_Bits & ~uintptr_t(1));
    }
    operator const std::string&() const noexcept { return str(); }
    operator std::string_view() const noexcept { return str(); }
    const char* c_str() const noexcept { return str().c_str(); }
    const char* data() const noexcept { return str().data(); }
    size_t size() const noexcept { return str().size(); }
    size_t length() const noexcept { return str().size(); }
    bool empty() const noexcept { return str().empty(); }
    char operator[](size_t i) const { return str()[i]; }
    std::string::const_iterator begin() const noexcept { return str().begin(); }
    std::string::const_iterator end() const noexcept { return str().end(); }
    void clear() { SetPooled(&Empty()); }

    void Assign(const char* data, size_t size);
    // Points at a text of the current storage (the cache reader's way).
    void SetPooled(const std::string* text) {
        Release();
        m_Bits = reinterpret_cast<uintptr_t>(text);
    }
    // The one empty text all empty fields share.
    static const std::string& Empty() {
        static const std::string empty;
        return empty;
    }

private:
    void Release() {
        if (m_Bits & 1) delete reinterpret_cast<std::string*>(m_Bits & ~uintptr_t(1));
    }
    // The text's address; the lowest bit is set when the field owns it.
    uintptr_t m_Bits;
};

// The name and description fields of a node, as one pooled pair inside a
// storage scope and an owned pair outside.
class YMTNodeTexts {
public:
    YMTNodeTexts() noexcept : m_Bits(reinterpret_cast<uintptr_t>(&EmptyPair())) {}
    ~YMTNodeTexts() { Release(); }
    YMTNodeTexts(const YMTNodeTexts&) = delete;
    YMTNodeTexts& operator=(const YMTNodeTexts& other) {
        if (this != &other) Set(other.Name(), other.Description());
        return *this;
    }

    const std::string& Name() const noexcept { return *Pair()->name; }
    const std::string& Description() const noexcept { return *Pair()->description; }
    void SetName(std::string_view name);
    void SetDescription(std::string_view description);
    void Set(std::string_view name, std::string_view description);
    // Points at a pair of the current storage (the cache reader's way).
    void SetPooled(const YMTTextPair* pair) {
        Release();
        m_Bits = reinterpret_cast<uintptr_t>(pair);
    }
    static const YMTTextPair& EmptyPair() {
        static const YMTTextPair empty{&YMTText::Empty(), &YMTText::Empty()};
        return empty;
    }

private:
    const YMTTextPair* Pair() const noexcept {
        return reinterpret_cast<const YMTTextPair*>(m_Bits & ~uintptr_t(1));
    }
    void Release();

    // The pair's address; the lowest bit is set when the field owns it.
    uintptr_t m_Bits;
};

inline bool operator==(const YMTText& a, const YMTText& b) {
    return a.str() == b.str();
}
inline bool operator==(const YMTText& a, const std::string& b) {
    return a.str() == b;
}
inline bool operator==(const YMTText& a, const char* b) {
    return a.str() == b;
}
inline bool operator!=(const YMTText& a, const std::string& b) {
    return !(a == b);
}
inline bool operator!=(const YMTText& a, const char* b) {
    return !(a == b);
}
inline std::string operator+(const char* a, const YMTText& b) {
    return a + b.str();
}
inline std::string operator+(const std::string& a, const YMTText& b) {
    return a + b.str();
}
inline std::string operator+(std::string&& a, const YMTText& b) {
    return std::move(a) + b.str();
}
inline std::string operator+(const YMTText& a, const char* b) {
    return a.str() + b;
}
inline std::string operator+(const YMTText& a, const std::string& b) {
    return a.str() + b;
}

// A short array of 16-bit words of a tree node, in the current storage when
// there is one (else on the heap).
class YMTWords {
public:
    YMTWords() = default;
    ~YMTWords() { Release(); }
    YMTWords(const YMTWords&) = delete;
    YMTWords& operator=(const YMTWords& other) {
        if (this != &other) Assign(other.begin(), other.size());
        return *this;
    }
    YMTWords& operator=(const std::vector<uint16_t>& words) {
        Assign(words.data(), words.size());
        return *this;
    }

    const uint16_t* begin() const { return Words(); }
    const uint16_t* end() const { return Words() + size(); }
    const uint16_t* data() const { return Words(); }
    size_t size() const {
        if (!m_Bits) return 0;
        uint32_t n;
        std::memcpy(&n, reinterpret_cast<const char*>(Words()) - sizeof n, sizeof n);
        return n;
    }
    bool empty() const { return m_Bits == 0; }
    uint16_t operator[](size_t i) const { return Words()[i]; }
    std::vector<uint16_t> ToVector() const { return std::vector<uint16_t>(begin(), end()); }

    void Assign(const uint16_t* words, size_t count);
    // Room for count words, zeroed; the caller fills them.
    uint16_t* Resize(size_t count);

private:
    void Release();
    uint16_t* Words() const { return reinterpret_cast<uint16_t*>(m_Bits & ~uintptr_t(1)); }

    // The words, preceded by their count (u32); the lowest bit is set when the
    // array is on the heap. Zero: no words.
    uintptr_t m_Bits = 0;
};

inline bool operator==(const YMTWords& a, const std::vector<uint16_t>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}
inline bool operator==(const std::vector<uint16_t>& a, const YMTWords& b) {
    return b == a;
}

} // namespace mostfcat
