#include "tree/storage.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace mostfcat {

thread_local YMTStorage* YMTStorage::t_Current MOSTFCAT_TLS_INITIAL_EXEC = nullptr;

YMTStorage::~YMTStorage() {
    std::free(m_Pairs);
}

void YMTStorage::Seal() {
    m_Strings.Seal();
    std::free(m_Pairs);
    m_Pairs = nullptr;
    m_PairMask = 0;
    m_PairsSealed = true;
}

namespace {
size_t PairSlot(const std::string* name, const std::string* description) {
    uint64_t h = reinterpret_cast<uintptr_t>(name) * 0x9E3779B97F4A7C15ull ^
                 reinterpret_cast<uintptr_t>(description) * 0xC2B2AE3D27D4EB4Full;
    return size_t(h ^ (h >> 29));
}
} // namespace

void YMTStorage::RebuildPairs(size_t count) {
    auto* slots = static_cast<const YMTTextPair**>(std::calloc(count, sizeof(YMTTextPair*)));
    if (!slots) throw std::bad_alloc();
    const size_t mask = count - 1;
    if (m_Pairs) {
        for (size_t i = 0; i <= m_PairMask; ++i) {
            const YMTTextPair* p = m_Pairs[i];
            if (!p) continue;
            size_t j = PairSlot(p->name, p->description) & mask;
            while (slots[j])
                j = (j + 1) & mask;
            slots[j] = p;
        }
        std::free(m_Pairs);
    }
    m_Pairs = slots;
    m_PairMask = mask;
}

void YMTStorage::ExpectBody(size_t bytes) {
    m_Strings.Expect(bytes / 1024);
    size_t count = 1024;
    while (count / 2 < bytes / 2048)
        count *= 2;
    if (!m_PairsSealed && count > m_PairMask + 1) RebuildPairs(count);
}

const YMTTextPair* YMTStorage::InternPair(const std::string* name, const std::string* description) {
    if (m_PairsSealed) {
        // A finished tree keeps no table; later pairs are simply new ones.
        auto* pair = static_cast<YMTTextPair*>(Allocate(sizeof(YMTTextPair)));
        *pair = YMTTextPair{name, description};
        return pair;
    }
    if (!m_Pairs || (m_PairCount + 1) * 2 > m_PairMask + 1)
        RebuildPairs(m_Pairs ? (m_PairMask + 1) * 2 : 1024);
    size_t i = PairSlot(name, description) & m_PairMask;
    for (;; i = (i + 1) & m_PairMask) {
        const YMTTextPair* p = m_Pairs[i];
        if (!p) break;
        if (p->name == name && p->description == description) return p;
    }
    auto* pair = static_cast<YMTTextPair*>(Allocate(sizeof(YMTTextPair)));
    *pair = YMTTextPair{name, description};
    m_Pairs[i] = pair;
    ++m_PairCount;
    return pair;
}

namespace {
// A pair that a node outside any storage owns, with its texts.
struct YOwnedTexts {
    YMTTextPair pair; // first: its address is the object's
    std::string name;
    std::string description;
};
} // namespace

void YMTNodeTexts::Release() {
    if (m_Bits & 1) delete reinterpret_cast<YOwnedTexts*>(m_Bits & ~uintptr_t(1));
    m_Bits = reinterpret_cast<uintptr_t>(&EmptyPair());
}

void YMTNodeTexts::SetName(std::string_view name) {
    // An owned pair changes in place, as separate fields would: a reference
    // to the other text stays good.
    if ((m_Bits & 1) && !YMTStorage::Current()) {
        reinterpret_cast<YOwnedTexts*>(m_Bits & ~uintptr_t(1))->name.assign(name);
        return;
    }
    Set(name, Description());
}

void YMTNodeTexts::SetDescription(std::string_view description) {
    if ((m_Bits & 1) && !YMTStorage::Current()) {
        reinterpret_cast<YOwnedTexts*>(m_Bits & ~uintptr_t(1))->description.assign(description);
        return;
    }
    Set(Name(), description);
}

void YMTNodeTexts::Set(std::string_view name, std::string_view description) {
    if (YMTStorage* storage = YMTStorage::Current()) {
        const std::string* n =
            name.empty() ? &YMTText::Empty() : storage->Intern(name.data(), name.size());
        const std::string* d = description.empty()
                                   ? &YMTText::Empty()
                                   : storage->Intern(description.data(), description.size());
        SetPooled(storage->InternPair(n, d));
        return;
    }
    if (name.empty() && description.empty()) {
        Release();
        return;
    }
    // The new texts first: either view may point into the current ones.
    auto* own = new YOwnedTexts{{nullptr, nullptr}, std::string(name), std::string(description)};
    own->pair = YMTTextPair{&own->name, &own->description};
    Release();
    m_Bits = reinterpret_cast<uintptr_t>(&own->pair) | 1;
}

void YMTText::Assign(const char* data, size_t size) {
    if (size == 0) {
        SetPooled(&Empty());
        return;
    }
    if (YMTStorage* storage = YMTStorage::Current()) {
        SetPooled(storage->Intern(data, size));
        return;
    }
    // The new copy first: data may be this field's own text.
    auto* own = new std::string(data, size);
    Release();
    m_Bits = reinterpret_cast<uintptr_t>(own) | 1;
}

void YMTWords::Release() {
    if (m_Bits & 1) std::free(reinterpret_cast<char*>(Words()) - sizeof(uint32_t));
    m_Bits = 0;
}

uint16_t* YMTWords::Resize(size_t count) {
    if (count > UINT32_MAX / 2) throw std::bad_alloc();
    uintptr_t bits = 0;
    if (count != 0) {
        const size_t bytes = sizeof(uint32_t) + count * sizeof(uint16_t);
        char* memory = nullptr;
        bool owned = false;
        if (YMTStorage* storage = YMTStorage::Current()) {
            memory = static_cast<char*>(storage->Allocate(bytes, 4));
        } else {
            memory = static_cast<char*>(std::malloc(bytes));
            if (!memory) throw std::bad_alloc();
            owned = true;
        }
        const uint32_t n = static_cast<uint32_t>(count);
        std::memcpy(memory, &n, sizeof n);
        std::memset(memory + sizeof n, 0, count * sizeof(uint16_t));
        bits = reinterpret_cast<uintptr_t>(memory + sizeof n) | (owned ? 1 : 0);
    }
    Release();
    m_Bits = bits;
    return Words();
}

void YMTWords::Assign(const uint16_t* words, size_t count) {
    if (words && count && words >= begin() && words < end()) {
        // A part of this array: copy it out first.
        std::vector<uint16_t> copy(words, words + count);
        Assign(copy.data(), copy.size());
        return;
    }
    uint16_t* out = Resize(count);
    if (count) std::memcpy(out, words, count * sizeof(uint16_t));
}

} // namespace mostfcat
