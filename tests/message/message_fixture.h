// Shared by the message-description suites: descriptions owned by the test,
// decoded and assembled, whose entries are compared as one line of text each
// (the snippets and the catalog set-up are in support/message_xml.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decoding/param_info.h"
#include "message/mesg_info.h"
#include "mostfcat/mesg_info.h"
#include "support/message_xml.h"

namespace mostfcat::test {

using Inputs = std::vector<std::string>;

constexpr uint32_t kAll = 0xFFFFFFFF;
// Names, hex, decimal and value texts, units, suffixes and heads; no
// diagnostics, no value lists, no numbers, text limit from the description.
constexpr uint32_t kTexts = 0x1007F00;

inline std::string Str() {
    return "<TString/>";
}

// --- entries as text -----------------------------------------------------------------

// "kind Llevel @position FullName", then the texts that are set.
inline std::string Row(const YFciParamInfo& e) {
    std::string s =
        StrFormat("%u L%u @%u %s", e.ParamType(), e.Level(), e.Position(), e.FullName().c_str());
    if (!e.DecimalText().empty()) s += " d=" + e.DecimalText();
    if (!e.HexText().empty()) s += " h=" + e.HexText();
    if (!e.ValueText().empty()) s += " v=" + e.ValueText();
    if (!e.UnitText().empty()) s += " u=" + e.UnitText();
    return s;
}
inline Lines Rows(const std::vector<YFciParamInfo*>& entries) {
    Lines out;
    for (const YFciParamInfo* e : entries)
        out.push_back(Row(*e));
    return out;
}

// --- the fixture ---------------------------------------------------------------------

class MessageTest : public LabTest {
protected:
    void TearDown() override {
        m_Infos.clear();
        LabTest::TearDown();
    }
    // A description of function fkt (Status) owned by the test.
    YFciMesgInfo* Info(uint32_t fkt, const Bytes& data = {}, uint32_t options = kAll,
                       uint32_t op = kStatus) {
        m_Infos.emplace_back(m->CreateMesgInfo(1, kFBlock, kInst, fkt, op, data));
        m_Infos.back()->SetOptions(options);
        return m_Infos.back().get();
    }
    Lines Decode(uint32_t fkt, const Bytes& data, uint32_t options = kTexts) {
        return Rows(Info(fkt, data, options)->Disassemble());
    }
    // The rows of a payload given in hex, joined.
    std::string Decoded(uint32_t fkt, const std::string& hex, uint32_t options = kTexts) {
        return Flat(Decode(fkt, FromHex(hex), options));
    }
    // Assembles the inputs; "status index" followed by the payload in hex.
    std::string Assemble(uint32_t fkt, const Inputs& inputs, uint32_t options = kAll,
                         YFciMesgInfo** out = nullptr) {
        YFciMesgInfo* info = Info(fkt, {}, options);
        uint32_t status = 99, index = 99;
        info->Assemble(inputs, status, index);
        if (out) *out = info;
        return StrFormat("%u %u ", status, index) + Hex(info->Data());
    }

    std::vector<std::unique_ptr<YFciMesgInfo>> m_Infos;
};

} // namespace mostfcat::test
