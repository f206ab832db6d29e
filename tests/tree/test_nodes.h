// A plain container node for the tree tests: any node type and ID, a count
// of destroyed nodes, and Clone and Check that can be made to fail.
#pragma once

#include <string>

#include "tree/node.h"

namespace mostfcat::test {

class TestNode : public YMTNode, public YMTChildList {
public:
    TestNode(const std::string& name, uint32_t type = kNodeNumber, uint32_t id = 0)
        : m_Type(type), m_Id(id) {
        SetName(name);
    }
    ~TestNode() override { ++Destroyed(); }

    static int& Destroyed() {
        static int count = 0;
        return count;
    }

    uint32_t NodeType() const override { return m_Type; }
    uint32_t ID() const override { return m_Id; }
    bool ImportXML(const XDomElement*, YImportContext&, YImportLog&) override { return true; }
    bool Check(YImportContext& ctx, YImportLog& log) override {
        YMTNode::Check(ctx, log);
        ++m_Checked;
        return !m_FailCheck && CheckAll(ctx, log);
    }
    YMTNode* FindChild(const std::string& name) const override { return FindByName(name); }
    YMTNode* ChildAt(uint32_t index) const override { return GetAt(index); }
    YMTNode* Clone() const override {
        if (m_FailClone) return nullptr;
        auto* copy = new TestNode(NameRef(), m_Type, m_Id);
        copy->YMTNode::CopyFrom(this);
        return copy;
    }

    bool m_FailClone = false;
    bool m_FailCheck = false;
    int m_Checked = 0;

private:
    uint32_t m_Type;
    uint32_t m_Id;
};

} // namespace mostfcat::test
