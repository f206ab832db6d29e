#include "decoding/param_info.h"

#include "decoding/value_text.h"

// The destructors of the exported interfaces live in the library so that
// hosts find their vtables here.
YFciParamInfo::~YFciParamInfo() = default;

YFciParamInfoNode::YFciParamInfoNode() : m_Info(nullptr) {}
YFciParamInfoNode::YFciParamInfoNode(const YFciParamInfo* info) : m_Info(info) {}
YFciParamInfoNode::YFciParamInfoNode(const YFciParamInfoNode& other) = default;
YFciParamInfoNode& YFciParamInfoNode::operator=(const YFciParamInfoNode& other) {
    if (this != &other) {
        m_Info = other.m_Info;
        m_Children = other.m_Children;
    }
    return *this;
}
YFciParamInfoNode::~YFciParamInfoNode() = default;

namespace mostfcat {

YFciParamInfoImpl::YFciParamInfoImpl(uint32_t kind, const uint8_t* data, size_t size,
                                     uint32_t position, bool hasNoData, uint32_t bitLength)
    : m_ParamType(kind), m_Position(position), m_Length(static_cast<uint32_t>(data ? size : 0)),
      m_BitLength(bitLength), m_HasNoData(hasNoData),
      m_Data(data && size ? data : nullptr, data && size ? data + size : nullptr) {}

YFciParamInfoImpl::~YFciParamInfoImpl() = default;

void YFciParamInfoImpl::ClearTexts(const std::string* name, uint32_t nameForm) {
    // A name made from the same text in the same form stays (the caller
    // takes it again at once); m_Texts tells whether there is one, so a
    // decode without texts never reads the name's fields.
    if (m_Texts & kNameText) {
        if (!name || !HasNameFrom(name, nameForm)) {
            m_Name.clear();
            m_NameFrom = nullptr;
        }
    }
    if (m_Texts & kDecimalText) m_DecimalText.clear();
    if (m_Texts & kHexText) m_HexText.clear();
    if (m_Texts & kValueText) m_ValueText.clear();
    if (m_Texts & kUnitText) m_UnitText.clear();
    if (m_Texts & kSuffixText) m_NameSuffix.clear();
    m_Texts = 0;
}

bool YFciParamInfoImpl::NumericValue(double& out) const {
    out = m_HasNumeric ? m_Numeric : 0;
    return m_HasNumeric;
}

bool YFciParamInfoImpl::UInt64Value(uint64_t& out) const {
    out = m_HasUInt64 ? m_UInt64 : 0;
    return m_HasUInt64;
}

std::string YFciParamInfoImpl::DataDec(uint32_t maxBytes) const {
    if (m_ParamType == kKindBoolField) {
        for (uint8_t b : m_Data)
            if (b) return "1";
        return "0";
    }
    unsigned long n = maxBytes < m_Data.size() ? maxBytes : m_Data.size();
    return YFciHexdumpHelper::BytesToStringDec(m_Data, 0, n);
}

std::string YFciParamInfoImpl::DataHex(uint32_t maxBytes) const {
    if (m_ParamType == kKindBoolField) return DataDec(maxBytes);
    unsigned long n = maxBytes < m_Data.size() ? maxBytes : m_Data.size();
    return YFciHexdumpHelper::BytesToStringHex(m_Data, 0, n);
}

bool YFciParamInfoImpl::Matches(const YFciParamInfo& other) const {
    if (m_ParamType != other.ParamType()) return false;
    const auto* impl = dynamic_cast<const YFciParamInfoImpl*>(&other);
    uint32_t otherKind = impl ? impl->m_ErrorKind : 0;
    if (m_ErrorKind != otherKind) return false;
    if (m_IsWildcard || other.IsWildcard()) return true;
    if (m_ParamType == kKindRawStream && m_IsOpenEnded != other.IsOpenEnded()) return false;
    return m_Data == other.Data();
}

const std::vector<std::string>& YFciParamInfoImpl::ValueList() const {
    static const std::vector<std::string> kEmpty;
    return m_ListShown && m_SharedList ? *m_SharedList : kEmpty;
}

void YFciParamInfoImpl::SetValueList(const std::vector<std::string>& list) {
    if (!m_ListShown || !m_SharedList || m_SharedList.get() != &list)
        m_SharedList = std::make_shared<const YValueList>(list);
    m_ListShown = true;
}

uint32_t YFciParamInfoImpl::DataAsULong() const {
    if (m_Data.size() > 4) return 0;
    return static_cast<uint32_t>(ReadBigEndian(m_Data.data(), m_Data.size()));
}

uint64_t YFciParamInfoImpl::DataAsUInt64() const {
    if (m_Data.size() > 8) return 0;
    return ReadBigEndian(m_Data.data(), m_Data.size());
}

} // namespace mostfcat
