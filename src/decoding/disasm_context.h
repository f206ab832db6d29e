// The working object of one decode or assemble run over the parameter
// definitions of an operation: the payload cursor, the limits of the
// enclosing structures, the selector and count values recorded on the way,
// the option word and the entry list being filled.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "decoding/param_info.h"

namespace mostfcat {

// What an entry takes from the parameter definition it describes. The
// definition itself stays unknown here: this layer lies below the catalog
// model, whose parameter kinds decode into it.
struct YEntryDescription {
    const std::string* name;
    uint32_t level;
    uint32_t meaning;
    uint32_t dispMode;
};

// Selectors, counts and value lists are recorded per definition; its address
// is the key.
using YDefinitionKey = const void*;

// Option bits of the decode (the message description's option word).
enum YDisasmOption : uint32_t {
    kOptDiagLength = 0x1,    // kind 1 and the kind 6 of short streams
    kOptDiagString = 0x2,    // kind 2 and the kind 6 of raw streams
    kOptDiagCase = 0x4,      // kind 3
    kOptDiagBytesLeft = 0x8, // kind 4 after the last parameter
    kOptDiagNoInterp = 0x10, // kind 5
    kOptWholePayload = 0x40, // without an operation the payload is one kind 4 entry
    kOptNames = 0x100,
    kOptHexText = 0x200,
    kOptDecimalText = 0x400,
    kOptValueText = 0x800,
    kOptUnitText = 0x1000,
    kOptSuffixes = 0x2000,
    kOptHeads = 0x4000,
    kOptWildcards = 0x8000,
    kOptNumeric = 0x400000,
    kOptTextLimit = 0x1000000,
    kOptRawValue = 0x2000000,
};

// Assembling status codes.
enum YAssembleStatus : uint32_t {
    kAsmOk = 0,
    kAsmNoOperation = 3,
    kAsmNotConvertible = 4,
    kAsmWildcardRefused = 5,
    kAsmBadInput = 6,
    kAsmNoCase = 7,
    kAsmAmbiguousName = 8,
    kAsmNotAssemblable = 9,
    kAsmTooManyInputs = 10,
};

constexpr uint32_t kNoLimit = 0xFFFFFFFF;

// Value lists of enumerations, made once per definition and list mode and
// shared by every entry that shows them.
class YValueListCache {
public:
    // The held list, or null (the pointer is good until the next Put).
    const std::shared_ptr<const YValueList>* Find(YDefinitionKey definition, uint32_t mode) const {
        for (const Item& i : m_Lists)
            if (i.definition == definition && i.mode == mode) return &i.list;
        return nullptr;
    }
    const std::shared_ptr<const YValueList>& Put(YDefinitionKey definition, uint32_t mode,
                                                 std::shared_ptr<const YValueList> list) {
        m_Lists.push_back(Item{definition, mode, std::move(list)});
        return m_Lists.back().list;
    }
    void Clear() { m_Lists.clear(); }

private:
    // A description shows few enumerations: a short list beats a hash map.
    struct Item {
        YDefinitionKey definition;
        uint32_t mode;
        std::shared_ptr<const YValueList> list;
    };
    std::vector<Item> m_Lists;
};

// The entries of a description: made in blocks, reused in the same order by
// every run (a host decoding a trace allocates nothing per message, and the
// entries of one message lie side by side in memory).
class YEntryPool {
public:
    YEntryPool() = default;
    YEntryPool(const YEntryPool&) = delete;
    YEntryPool& operator=(const YEntryPool&) = delete;

    // The next entry, made new again (or made for the first time).
    // name, nameForm: what the entry's name will be made from (see
    // YFciParamInfoImpl::HasNameFrom).
    YFciParamInfoImpl* Take(uint32_t kind, const uint8_t* data, size_t size, uint32_t pos,
                            bool hasNoData, uint32_t bitLength, const std::string* name,
                            uint32_t nameForm) {
        // A run reuses the entries of the runs before it: almost always the
        // next one is there.
        if (m_Next != m_End) {
            YFciParamInfoImpl* entry = m_Next++;
            entry->Reset(kind, data, size, pos, hasNoData, bitLength, name, nameForm);
            return entry;
        }
        return TakeMore(kind, data, size, pos, hasNoData, bitLength, name, nameForm);
    }
    // A copy of other as the next entry.
    YFciParamInfoImpl* TakeCopy(const YFciParamInfoImpl& other);
    // Every entry is free again; beyond a limit the entries of a very long
    // message are freed.
    void Release() {
        if (m_Made > kKeep) Trim();
        Enter(0);
    }
    // Called before a run with the number of catalogs deleted so far: once
    // a catalog went, the definition texts the entries' names were copied
    // from may be gone (and their memory hold other texts).
    void CheckNameSources(uint64_t catalogsDeleted);

private:
    YFciParamInfoImpl* TakeMore(uint32_t kind, const uint8_t* data, size_t size, uint32_t pos,
                                bool hasNoData, uint32_t bitLength, const std::string* name,
                                uint32_t nameForm);
    // The next made entry of a later block, or null when the current block
    // has room for a new one (a new block is added when needed).
    YFciParamInfoImpl* NextMade();
    // Entries a pool keeps over a release (the largest message of a trace
    // decides how many a description holds; beyond this they are freed).
    static constexpr size_t kKeep = 4096;
    // Frees the blocks after the one that holds entry number kKeep.
    void Trim();
    // Makes block the current one, from its first entry.
    void Enter(size_t block) {
        m_Block = block;
        if (block < m_Blocks.size()) {
            m_Next = m_Blocks[block].data();
            m_End = m_Next + m_Blocks[block].size();
        } else {
            m_Next = m_End = nullptr;
        }
    }
    // Blocks grow twice as large each time; an entry never moves.
    std::vector<std::vector<YFciParamInfoImpl>> m_Blocks;
    size_t m_Block = 0;                 // the block of the next entry
    YFciParamInfoImpl* m_Next = nullptr; // the next made entry of that block
    YFciParamInfoImpl* m_End = nullptr;  // the end of its made entries
    size_t m_Made = 0;                   // entries made in all blocks
    uint64_t m_CatalogsDeleted = 0;
};

// Where a run writes its entries.
struct YDisasmTarget {
    std::vector<YFciParamInfo*>* entries = nullptr;
    uint32_t* dataEntryCount = nullptr;
    YValueListCache* valueLists = nullptr;
    // Where entries come from (without one each is allocated, the caller
    // owning it).
    YEntryPool* pool = nullptr;
};

class DisasmContext {
public:
    DisasmContext(const uint8_t* payload, uint32_t size, const YDisasmTarget& target,
                  uint32_t maxParams, uint32_t options, uint32_t textLimit, uint32_t loopLimit,
                  const std::vector<std::string>* inputs = nullptr)
        : m_Options(options), m_TextLimit(textLimit), m_LoopLimit(loopLimit), m_Payload(payload),
          m_Size(payload ? size : 0), m_Target(target), m_MaxParams(maxParams), m_Inputs(inputs) {
        // Only a run that shows names reads what the entries' names were made
        // from.
        if (m_Target.pool && Opt(kOptNames)) CheckNameSources();
    }
    DisasmContext(const DisasmContext&) = delete;
    DisasmContext& operator=(const DisasmContext&) = delete;

    // --- fields of a run (public: the steps of every parameter kind use them) ---
    uint32_t m_Status = kAsmOk;
    uint32_t m_StatusIndex = 0;
    uint32_t m_Pos = 0;
    uint16_t m_BitPos = 0;
    uint8_t m_OpenLength = 0;
    uint32_t m_Limit = kNoLimit;
    uint32_t m_StreamLimit = kNoLimit;
    uint32_t m_InputIndex = 0;
    uint32_t m_Options;
    uint32_t m_TextLimit;
    uint32_t m_LoopLimit;

    // --- the payload ---
    uint32_t PayloadSize() const { return m_Size; }
    uint32_t AvailableLength() const { return m_Limit < m_Size ? m_Limit : m_Size; }
    uint8_t ReadByte(uint32_t pos) const { return pos < AvailableLength() ? m_Payload[pos] : 0; }
    // True when count bytes from pos lie within the available length.
    bool Fits(uint32_t pos, uint64_t count) const {
        return uint64_t(pos) + count <= AvailableLength();
    }
    // count bytes from pos (pointer into the payload), or null when they do
    // not fit or count is 0.
    const uint8_t* BytesAt(uint32_t pos, uint32_t count) const {
        return (count && Fits(pos, count)) ? m_Payload + pos : nullptr;
    }
    std::vector<uint8_t> ReadBytes(uint32_t pos, uint32_t count) const;
    std::vector<uint8_t> ReadBits(uint32_t bytePos, uint16_t bitOffset, uint32_t bitCount,
                                  bool lsbFirst) const;
    uint32_t SwapLimit(uint32_t limit) { return std::exchange(m_Limit, limit); }
    uint32_t SwapStreamLimit(uint32_t limit) { return std::exchange(m_StreamLimit, limit); }

    // --- selectors and counts recorded during the run ---
    void RecordSelector(YDefinitionKey definition, uint32_t value, uint8_t flag);
    bool RecordedSelector(YDefinitionKey definition, uint32_t& value) const;
    bool RecordedSelectorAndFlag(YDefinitionKey definition, uint32_t& value, uint8_t& flag) const;
    void RecordCount(YDefinitionKey definition, uint32_t value);
    bool RecordedCount(YDefinitionKey definition, uint32_t& value) const;

    // --- entries ---
    uint32_t EntryCount() const { return static_cast<uint32_t>(m_Target.entries->size()); }
    YFciParamInfoImpl* EntryAt(uint32_t index) const {
        return static_cast<YFciParamInfoImpl*>((*m_Target.entries)[index]);
    }
    YFciParamInfoImpl* LastEntry() const {
        return m_Target.entries->empty() ? nullptr : EntryAt(EntryCount() - 1);
    }
    void AddEntry(YFciParamInfoImpl* entry) {
        if (!entry) return;
        m_Target.entries->push_back(entry);
        if (!entry->HasNoData()) ++*m_Target.dataEntryCount;
    }
    bool EntryLimitReached() const { return *m_Target.dataEntryCount >= m_MaxParams; }
    // A diagnostic entry. name: the parameter's name as the catalog holds it
    // (kinds 2, 4 and 6 do not use it); entries remember it by address.
    void Diagnose(uint32_t kind, const std::string& name, const uint8_t* data, size_t size,
                  uint32_t pos, uint32_t level);

    // --- inputs (assembling) ---
    uint32_t InputCount() const { return m_Inputs ? static_cast<uint32_t>(m_Inputs->size()) : 0; }
    const std::string& CurrentInput() const;
    bool InputsLeft() const { return m_InputIndex < InputCount(); }
    void SetStatus(uint32_t status, uint32_t index) {
        m_Status = status;
        m_StatusIndex = index;
    }
    void SetStatus(uint32_t status) { SetStatus(status, m_InputIndex); }
    // The raw step on the current input: true when it was a raw input (an
    // entry was made, or the status tells why not); false when the input is
    // not written in braces.
    bool RawStep();
    // Offers the current input to the raw step and checks it is there. True
    // when the parameter's own step should handle it; otherwise done is the
    // step's result.
    bool TakeInput(bool& done);
    // True when the options allow a wildcard input; else the status says it
    // was refused.
    bool WildcardAllowed() {
        if (Opt(kOptWildcards)) return true;
        SetStatus(kAsmWildcardRefused);
        return false;
    }

    // A fresh entry (a spare one when there is one).
    YFciParamInfoImpl* MakeEntry(uint32_t kind, const uint8_t* data, size_t size, uint32_t pos,
                                 bool hasNoData, uint32_t bitLength,
                                 const std::string* name = nullptr, uint32_t nameForm = 0) {
        if (m_Target.pool)
            return m_Target.pool->Take(kind, data, size, pos, hasNoData, bitLength, name,
                                       nameForm);
        return new YFciParamInfoImpl(kind, data, size, pos, hasNoData, bitLength);
    }

    // --- helpers for the steps of the parameter kinds ---
    bool Opt(uint32_t bits) const { return (m_Options & bits) != 0; }
    // A new entry with the definition's name (by option), level, meaning and
    // display mode.
    YFciParamInfoImpl* NewEntry(uint32_t kind, const YEntryDescription& definition,
                                const uint8_t* data, size_t size, uint32_t pos, bool hasNoData,
                                uint32_t bitLength) {
        const std::string* name = Opt(kOptNames) ? definition.name : nullptr;
        YFciParamInfoImpl* entry = MakeEntry(kind, data, size, pos, hasNoData, bitLength, name);
        if (name) entry->TakeName(name);
        entry->Describe(definition.level, definition.meaning, definition.dispMode);
        return entry;
    }
    // Stores a value text, cut to the text limit and followed by "...".
    void SetValueText(YFciParamInfoImpl& entry, std::string text) const;
    void SetValueTextOf(YFciParamInfoImpl& entry, const std::string& text) const;
    // Cuts a value text written in place to the text limit, as SetValueText.
    void LimitValueText(YFciParamInfoImpl& entry) const;
    // The n bytes of a fixed-size value at the cursor; when they are not all
    // available, a kind 1 diagnostic (by option) and null.
    const uint8_t* ValueBytes(const YEntryDescription& definition, uint32_t n);
    // A head entry of a structure (by option).
    void AddHead(uint32_t kind, const YEntryDescription& definition);
    // Sets the suffix "[number]" of the entries from index first on that are
    // at level and are not diagnostics (number as a signed 32-bit value, as
    // hosts have always been shown it).
    void SuffixEntries(uint32_t first, uint32_t level, uint32_t number);
    // The value list of an enumeration for the list mode of the option word:
    // the one the target's cache holds (made on first use), else one made
    // into spare. The reference is good until the next call.
    template <class Make>
    const std::shared_ptr<const YValueList>& ValueListOf(YDefinitionKey definition, Make make,
                                                         std::shared_ptr<const YValueList>& spare) {
        uint32_t mode = (m_Options >> 16) & 0x3F;
        if (m_Target.valueLists)
            if (const auto* list = m_Target.valueLists->Find(definition, mode)) return *list;
        auto list = std::make_shared<YValueList>();
        make(mode, *list);
        if (m_Target.valueLists) return m_Target.valueLists->Put(definition, mode, std::move(list));
        spare = std::move(list);
        return spare;
    }

private:
    // Tells the pool how many catalogs were deleted so far.
    void CheckNameSources();

    const uint8_t* m_Payload;
    uint32_t m_Size;
    YDisasmTarget m_Target;
    uint32_t m_MaxParams;
    const std::vector<std::string>* m_Inputs;

    struct Recorded {
        YDefinitionKey definition;
        uint32_t value;
        uint8_t flag;
    };
    // A short list searched from the front: few selectors and counts per
    // message, the first ones held in the context itself so that a decode
    // allocates nothing for them.
    template <class T, size_t N>
    class SmallList {
    public:
        size_t size() const { return m_Size; }
        T& operator[](size_t i) { return i < N ? m_Inline[i] : m_More[i - N]; }
        const T& operator[](size_t i) const { return i < N ? m_Inline[i] : m_More[i - N]; }
        void push_back(const T& v) {
            if (m_Size < N)
                m_Inline[m_Size] = v;
            else
                m_More.push_back(v);
            ++m_Size;
        }

    private:
        // Not cleared: a slot is written before it is read, and a decode
        // makes a context for every message.
        T m_Inline[N];
        std::vector<T> m_More;
        size_t m_Size = 0;
    };
    SmallList<Recorded, 4> m_Selectors;
    struct Counted {
        YDefinitionKey definition;
        uint32_t value;
    };
    SmallList<Counted, 4> m_Counts;
};

// Texts of the diagnostic kinds (without the "# " ... " #" frame).
std::string DiagnosticText(uint32_t kind, const std::string& name, bool insideStructure);
void AppendDiagnosticText(std::string& out, uint32_t kind, const std::string& name,
                          bool insideStructure);

// Input shape check of assembling by entry kind.
bool InputHasShape(uint32_t kind, const std::string& input);

} // namespace mostfcat
