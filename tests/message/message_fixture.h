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

// --- functions that several suites decode and assemble -------------------------------

// S: a short stream of one case {X (2 bytes), Y (1 byte)} behind its length.
inline std::string ShortStreamFunction(uint32_t id) {
    return Function("Short", id,
                    Param("S",
                          "<TShortStream>" +
                              Case("", "", "X,Y",
                                   Member(1, "X", Num("UWord")) + Member(2, "Y", Num("UByte"))) +
                              "</TShortStream>",
                          1));
}

// Sel, then a stream of 9 bytes whose description lets Sel choose the
// sequence: 1..2 A, B; 3 A, then repeated B, C.
inline std::string TableFunction(uint32_t id) {
    const std::string ubyte = Num("UByte");
    return Function("Table", id,
                    Param("Sel", ubyte, 1) +
                        Param("Table",
                              "<TStream Length=\"9\">" +
                                  Case("", "", "Sel = 1..2 = A, B\nSel = 3 = {A, {B, C}}",
                                       Member(1, "A", ubyte) + Member(2, "B", ubyte) +
                                           Member(3, "C", Num("UWord"))) +
                                  "</TStream>",
                              2));
}

// Kind, then signals in stream cases: kind 2 selects the 3- and 5-bit
// signals of one byte, kind 3 a little-endian 12-bit signal and a nibble,
// kind 4 the same in msb-first order and signed, kind 5 a 3- and a 6-bit
// signal whose case ends inside a byte, kind 6 a repeated 3-bit signal.
inline std::string SignalStreamsFunction(uint32_t id) {
    return Function(
        "Streams", id,
        Param("Kind",
              Enum({{"2", "Bits"}, {"3", "Swapped"}, {"4", "Wide"}, {"5", "Odd"}, {"6", "Rep"}}),
              1) +
            Param("Payload",
                  "<TStream>" +
                      Case("Kind", "2", "Low3,High5",
                           Signal(1, "Low3", 3) + Signal(2, "High5", 5, true)) +
                      Case("Kind", "3", "Word12,Nibble",
                           Signal(1, "Word12", 12) + Signal(2, "Nibble", 4), true) +
                      Case("Kind", "4", "Word12,Nibble",
                           Signal(1, "Word12", 12, true) + Signal(2, "Nibble", 4)) +
                      Case("Kind", "5", "A3,B6", Signal(1, "A3", 3) + Signal(2, "B6", 6)) +
                      Case("Kind", "6", "{{S}}", Signal(1, "S", 3)) + "</TStream>",
                  2));
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

// A fixture whose catalog holds the functions lab() gives.
template <std::string (*lab)()>
class LabMessageTest : public MessageTest {
protected:
    void SetUp() override {
        MessageTest::SetUp();
        OpenLab(lab());
    }
};

} // namespace mostfcat::test
