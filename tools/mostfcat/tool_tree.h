// A catalog tree node seen through the handle-based functions: its
// attributes and its children, as any host reads them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mostfcat/fct.h"

namespace mostfcat::cli {

class TreeNode {
public:
    TreeNode() = default;
    explicit TreeNode(uint64_t handle) : m_Handle(handle) {}

    uint64_t Handle() const { return m_Handle; }
    explicit operator bool() const { return m_Handle != 0; }
    bool operator==(const TreeNode& other) const { return m_Handle == other.m_Handle; }

    // An attribute, or fallback where the node has none.
    uint32_t Int(uint32_t attribute, uint32_t fallback = 0) const {
        uint32_t v = 0;
        return Get(attribute, v) ? v : fallback;
    }
    bool Get(uint32_t attribute, uint32_t& value) const {
        return (attribute >= MOSTFCAT_ATTR_PARAM_KIND
                    ? gFctGetAttrIntEx(m_Handle, attribute, &value)
                    : gFctGetAttrInt(m_Handle, attribute, &value)) == MOSTFCAT_OK;
    }
    double Float(uint32_t attribute) const {
        double v = 0;
        uint32_t r = attribute >= MOSTFCAT_ATTR_PARAM_KIND
                         ? gFctGetAttrFloatEx(m_Handle, attribute, &v)
                         : gFctGetAttrFloat(m_Handle, attribute, &v);
        return r == MOSTFCAT_OK ? v : 0.0;
    }
    std::string Str(uint32_t attribute) const {
        const char* v = nullptr;
        uint32_t r = attribute >= MOSTFCAT_ATTR_PARAM_KIND
                         ? gFctGetAttrStrEx(m_Handle, attribute, &v)
                         : gFctGetAttrStr(m_Handle, attribute, &v);
        return r == MOSTFCAT_OK && v ? std::string(v) : std::string();
    }
    TreeNode Node(uint32_t attribute) const {
        uint64_t v = 0;
        uint32_t r = attribute >= MOSTFCAT_ATTR_PARAM_KIND
                         ? gFctGetAttrNodeEx(m_Handle, attribute, &v)
                         : gFctGetAttrNode(m_Handle, attribute, &v);
        return TreeNode(r == MOSTFCAT_OK ? v : 0);
    }

    // Texts every node may have.
    std::string Name() const { return Str(MOSTFCAT_ATTR_NAME); }
    std::string Description() const { return Str(MOSTFCAT_ATTR_ANY_DESCRIPTION); }
    // The parameter kind (MOSTFCAT_KIND_...), 0 for a node that is no parameter.
    uint32_t Kind() const { return Int(MOSTFCAT_ATTR_PARAM_KIND); }

    // The child slots of an item kind: the list is indexed (by ID or
    // position) and has empty slots.
    struct Slots {
        const uint64_t* items = nullptr;
        uint32_t count = 0;
        bool operator==(const Slots& o) const {
            if (count != o.count) return false;
            for (uint32_t i = 0; i < count; ++i)
                if (items[i] != o.items[i]) return false;
            return true;
        }
    };
    Slots ChildSlots(uint32_t kind) const {
        Slots s;
        uint64_t* items = nullptr;
        if (gFctGetSubItemList(m_Handle, kind, &items, &s.count) == MOSTFCAT_OK)
            s.items = items;
        else
            s.count = 0;
        return s;
    }
    // The children that are there, with their slot index.
    std::vector<std::pair<uint32_t, TreeNode>> Children(uint32_t kind) const {
        std::vector<std::pair<uint32_t, TreeNode>> out;
        Slots s = ChildSlots(kind);
        for (uint32_t i = 0; i < s.count; ++i)
            if (s.items[i]) out.emplace_back(i, TreeNode(s.items[i]));
        return out;
    }
    // The child in a slot, or an empty node.
    TreeNode ChildAt(uint32_t kind, uint32_t index) const {
        Slots s = ChildSlots(kind);
        return TreeNode(index < s.count ? s.items[index] : 0);
    }

private:
    uint64_t m_Handle = 0;
};

} // namespace mostfcat::cli
