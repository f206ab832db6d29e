// The exported value handles: each forwards to its implementation object and
// keeps exceptions inside the library.
#include <new>

#include "params/param.h"
#include "platform/guard.h"
#include "values/value_impl.h"

using namespace mostfcat;

namespace {} // namespace

// --- YFciParam ------------------------------------------------------------------------------

YFciParam::YFciParam() : m_Impl(nullptr) {}

YFciParam::YFciParam(const YFciParam& other) : m_Impl(other.m_Impl) {
    if (m_Impl) m_Impl->AddRef();
}

YFciParam& YFciParam::operator=(const YFciParam&) {
    return *this;
}

YFciParam::~YFciParam() {
    if (!m_Impl) return;
    if (m_Impl->Release()) {
        delete m_Impl;
    } else if (m_Impl->Handle() == this) {
        // Copies of this handle live on: the value stays, cut off from its
        // message and its tree.
        m_Impl->Detach();
        m_Impl->SetHandle(nullptr);
    }
}

YFciParamType YFciParam::ParamType() {
    return static_cast<YFciParamType>(m_Impl->ParamType());
}
YFciParamDispMode YFciParam::ParamDispMode() {
    return static_cast<YFciParamDispMode>(m_Impl->ParamDispMode());
}
YFciParamMeaning YFciParam::ParamMeaning() {
    return static_cast<YFciParamMeaning>(m_Impl->ParamMeaning());
}
bool YFciParam::IsDescriptionParam() const {
    return false;
}
const std::string& YFciParam::Name() const {
    return m_Impl->Name();
}
std::string YFciParam::DescName(bool hex) {
    return Safe([&] { return m_Impl->DescName(hex); }, std::string());
}
const std::string& YFciParam::Unit() const {
    return m_Impl->Unit();
}
bool YFciParam::IsValueValid() const {
    return m_Impl->IsValueValid();
}
bool YFciParam::IsValueDefined() const {
    return m_Impl->IsValueDefined();
}
YFciParam::Bytes YFciParam::ValueHexdump() {
    return Safe([&] { return m_Impl->ValueHexdump(); }, Bytes());
}
void YFciParam::SetValueHexdumpStr(const std::string& text) {
    SafeDo([&] { m_Impl->SetValueHexdumpStr(text); });
}
std::string YFciParam::ValueHexdumpStr() {
    return Safe([&] { return m_Impl->ValueHexdumpStr(); }, std::string());
}
bool YFciParam::SetUserInputStr(const std::string& input, bool& changed) {
    changed = false;
    return Safe([&] { return m_Impl->SetUserInputStr(input, changed); }, false);
}
std::string YFciParam::UserInputStr(unsigned long mode) {
    return Safe([&] { return m_Impl->UserInputStr(static_cast<uint32_t>(mode)); }, std::string());
}
unsigned long YFciParam::Index() const {
    return m_Impl->Index();
}
bool YFciParam::IsActive() const {
    return m_Impl->IsActive();
}
const std::vector<YFciParam*>& YFciParam::SubParamList() const {
    return m_Impl->SubParamList();
}
std::string YFciParam::ShortID() {
    return Safe([&] { return m_Impl->ShortID(); }, std::string());
}
std::string YFciParam::SymID() {
    return Safe([&] { return m_Impl->SymID(); }, std::string());
}
std::string YFciParam::SymIDTail() {
    return Safe([&] { return m_Impl->SymIDTail(); }, std::string());
}
bool YFciParam::IsMultiplexorParam() const {
    return m_Impl->IsMultiplexorParam();
}
std::string YFciParam::GetParamDescription() {
    return Safe([&] { return m_Impl->GetParamDescription(); }, std::string());
}
uint64_t YFciParam::FctNode() const {
    return m_Impl->FctNode();
}

// --- the kind handles ---------------------------------------------------------------------

// Constructors, copy constructor, destructor and kind of a handle class.
#define MOSTFCAT_HANDLE(Handle, Impl, kind, ...)                                                   \
    Handle::Handle() {                                                                             \
        m_Impl = new Impl(__VA_ARGS__);                                                            \
        m_Impl->SetHandle(this);                                                                   \
    }                                                                                              \
    Handle::Handle(const Handle& other) : YFciParam(other) {}                                      \
    Handle& Handle::operator=(const Handle&) {                                                     \
        return *this;                                                                              \
    }                                                                                              \
    Handle::~Handle() = default;                                                                   \
    YFciParamType Handle::ParamType() {                                                            \
        return kind;                                                                               \
    }

MOSTFCAT_HANDLE(YFciParamNumber, YNumberImpl, eFciParamNumber)
MOSTFCAT_HANDLE(YFciParamEnum, YEnumImpl, eFciParamEnum)
MOSTFCAT_HANDLE(YFciParamString, YStringImpl, eFciParamString)
MOSTFCAT_HANDLE(YFciParamBoolfield, YBoolFieldImpl, eFciParamBoolfield)
MOSTFCAT_HANDLE(YFciParamSignal, YSignalImpl, eFciParamSignal)
MOSTFCAT_HANDLE(YFciParamArray, YArrayImpl, eFciParamArray)
MOSTFCAT_HANDLE(YFciParamRecord, YRecordImpl, eFciParamRecord)
MOSTFCAT_HANDLE(YFciParamDetailedStream, YDetailedStreamImpl, eFciParamDetailedStream,
                eFciParamDetailedStream)
MOSTFCAT_HANDLE(YFciParamDetailedShortStream, YDetailedStreamImpl, eFciParamDetailedShortStream,
                eFciParamDetailedShortStream)
MOSTFCAT_HANDLE(YFciParamStreamCase, YStreamCaseImpl, eFciParamStreamCase)
MOSTFCAT_HANDLE(YFciParamCStream, YLengthStreamImpl, eFciParamCStream, eFciParamCStream)
MOSTFCAT_HANDLE(YFciParamRawShortStream, YLengthStreamImpl, eFciParamRawShortStream,
                eFciParamRawShortStream)
MOSTFCAT_HANDLE(YFciParamRawStream, YRawImpl, eFciParamRawStream, eFciParamRawStream)
MOSTFCAT_HANDLE(YFciParamRemain, YRawImpl, eFciParamRemain, eFciParamRemain)

#undef MOSTFCAT_HANDLE

// Bool and bit field share one implementation class.
YFciParamBool::YFciParamBool() {
    m_Impl = new YBoolImpl(eFciParamBool);
    m_Impl->SetHandle(this);
}
YFciParamBool::YFciParamBool(mostfcat::YFciParamImpl* impl) {
    m_Impl = impl;
    m_Impl->SetHandle(this);
}
YFciParamBool::YFciParamBool(const YFciParamBool& other) : YFciParam(other) {}
YFciParamBool& YFciParamBool::operator=(const YFciParamBool&) {
    return *this;
}
YFciParamBool::~YFciParamBool() = default;
YFciParamType YFciParamBool::ParamType() {
    return eFciParamBool;
}
YFciParamBitfield::YFciParamBitfield() : YFciParamBool(new YBoolImpl(eFciParamBitfield)) {}
YFciParamBitfield::YFciParamBitfield(const YFciParamBitfield& other) : YFciParamBool(other) {}
YFciParamBitfield& YFciParamBitfield::operator=(const YFciParamBitfield&) {
    return *this;
}
YFciParamBitfield::~YFciParamBitfield() = default;
YFciParamType YFciParamBitfield::ParamType() {
    return eFciParamBitfield;
}

// --- number ---
#define IMPL(T) static_cast<T*>(m_Impl)

bool YFciParamNumber::SetValue(double value) {
    return Safe([&] { return IMPL(YNumberImpl)->SetValue(value); }, false);
}
double YFciParamNumber::Value() const {
    return IMPL(YNumberImpl)->Value();
}
YFciParamNumber::NumberType YFciParamNumber::ValueType() {
    return static_cast<NumberType>(IMPL(YNumberImpl)->ValueType());
}
double YFciParamNumber::MinValue() const {
    return IMPL(YNumberImpl)->MinValue();
}
double YFciParamNumber::MaxValue() const {
    return IMPL(YNumberImpl)->MaxValue();
}
long YFciParamNumber::Exponent() const {
    return IMPL(YNumberImpl)->Exponent();
}
YFciParamNumber::WildcardType YFciParamNumber::Wildcard() {
    return static_cast<WildcardType>(IMPL(YNumberImpl)->Wildcard());
}
bool YFciParamNumber::UserInputStringToValue(const std::string& text, double& value) const {
    return Safe([&] { return IMPL(YNumberImpl)->UserInputStringToValue(text, value); }, false);
}

// --- enumeration ---
bool YFciParamEnum::SetValue(long value) {
    return Safe([&] { return IMPL(YEnumImpl)->SetValue(value); }, false);
}
long YFciParamEnum::Value() const {
    return IMPL(YEnumImpl)->Value();
}
std::vector<std::string> YFciParamEnum::ValueList(unsigned long mode) {
    return Safe([&] { return IMPL(YEnumImpl)->ValueList(static_cast<uint32_t>(mode)); },
                std::vector<std::string>());
}
YFciParamEnum::EnumType YFciParamEnum::ValueType() {
    return static_cast<EnumType>(IMPL(YEnumImpl)->ValueType());
}
long YFciParamEnum::MaxValue() const {
    return IMPL(YEnumImpl)->MaxValue();
}
bool YFciParamEnum::UserInputStringToValue(const std::string& text, long& value) const {
    return Safe([&] { return IMPL(YEnumImpl)->UserInputStringToValue(text, value); }, false);
}

// --- string ---
void YFciParamString::SetValue(const std::string& text) {
    SafeDo([&] { IMPL(YStringImpl)->SetValue(text); });
}
std::string YFciParamString::Value() {
    return Safe([&] { return IMPL(YStringImpl)->Value(); }, std::string());
}
unsigned long YFciParamString::MaxSize() const {
    return IMPL(YStringImpl)->MaxSize();
}
bool YFciParamString::HasEncodingByte() const {
    return IMPL(YStringImpl)->HasEncodingByte();
}
void YFciParamString::SetHexdump(const Bytes& bytes) {
    SafeDo([&] { IMPL(YStringImpl)->SetHexdump(bytes); });
}
void YFciParamString::SetEncoding(YFciStringEncoding encoding) {
    SafeDo([&] { IMPL(YStringImpl)->SetEncoding(encoding); });
}
YFciStringEncoding YFciParamString::Encoding() {
    return IMPL(YStringImpl)->Encoding();
}

// --- bool field ---
void YFciParamBoolfield::SetValue(BoolType value) {
    SafeDo([&] { IMPL(YBoolFieldImpl)->SetValue(static_cast<uint32_t>(value)); });
}
YFciParamBoolfield::BoolType YFciParamBoolfield::Value() {
    return static_cast<BoolType>(IMPL(YBoolFieldImpl)->Value());
}
std::vector<std::string> YFciParamBoolfield::ValueList(unsigned long mode) {
    return Safe([&] { return IMPL(YBoolFieldImpl)->ValueList(static_cast<uint32_t>(mode)); },
                std::vector<std::string>());
}
unsigned int YFciParamBoolfield::BitPosition() const {
    return IMPL(YBoolFieldImpl)->BitPosition();
}

// --- bool and bit field ---
YFciParamNumber::NumberType YFciParamBool::ValueType() {
    return static_cast<YFciParamNumber::NumberType>(IMPL(YBoolImpl)->ValueType());
}
uint64_t YFciParamBool::MinValue() const {
    return IMPL(YBoolImpl)->MinValue();
}
uint64_t YFciParamBool::MaxValue() const {
    return IMPL(YBoolImpl)->MaxValue();
}
void YFciParamBool::SetValueHexdump(Bytes& bytes) {
    SafeDo([&] { IMPL(YBoolImpl)->SetValueHexdump(bytes); });
}
void YFciParamBool::SetValue(uint64_t value) {
    SafeDo([&] { IMPL(YBoolImpl)->SetValue(value, true); });
}
uint64_t YFciParamBool::Value() const {
    return IMPL(YBoolImpl)->Value();
}
bool YFciParamBool::UserInputStringToValue(const std::string& text, uint64_t& value) const {
    return Safe([&] { return IMPL(YBoolImpl)->ParseInput(text, value); }, false);
}

// --- signal ---
bool YFciParamSignal::IsDescriptionParam() const {
    return IMPL(YSignalImpl)->IsDescriptionParam();
}
int64_t YFciParamSignal::MinValue() const {
    return IMPL(YSignalImpl)->MinValue();
}
uint64_t YFciParamSignal::MaxValue() const {
    return IMPL(YSignalImpl)->MaxValue();
}
YFciParamSignal::intUnion YFciParamSignal::Value() {
    intUnion v;
    v.u = Safe([&] { return IMPL(YSignalImpl)->Value(); }, uint64_t(0));
    return v;
}
bool YFciParamSignal::SetValue(intUnion value) {
    return Safe([&] { return IMPL(YSignalImpl)->SetValue(value.u); }, false);
}
bool YFciParamSignal::SetValueHexdump(const Bytes& bytes) {
    return Safe([&] { return IMPL(YSignalImpl)->SetValueHexdump(bytes); }, false);
}
long YFciParamSignal::BitLength() const {
    return IMPL(YSignalImpl)->BitLength();
}
bool YFciParamSignal::IsSigned() const {
    return IMPL(YSignalImpl)->IsSigned();
}
bool YFciParamSignal::IsBigEndian() const {
    return IMPL(YSignalImpl)->IsBigEndian();
}

// --- structures ---
bool YFciParamArray::IsDescriptionParam() const {
    return true;
}
unsigned long YFciParamArray::GetSelectorValue() const {
    return IMPL(YArrayImpl)->GetSelectorValue();
}
bool YFciParamArray::InsertElem() {
    return Safe([&] { return IMPL(YArrayImpl)->InsertElem(); }, false);
}
bool YFciParamArray::RemoveElem(YFciParam* element) {
    return Safe([&] { return IMPL(YArrayImpl)->RemoveElem(element); }, false);
}
bool YFciParamRecord::IsDescriptionParam() const {
    return true;
}
unsigned long YFciParamRecord::GetSelectorValue() const {
    return IMPL(YRecordImpl)->GetSelectorValue();
}
bool YFciParamDetailedStream::IsDescriptionParam() const {
    return true;
}
YFciParam* YFciParamDetailedStream::GetMultiplexorParam() const {
    return IMPL(YDetailedStreamImpl)->GetMultiplexorParam();
}
bool YFciParamDetailedShortStream::IsDescriptionParam() const {
    return true;
}
YFciParam* YFciParamDetailedShortStream::GetMultiplexorParam() const {
    return IMPL(YDetailedStreamImpl)->GetMultiplexorParam();
}
bool YFciParamStreamCase::IsDescriptionParam() const {
    return true;
}
bool YFciParamStreamCase::HasSequence() const {
    return IMPL(YStreamCaseImpl)->HasSequence();
}
bool YFciParamStreamCase::InsertSequence() {
    return Safe([&] { return IMPL(YStreamCaseImpl)->InsertSequence(); }, false);
}
bool YFciParamStreamCase::RemoveSequence(YFciParam* member) {
    return Safe([&] { return IMPL(YStreamCaseImpl)->RemoveSequence(member); }, false);
}
bool YFciParamCStream::IsDescriptionParam() const {
    return true;
}
unsigned long YFciParamCStream::MaxLength() const {
    return IMPL(YLengthStreamImpl)->MaxLength();
}
bool YFciParamRawShortStream::IsDescriptionParam() const {
    return true;
}
unsigned long YFciParamRawShortStream::MaxLength() const {
    return IMPL(YLengthStreamImpl)->MaxLength();
}
void YFciParamRawStream::SetHexdump(const Bytes& bytes) {
    SafeDo([&] { IMPL(YRawImpl)->SetHexdump(bytes); });
}
unsigned long YFciParamRawStream::MaxLength() const {
    return IMPL(YRawImpl)->MaxLength();
}

#undef IMPL

// --- the kind factory ------------------------------------------------------------------------

namespace mostfcat {

YFciParam* CreateValue(const YMTParam* definition, YValueOwner* message) {
    if (!definition) return nullptr;
    YFciParam* h = nullptr;
    switch (definition->NodeType()) {
    case kNodeDetailedStream:
        h = new YFciParamDetailedStream();
        break;
    case kNodeStreamCase:
        h = new YFciParamStreamCase();
        break;
    case kNodeArray:
        h = new YFciParamArray();
        break;
    case kNodeRecord:
        h = new YFciParamRecord();
        break;
    case kNodeBool:
        h = new YFciParamBool();
        break;
    case kNodeBoolField:
        h = new YFciParamBoolfield();
        break;
    case kNodeNumber:
        h = new YFciParamNumber();
        break;
    case kNodeEnum:
        h = new YFciParamEnum();
        break;
    case kNodeString:
        h = new YFciParamString();
        break;
    case kNodeBitField:
        h = new YFciParamBitfield();
        break;
    case kNodeDetailedShortStream:
        h = new YFciParamDetailedShortStream();
        break;
    case kNodeRawStream:
        h = new YFciParamRawStream();
        break;
    case kNodeCStream:
        h = new YFciParamCStream();
        break;
    case kNodeRawShortStream:
        h = new YFciParamRawShortStream();
        break;
    case kNodeSignal:
        h = new YFciParamSignal();
        break;
    default:
        return nullptr;
    }
    h->Impl()->SetDefinition(definition);
    h->Impl()->SetMessage(message);
    return h;
}

} // namespace mostfcat
