#include "params/layout_plan.h"

#include <cmath>
#include <typeinfo>

#include "decoding/value_text.h"
#include "params/param_bool.h"
#include "params/param_number.h"
#include "params/param_stream.h"
#include "platform/hex.h"
#include "tree/operation.h"

namespace mostfcat {

namespace {

double Pow10(int32_t e) {
    static const double kPow[] = {1e-5, 1e-4, 1e-3, 1e-2, 1e-1, 1.0, 1e1, 1e2, 1e3, 1e4, 1e5};
    if (e >= -5 && e <= 5) return kPow[e + 5];
    return std::pow(10.0, static_cast<double>(e));
}

void AppendPositions(std::string& out, const uint8_t* p, size_t n) {
    out += "PosX=";
    AppendUInt(out, n > 0 ? p[0] : 0);
    out += " PosY=";
    AppendUInt(out, n > 1 ? p[1] : 0);
}

} // namespace

YNumberStep YNumberStep::Of(const YMTParamNumber& number) {
    YNumberStep s;
    s.number = &number;
    s.entry = number.Entry();
    s.unit = &number.UnitName();
    s.width = number.BytesInMsg();
    s.exponent = number.Exponent();
    s.scale = Pow10(s.exponent);
    s.rangeMin = number.RangeMin();
    s.rangeMax = number.RangeMax();
    s.isSigned = number.IsSigned();
    s.selector = number.IsSelector();
    s.countSource = number.IsCountSource();
    s.arrayPos = number.ParamMeaning() == kMeaningArrayPos;
    // Limits of 0 and 0 mean the whole range of the type.
    s.hasRange = s.rangeMin != 0 || s.rangeMax != 0;
    return s;
}

int64_t YNumberStep::Raw(const uint8_t* p, size_t n) const {
    uint64_t raw = ReadBigEndian(p, n);
    if (isSigned) {
        if (n == 1) return static_cast<int8_t>(raw);
        if (n == 2) return static_cast<int16_t>(raw);
        if (n == 4) return static_cast<int32_t>(raw);
    }
    return static_cast<int64_t>(raw);
}

void YNumberStep::AppendText(std::string& out, const uint8_t* p, size_t n) const {
    if (arrayPos)
        AppendPositions(out, p, n);
    else if (ReadBigEndian(p, n) == 0)
        out += '0';
    else
        AppendScaled(out, Raw(p, n), exponent, scale);
}

void FillNumberEntry(DisasmContext& ctx, const YNumberStep& step, YFciParamInfoImpl& e,
                     const uint8_t* p, size_t n) {
    if (ctx.Opt(kOptDecimalText)) {
        std::string& text = e.DecimalRef();
        step.AppendText(text, p, n);
        if (ctx.Opt(kOptValueText)) ctx.SetValueTextOf(e, text);
    } else if (ctx.Opt(kOptValueText)) {
        step.AppendText(e.ValueRef(), p, n);
        ctx.LimitValueText(e);
    }
    if (ctx.Opt(kOptHexText)) {
        if (step.arrayPos)
            AppendPositions(e.HexRef(), p, n);
        else
            AppendHex(e.HexRef(), p, n);
    }
    if (ctx.Opt(kOptUnitText)) e.UnitRef() = *step.unit;
    if (ctx.Opt(kOptNumeric)) e.SetNumeric(static_cast<double>(step.Raw(p, n)) * step.scale);
    if (ctx.Opt(kOptRawValue)) e.SetUInt64(ReadBigEndian(p, n));
    e.SetValueFlag(step.isSigned);
    if (step.hasRange) {
        auto raw = static_cast<double>(step.Raw(p, n));
        if (raw < step.rangeMin || raw > step.rangeMax) e.SetRemarks(kRemarkOutOfRange);
    }
}

bool DecodeNumber(DisasmContext& ctx, const YNumberStep& step) {
    uint32_t pos = ctx.m_Pos;
    uint32_t n = step.width;
    const uint8_t* p = ctx.ValueBytes(step.entry, n);
    if (!p) return false;
    uint64_t value = ReadBigEndian(p, n);
    if (step.selector) ctx.RecordSelector(step.number, static_cast<uint32_t>(value), 0);
    if (step.countSource) ctx.RecordCount(step.number, static_cast<uint32_t>(value));
    YFciParamInfoImpl* e = ctx.NewEntry(kKindNumber, step.entry, p, n, pos, false, n * 8);
    FillNumberEntry(ctx, step, *e, p, n);
    ctx.AddEntry(e);
    ctx.m_Pos = pos + n;
    return true;
}

YEnumStep YEnumStep::Of(const YMTParamEnum& en) {
    return YEnumStep{&en, en.Entry(), en.BytesInMsg(), en.IsSelector(), nullptr};
}

std::unique_ptr<std::vector<uint16_t>> YEnumStep::CodeTable(const std::vector<Value>& values) {
    return FirstCoverTable(values.size(), [&](size_t i) {
        return std::pair<uint32_t, uint32_t>(values[i].codeMin, values[i].codeMax);
    });
}

const std::string* YEnumStep::NameOf(uint32_t code) const {
    if (byCode) {
        if (code >= byCode->size()) return nullptr;
        uint16_t index = (*byCode)[code];
        return index ? (*values)[index - 1u].name : nullptr;
    }
    if (!values) {
        const YMTEnumValue* v = en->FindValueByCode(code);
        return v ? &v->NameRef() : nullptr;
    }
    for (const Value& v : *values)
        if (v.codeMin <= code && code <= v.codeMax) return v.name;
    return nullptr;
}

void FillEnumEntry(DisasmContext& ctx, const YEnumStep& step, YFciParamInfoImpl& e,
                   const uint8_t* p, size_t n) {
    uint32_t code = static_cast<uint32_t>(ReadBigEndian(p, n));
    if (ctx.Opt(kOptDecimalText)) AppendUInt(e.DecimalRef(), code);
    if (ctx.Opt(kOptHexText)) AppendHex(e.HexRef(), p, n);
    const std::string* name = step.NameOf(code);
    if (!name) e.SetRemarks(kRemarkUndefinedCode);
    if (ctx.Opt(kOptValueText)) {
        if (name) {
            ctx.SetValueTextOf(e, *name);
        } else {
            // Written into the entry's own text: a reused entry keeps its buffer.
            YMTParamEnum::AppendUnknownCode(e.ValueRef(), code);
            ctx.LimitValueText(e);
        }
    }
    if (ctx.Opt(kOptNumeric)) e.SetNumeric(code);
    if ((ctx.m_Options >> 16) & 0x3F) {
        const YMTParamEnum* en = step.en;
        std::shared_ptr<const YValueList> spare;
        e.ShareValueList(ctx.ValueListOf(
            en, [en](uint32_t mode, YValueList& list) { en->ListEntries(list, mode); }, spare));
    }
    if (ctx.Opt(kOptRawValue)) e.SetUInt64(code);
    e.SetValueFlag(true);
}

bool DecodeEnum(DisasmContext& ctx, const YEnumStep& step) {
    uint32_t pos = ctx.m_Pos;
    uint32_t n = step.width;
    const uint8_t* p = ctx.ValueBytes(step.entry, n);
    if (!p) return false;
    if (step.selector) ctx.RecordSelector(step.en, static_cast<uint32_t>(ReadBigEndian(p, n)), 0);
    YFciParamInfoImpl* e = ctx.NewEntry(kKindEnum, step.entry, p, n, pos, false, n * 8);
    FillEnumEntry(ctx, step, *e, p, n);
    ctx.AddEntry(e);
    ctx.m_Pos = pos + n;
    return true;
}

std::unique_ptr<YMTOperationPlan> YMTOperationPlan::Compile(const YMTOperation& operation) {
    auto plan = std::make_unique<YMTOperationPlan>();
    uint32_t pos = 0;
    for (bool more = operation.GetFirstPos(pos); more; more = operation.GetNextPos(pos, pos)) {
        YMTParam* p = operation.ParamAt(pos);
        if (!p) continue;
        auto add = [&](Kind kind, auto& steps, auto step) {
            plan->m_Steps.push_back(Step{kind, static_cast<uint32_t>(steps.size()), p});
            steps.push_back(step);
        };
        // Only the kinds themselves: a derived kind may decode its own way.
        const std::type_info& type = typeid(*p);
        if (type == typeid(YMTParamNumber)) {
            add(Kind::Number, plan->m_Numbers, YNumberStep::Of(*static_cast<YMTParamNumber*>(p)));
        } else if (type == typeid(YMTParamEnum)) {
            const auto& en = *static_cast<YMTParamEnum*>(p);
            auto values = std::make_unique<std::vector<YEnumStep::Value>>();
            for (uint32_t i = 0; i < en.GetSize(); ++i)
                if (const YMTEnumValue* v = en.ValueAt(i))
                    values->push_back(YEnumStep::Value{v->CodeMin(), v->CodeMax(), &v->NameRef()});
            YEnumStep step = YEnumStep::Of(en);
            step.values = values.get();
            if (auto byCode = YEnumStep::CodeTable(*values)) {
                step.byCode = byCode.get();
                plan->m_Tables.push_back(std::move(byCode));
            }
            plan->m_Values.push_back(std::move(values));
            add(Kind::Enum, plan->m_Enums, step);
        } else if (type == typeid(YMTParamBool) || type == typeid(YMTParamBitField)) {
            add(Kind::Bool, plan->m_Bools, YBoolStep::Of(*static_cast<YMTParamBool*>(p)));
        } else if (type == typeid(YMTParamDetailedStream) ||
                   type == typeid(YMTParamDetailedShortStream)) {
            const auto& stream = *static_cast<YMTParamDetailedStreamBase*>(p);
            auto cases = std::make_unique<std::vector<YStreamStep::Case>>();
            for (uint32_t i = 0, n = stream.ItemCount(); i < n; ++i) {
                YMTNode* node = stream.ItemAt(i);
                if (node && node->NodeType() == kNodeStreamCase) {
                    auto* c = static_cast<YMTParamStreamCase*>(node);
                    cases->push_back(YStreamStep::Case{c->PosYMin(), c->PosYMax(), c});
                }
            }
            YStreamStep step = YStreamStep::Of(stream);
            step.cases = cases.get();
            auto bySelector = FirstCoverTable(cases->size(), [&](size_t i) {
                return std::pair<uint32_t, uint32_t>((*cases)[i].min, (*cases)[i].max);
            });
            if (bySelector) {
                step.bySelector = bySelector.get();
                plan->m_Tables.push_back(std::move(bySelector));
            }
            plan->m_Cases.push_back(std::move(cases));
            add(Kind::Stream, plan->m_Streams, step);
        } else {
            plan->m_Steps.push_back(Step{Kind::Own, 0, p});
        }
    }
    // Growth slack goes: every plan of a catalog together takes about half
    // its tree's memory again, and a long decode compiles many.
    plan->m_Steps.shrink_to_fit();
    plan->m_Numbers.shrink_to_fit();
    plan->m_Enums.shrink_to_fit();
    plan->m_Bools.shrink_to_fit();
    for (YBoolStep& b : plan->m_Bools)
        b.fields.shrink_to_fit();
    plan->m_Streams.shrink_to_fit();
    plan->m_Values.shrink_to_fit();
    plan->m_Tables.shrink_to_fit();
    plan->m_Cases.shrink_to_fit();
    for (auto& v : plan->m_Values)
        v->shrink_to_fit();
    for (auto& c : plan->m_Cases)
        c->shrink_to_fit();
    return plan;
}

bool YMTOperationPlan::Disassemble(DisasmContext& ctx) const {
    for (const Step& s : m_Steps) {
        if (ctx.EntryLimitReached()) break;
        bool ok;
        switch (s.kind) {
        case Kind::Number:
            ok = DecodeNumber(ctx, m_Numbers[s.index]);
            break;
        case Kind::Enum:
            ok = DecodeEnum(ctx, m_Enums[s.index]);
            break;
        case Kind::Bool:
            ok = DecodeBool(ctx, m_Bools[s.index]);
            break;
        case Kind::Stream:
            ok = DecodeStream(ctx, m_Streams[s.index]);
            break;
        default:
            ok = s.param->Disassemble(ctx);
            break;
        }
        if (!ok) return false;
    }
    return true;
}

} // namespace mostfcat
