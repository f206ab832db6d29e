// The identifier base and the value base of message-instance values.
#include <new>

#include "params/param.h"
#include "platform/strings.h"
#include "values/value_impl.h"

namespace mostfcat {

YFciParamIDEntity::~YFciParamIDEntity() = default;

std::string YFciParamIDEntity::Join(const std::string& parent, const std::string& tail,
                                    bool glued) {
    if (parent.empty()) return tail;
    return glued ? parent + tail : parent + "." + tail;
}

std::string YFciParamIDEntity::ShortID() {
    std::string tail = ShortIDTail();
    return m_ParentEntity ? Join(m_ParentEntity->ShortID(), tail, false) : tail;
}

std::string YFciParamIDEntity::SymID() {
    std::string tail = SymIDTail();
    return m_ParentEntity ? Join(m_ParentEntity->SymID(), tail, false) : tail;
}

bool YFciParamIDEntity::IsActive() const {
    if (!IsActiveSelf()) return false;
    return m_ParentEntity ? m_ParentEntity->IsActive() : true;
}

YFciParamImpl::~YFciParamImpl() = default;

uint16_t YFciParamImpl::ParamIdx() const {
    return Def() ? Def()->ParamPos() : 0;
}

uint32_t YFciParamImpl::DefinitionSize() const {
    return Def() ? Def()->BytesInMsg() : 0;
}

std::string YFciParamImpl::ShortIDTail() {
    std::string out = std::to_string(ParamIdx());
    if (HasIndex()) out += "[" + std::to_string(m_Index) + "]";
    return out;
}

std::string YFciParamImpl::SymIDTail() {
    std::string out = Name();
    if (HasIndex()) out += "[" + std::to_string(m_Index) + "]";
    return out;
}

uint32_t YFciParamImpl::ParamDispMode() const {
    return Def() ? Def()->ParamDispMode() : 0;
}

uint32_t YFciParamImpl::ParamMeaning() const {
    return Def() ? Def()->ParamMeaning() : 0;
}

const std::string& YFciParamImpl::Name() const {
    static const std::string kEmpty;
    return Def() ? Def()->NameRef() : kEmpty;
}

const std::string& YFciParamImpl::Unit() const {
    static const std::string kEmpty;
    return kEmpty;
}

const std::vector<YFciParam*>& YFciParamImpl::SubParamList() const {
    static const std::vector<YFciParam*> kEmpty;
    return kEmpty;
}

bool YFciParamImpl::IsMultiplexorParam() const {
    return Def() && Def()->IsSelector();
}

std::string YFciParamImpl::GetParamDescription() const {
    return Def() ? Def()->Description() : std::string();
}

bool YFciParamImpl::MatchesPathElement(const YParamPath& path) const {
    if (m_Depth >= path.size()) return false;
    const YPathElement& e = path[m_Depth];
    // "(n)" names the case of a detailed stream; other values have none.
    if (e.hasCase && m_Kind != eFciParamDetailedStream && m_Kind != eFciParamDetailedShortStream)
        return false;
    if (e.hasPosition) {
        if (e.position != ParamIdx()) return false;
    } else if (!EqualsNoCase(e.name, Name())) {
        return false;
    }
    return !e.hasIndex || e.index == m_Index;
}

YFciParam* YFciParamImpl::FindByPath(const YParamPath& path) {
    if (MatchesPathElement(path) && path.size() == size_t(m_Depth) + 1) return m_Handle;
    return nullptr;
}

void YFciParamImpl::NotifyChanged(bool relayout) {
    if (m_Message) m_Message->ValuesChanged(relayout);
}

void YFciParamImpl::Attach(YFciParamIDEntity* parent, uint32_t depth,
                           std::vector<YFciParam*>* siblings) {
    SetParentEntity(parent);
    SetDepth(depth);
    SetSiblingList(siblings);
}

void YFciParamImpl::Detach() {
    ForgetOutside();
    m_ParentEntity = nullptr;
    m_SiblingList = nullptr;
}

} // namespace mostfcat
