// Shared by the parameter suites: log messages on one line or as codes, a
// number type, and a fixture that imports single parameter elements.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "import/import_context.h"
#include "import/import_log.h"
#include "import/import_state.h"
#include "params/param.h"
#include "platform/strings.h"
#include "support/test_support.h"
#include "tree/catalog.h"
#include "tree/function.h"
#include "tree/operation.h"

namespace mostfcat::test {

using Msgs = std::vector<std::string>;

inline std::string Warn(uint32_t n, const std::string& where, const std::string& text) {
    return StrFormat("Warning #%04u in '%s': %s", n, where.c_str(), text.c_str());
}
inline std::string Err(uint32_t n, const std::string& where, const std::string& text) {
    return StrFormat("Error #%04u in '%s': %s", n, where.c_str(), text.c_str());
}

// A TNumber type of one or two unsigned bytes without unit.
inline std::string NumberType(int width = 2) {
    return StrFormat("<TNumber><Exponent>0</Exponent><BasisDataType><%s TypeRef=\"%s\"/>"
                     "</BasisDataType><Unit UnitRef=\"unit_none\"/><Step>1</Step></TNumber>",
                     width == 1 ? "TUByte" : "TUWord",
                     width == 1 ? "type_unsigned_byte" : "type_unsigned_word");
}

// The shared type and unit definitions plus unit_undefined, descriptions off,
// and a function "Func" with the operation "Status" (OpType 12). Imports
// leave their messages in m_Msgs.
class ParamTest : public CatalogTest {
protected:
    void SetUp() override {
        CatalogTest::SetUp();
        m_Ctx.SetOptions(YImportState::kDefaultOptions & ~YImportContext::kOptDescriptions);
        XmlDoc doc("<Definition>" + StandardDefinitions() +
                   "<UnitDef UnitID=\"unit_undefined\"><UnitDefName>undef</UnitDefName>"
                   "<UnitDefCode>1</UnitDefCode></UnitDef></Definition>");
        auto* defs = new YMTDefinition();
        YImportLog quiet;
        ASSERT_TRUE(defs->ImportXML(doc.Root(), m_Ctx, quiet));
        m_Ctx.SetDefinitions(defs);
        m_Fn.SetName("Func");
        m_Op = AddOperation(m_Fn, "Status", 12);
    }

    static YMTOperation* AddOperation(YMTFunction& fn, const char* name, uint32_t opType) {
        auto* op = new YMTOperation();
        op->SetName(name);
        op->OpType = opType;
        op->SetParent(&fn);
        fn.SetAt(op, opType);
        return op;
    }

    // Imports xml into a new T.
    template <class T> std::unique_ptr<T> ImportParam(const std::string& xml, bool ok = true) {
        auto p = std::make_unique<T>();
        RunImport(*p, xml, ok);
        return p;
    }
    // Imports xml into the class the dispatcher picks (null unless it is T).
    template <class T = YMTParam>
    std::unique_ptr<T> Make(const std::string& xml, bool ok = true, YMTNode* parent = nullptr) {
        XmlDoc doc(xml);
        std::unique_ptr<YMTParam> p(CreateParamFromElement(m_Ctx, doc.Root(), false, ""));
        if (p && !std::is_same_v<T, YMTParam> && p->NodeType() != T().NodeType()) p.reset();
        if (!p) {
            ADD_FAILURE() << "wrong class for " << xml;
            return nullptr;
        }
        p->SetParent(parent);
        RunImport(*p, xml, ok);
        return std::unique_ptr<T>(static_cast<T*>(p.release()));
    }
    // The node type the dispatcher picks (0 for none).
    uint32_t Dispatch(const std::string& xml, bool errorDefaults = false,
                      const std::string& owner = "Func") {
        XmlDoc doc(xml);
        std::unique_ptr<YMTParam> p(
            CreateParamFromElement(m_Ctx, doc.Root(), errorDefaults, owner));
        return p ? p->NodeType() : 0;
    }

    // Places a parameter at pos of an operation (Status by default) or of
    // another parameter.
    YMTParam* Add(uint32_t pos, const std::string& xml, YMTOperation* op = nullptr) {
        op = op ? op : m_Op;
        return Put(Make(xml, true, op).release(), pos, op);
    }
    template <class T> T* Put(T* param, uint32_t pos, YMTOperation* op = nullptr) {
        return Put(op ? *op : *m_Op, param, pos);
    }
    template <class P, class T> T* Put(P& parent, T* param, uint32_t pos) {
        param->SetParent(&parent);
        param->SetParamPos(static_cast<uint16_t>(pos));
        parent.SetAt(param, pos);
        return param;
    }

    Msgs CheckMsgs(YMTNode& node, bool ok = true) {
        LogCapture capture;
        EXPECT_EQ(node.Check(m_Ctx, capture.Log()), ok) << node.NameRef();
        return Joined(capture.Lines());
    }

    YImportContext m_Ctx;
    YMTFunction m_Fn;
    YMTOperation* m_Op = nullptr;
    Msgs m_Msgs;

private:
    void RunImport(YMTNode& node, const std::string& xml, bool ok) {
        XmlDoc doc(xml);
        LogCapture capture;
        EXPECT_EQ(node.ImportXML(doc.Root(), m_Ctx, capture.Log()), ok) << xml;
        m_Msgs = Joined(capture.Lines());
    }
};

} // namespace mostfcat::test

namespace mostfcat {
// The message helpers every parameter suite compares with.
using test::Err;
using test::Msgs;
using test::Warn;
} // namespace mostfcat
