// The compiled layout of an operation: its parameters in position order as a
// flat list of steps. Numbers, enumerations and bool fields, the bulk of real
// payloads, decode from precomputed fields (width, sign, scale, range, value
// table, bit fields) without a virtual call or a walk over the child list, and
// streams choose their case from a precomputed case table; every other kind
// keeps its own decoding step. Either way an entry comes out exactly as the
// parameter's own step makes it: both call the same fill functions below.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "decoding/disasm_context.h"
#include "tree/storage.h"

namespace mostfcat {

class YMTOperation;
class YMTParam;
class YMTParamBool;
class YMTParamBoolField;
class YMTParamDetailedStreamBase;
class YMTParamEnum;
class YMTParamNumber;
class YMTParamStreamCase;

// What a number entry needs of its definition.
struct YNumberStep {
    const YMTParamNumber* number;
    YEntryDescription entry;
    const std::string* unit;
    uint32_t width;
    int32_t exponent;
    double scale; // 10^exponent
    double rangeMin, rangeMax;
    bool isSigned, selector, countSource, arrayPos, hasRange;

    static YNumberStep Of(const YMTParamNumber& number);
    // The value of the width's bytes, sign-extended for signed 1, 2 and 4
    // byte numbers.
    int64_t Raw(const uint8_t* p, size_t n) const;
    // The decimal text ("0" for all-zero bytes; "PosX=.. PosY=.." for array
    // positions).
    void AppendText(std::string& out, const uint8_t* p, size_t n) const;
};

// What an enumeration entry needs of its definition. values, when given,
// lists the defined codes in child order (the first covering code wins);
// without it the definition is searched. byCode, when given, answers every
// code at once (see FirstCoverTable).
struct YEnumStep {
    struct Value {
        uint16_t codeMin, codeMax;
        const std::string* name;
    };
    const YMTParamEnum* en;
    YEntryDescription entry;
    uint32_t width;
    bool selector;
    const std::vector<Value>* values;
    const std::vector<uint16_t>* byCode = nullptr;

    static YEnumStep Of(const YMTParamEnum& en);
    // The byCode table of values (see FirstCoverTable).
    static std::unique_ptr<std::vector<uint16_t>> CodeTable(const std::vector<Value>& values);
    const std::string* NameOf(uint32_t code) const;
};

// What a bool or bit field entry needs of its definition: its bool fields in
// bit order, each with its two texts.
struct YBoolStep {
    struct Field {
        uint32_t bit;
        YEntryDescription entry;
        const std::string* trueDesc;
        const std::string* falseDesc;
        bool oneText; // both states share one text
    };
    YEntryDescription entry;
    uint32_t kind; // kKindBool or kKindBitField
    uint32_t width;
    std::vector<Field> fields;

    static YBoolStep Of(const YMTParamBool& param);
};

// What a stream with cases needs of its definition. cases, when given, lists
// the stream cases with their selector ranges in child order (the first that
// holds the value wins); without it the definition is searched. bySelector,
// when given, answers every selector value at once (see FirstCoverTable).
struct YStreamStep {
    struct Case {
        uint32_t min, max;
        YMTParamStreamCase* streamCase;
    };
    const YMTParamDetailedStreamBase* stream;
    YEntryDescription entry;
    bool isShort;
    const std::vector<Case>* cases;
    const std::vector<uint16_t>* bySelector = nullptr;

    static YStreamStep Of(const YMTParamDetailedStreamBase& stream);
    YMTParamStreamCase* CaseOf(uint32_t selector) const;
};

// A table that answers which of a list of value ranges first holds a value:
// for each value up to the highest one held, 1 + the index of that range, or
// 0 where none holds it. range(i) gives the i-th range as {min, max}; a range
// whose min exceeds its max holds nothing. Null where the table would not be
// small: a value held above 1023, or more than 65534 ranges.
template <class Range>
std::unique_ptr<std::vector<uint16_t>> FirstCoverTable(size_t count, Range range) {
    constexpr uint32_t kMaxValues = 1024;
    if (count >= 0xFFFF) return nullptr;
    uint32_t size = 0;
    for (size_t i = 0; i < count; ++i) {
        auto [min, max] = range(i);
        if (min <= max && max >= size) {
            if (max >= kMaxValues) return nullptr;
            size = static_cast<uint32_t>(max) + 1;
        }
    }
    auto table = std::make_unique<std::vector<uint16_t>>(size, 0);
    // Backwards, so that the first range holding a value writes it last.
    for (size_t i = count; i-- > 0;) {
        auto [min, max] = range(i);
        for (uint32_t v = min; v <= max; ++v)
            (*table)[v] = static_cast<uint16_t>(i + 1);
    }
    return table;
}

// The texts and values of an entry by option (decoding and assembling).
void FillNumberEntry(DisasmContext& ctx, const YNumberStep& step, YFciParamInfoImpl& e,
                     const uint8_t* p, size_t n);
void FillEnumEntry(DisasmContext& ctx, const YEnumStep& step, YFciParamInfoImpl& e,
                   const uint8_t* p, size_t n);
void FillBoolEntry(DisasmContext& ctx, YFciParamInfoImpl& e, const uint8_t* p, size_t n);
// The entry of one bool field, set or not, at byte position at.
void AddBoolFieldEntry(DisasmContext& ctx, const YBoolStep::Field& field, bool set, uint32_t at);
// The decoding steps: the value at the cursor becomes an entry, the cursor
// moves past it; false (with a length diagnostic by option) when the payload
// ends first.
bool DecodeNumber(DisasmContext& ctx, const YNumberStep& step);
bool DecodeEnum(DisasmContext& ctx, const YEnumStep& step);
bool DecodeBool(DisasmContext& ctx, const YBoolStep& step);
// The stream's head entry, its length field (short streams) and the case the
// recorded selector value chooses.
bool DecodeStream(DisasmContext& ctx, const YStreamStep& step);

class YMTOperationPlan : public YMTStorageExtra {
public:
    // The plan of operation's parameters as they are now (the tree of a
    // loaded catalog no longer changes).
    static std::unique_ptr<YMTOperationPlan> Compile(const YMTOperation& operation);

    // Decodes as the operation's parameters do one after the other.
    bool Disassemble(DisasmContext& ctx) const;

    // How many steps run from precomputed fields, and how many in all.
    size_t CompiledSteps() const {
        return m_Numbers.size() + m_Enums.size() + m_Bools.size() + m_Streams.size();
    }
    size_t StepCount() const { return m_Steps.size(); }

private:
    enum class Kind : uint8_t { Number, Enum, Bool, Stream, Own };
    struct Step {
        Kind kind;
        uint32_t index; // into m_Numbers, m_Enums, m_Bools or m_Streams
        YMTParam* param;
    };
    std::vector<Step> m_Steps;
    std::vector<YNumberStep> m_Numbers;
    std::vector<YEnumStep> m_Enums;
    std::vector<YBoolStep> m_Bools;
    std::vector<YStreamStep> m_Streams;
    // One value table per enumeration step and one case table per stream
    // step (the steps point into them).
    std::vector<std::unique_ptr<std::vector<YEnumStep::Value>>> m_Values;
    std::vector<std::unique_ptr<std::vector<uint16_t>>> m_Tables;
    std::vector<std::unique_ptr<std::vector<YStreamStep::Case>>> m_Cases;
};

} // namespace mostfcat
