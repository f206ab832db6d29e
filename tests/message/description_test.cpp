// Message descriptions as objects: resolution and names, the setters that
// clear only on a change, clones, the entry accessors, and descriptions that
// outlive their catalog or their manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "decoding/disasm_context.h"

#include "message/message_fixture.h"

namespace mostfcat::test {
namespace {

std::string Lab(const std::string& levelName = "Level") {
    return Function(levelName, 0x100,
                    Param("N", Num("UByte"), 1) +
                        Param("E", Enum({{"0", "Off"}, {"1", "On"}}), 2)) +
           Function("Trigger", 0x101,
                    Param("Nothing", "<TVoid/>", 1, "PCmdSet") + Param("N", Num("UByte"), 1));
}

class DescriptionTest : public MessageTest {
protected:
    void SetUp() override {
        MessageTest::SetUp();
        OpenLab(Lab());
    }
    static std::string Names(YFciMesgInfo& info) {
        return info.CatalogName() + "/" + info.FBlockName() + "/" + info.InstFBlockName() + "/" +
               info.FunctionName() + "/" + info.OperationName();
    }
    static std::string Nodes(YFciMesgInfo& info) {
        return StrFormat("%d%d%d%d%d", info.CatalogHandle() != 0, info.FBlockNode() != 0,
                         info.InstanceNode() != 0, info.FunctionNode() != 0,
                         info.OperationNode() != 0);
    }
};

TEST_F(DescriptionTest, ResolutionGoesAsDeepAsTheCatalogAllows) {
    struct Row {
        uint32_t fblock, inst, fkt, op;
        std::string names, nodes;
        bool hasParams;
    };
    const Row rows[] = {
        {kFBlock, kInst, 0x100, kStatus, "Lab/Lab/Lab/Level/Status", "11111", true},
        {kFBlock, kInst, 0x100, 0x3, "Lab/Lab/Lab/Level/", "11110", false},
        {kFBlock, kInst, 0x7FF, kStatus, "Lab/Lab/Lab//", "11100", false},
        // Even without the FBlock the first catalog is the best match.
        {0x51, kInst, 0x100, kStatus, "Lab////", "10000", false},
        // A Set operation that carries only a void parameter.
        {kFBlock, kInst, 0x101, 0x0, "Lab/Lab/Lab/Trigger/Set", "11111", false},
        {kFBlock, kInst, 0x101, kStatus, "Lab/Lab/Lab/Trigger/Status", "11111", true},
    };
    for (const Row& r : rows) {
        std::unique_ptr<YFciMesgInfo> info(m->CreateMesgInfo(1, r.fblock, r.inst, r.fkt, r.op));
        EXPECT_EQ(Names(*info), r.names) << std::hex << r.fkt << " " << r.op;
        EXPECT_EQ(Nodes(*info), r.nodes) << std::hex << r.fkt << " " << r.op;
        EXPECT_EQ(info->HasParams(), r.hasParams) << std::hex << r.fkt << " " << r.op;
    }
    // Channel 2 holds nothing; channel 0 and 0xFFFF hold every catalog.
    for (auto [channel, names] : {std::pair<uint16_t, const char*>{2, "////"},
                                  {0, "Lab/Lab/Lab/Level/Status"},
                                  {0xFFFF, "Lab/Lab/Lab/Level/Status"}}) {
        std::unique_ptr<YFciMesgInfo> info(
            m->CreateMesgInfo(channel, kFBlock, kInst, 0x100, kStatus));
        EXPECT_EQ(Names(*info), names) << channel;
    }
    // Without an operation the whole payload is one kind 4 entry (option 0x40).
    YFciMesgInfo* unknown = Info(0x7FF, {1, 2}, kTexts | 0x48);
    EXPECT_EQ(Rows(unknown->Disassemble()), Lines{"1 L0 @0 # Bytes left # h=0102"});
    EXPECT_EQ(Rows(Info(0x7FF, {1, 2}, kTexts | 0x8)->Disassemble()), Lines{});
}

TEST_F(DescriptionTest, CoordinateSettersTakeEffectAtInvalidate) {
    YFciMesgInfo* info = Info(0x100, {7, 1});
    ASSERT_EQ(info->Disassemble().size(), 2u);
    info->SetFktID(0x101);
    info->SetChannel(2);
    EXPECT_EQ(info->FunctionName(), "Level");
    EXPECT_EQ(info->Disassemble().size(), 2u);
    EXPECT_EQ(info->FktID(), 0x101u);
    info->SetChannel(1);
    info->Invalidate();
    EXPECT_EQ(info->FunctionName(), "Trigger");
    EXPECT_EQ(Rows(info->Disassemble()).at(0), "8 L0 @0 N d=7 h=07 v=7");
    // A different instance fallback invalidates by itself.
    info->SetInstID(9);
    info->SetInstFallback(0);
    EXPECT_EQ(info->FunctionName(), "Trigger");
    info->SetInstFallback(3);
    EXPECT_EQ(info->FunctionName(), "") << "fallback 3: the instance at InstID only";
    info->SetInstFallback(1);
    EXPECT_EQ(info->FunctionName(), "Trigger") << "fallback 1: the default instance";
    EXPECT_EQ(info->InstFallback(), 1u);
}

TEST_F(DescriptionTest, Clones) {
    YFciMesgInfo* info = Info(0x100, {7, 1, 9}, kTexts | 0x8);
    info->SetMaxParams(7);
    info->SetValueTextLimit(20);
    info->SetInstFallback(2);
    static_cast<YFciMesgInfoImpl*>(info)->SetAuxLimit(11);
    const auto& entries = info->Disassemble();
    YFciParamInfoNode* tree = info->ParamInfoTree();

    std::unique_ptr<YFciMesgInfo> clone(info->Clone());
    EXPECT_EQ(StrFormat("%x %u %u %u %u %x/%x/%x/%x %s", clone->Options(), clone->MaxParams(),
                        clone->ValueTextLimit(), clone->InstFallback(), clone->AuxLimit(),
                        clone->FBlockID(), clone->InstID(), clone->FktID(), clone->OpType(),
                        Hex(clone->Data()).c_str()),
              "1007f08 7 20 2 11 50/1/100/c 070109");
    // Built: the same rows in new objects, and a tree of its own.
    const auto& copies = clone->Disassemble();
    EXPECT_EQ(Rows(copies), Rows(entries));
    for (size_t i = 0; i < copies.size(); ++i)
        EXPECT_NE(copies[i], entries[i]);
    YFciParamInfoNode* cloneTree = clone->ParamInfoTree();
    ASSERT_NE(cloneTree, tree);
    ASSERT_EQ(cloneTree->m_Children.size(), tree->m_Children.size());
    EXPECT_EQ(cloneTree->m_Children[0].m_Info, copies[0]);
    // The clone stays usable after the original is gone.
    m_Infos.erase(std::find_if(m_Infos.begin(), m_Infos.end(),
                               [&](const auto& p) { return p.get() == info; }));
    EXPECT_EQ(Rows(clone->Disassemble()).back(), "1 L0 @2 # Bytes left # h=09");

    // A clone of a description that was never decoded decodes its own data.
    std::unique_ptr<YFciMesgInfo> fresh(Info(0x100, {3, 0})->Clone());
    EXPECT_EQ(Rows(fresh->Disassemble()),
              (Lines{"8 L0 @0 N d=3 h=03 v=3", "9 L0 @1 E d=0 h=00 v=Off"}));
}

// Everything an entry tells, in one line.
std::string Snapshot(const YFciParamInfo& e) {
    double d = 0;
    uint64_t u = 0;
    bool hasD = e.NumericValue(d), hasU = e.UInt64Value(u);
    std::string list;
    for (const std::string& v : e.ValueList())
        list += v + ";";
    return Row(e) +
           StrFormat(" m%u dm%u data=%s s=%s n=%d:%g u=%d:%llu nd%d len%u bits%u w%d enc%d open%d "
                     "big%d flag%d err%u list=%s",
                     e.ParamMeaning(), e.ParamDispMode(), Hex(e.Data()).c_str(),
                     e.NameSuffix().c_str(), hasD, d, hasU, static_cast<unsigned long long>(u),
                     e.HasNoData(), e.Length(), e.BitLength(), e.IsWildcard(), e.HasEncodingByte(),
                     e.IsOpenEnded(), e.IsBigEndian(), e.ValueFlag(),
                     static_cast<const YFciParamInfoImpl&>(e).ErrorKind(), list.c_str());
}
Lines Snapshots(const std::vector<YFciParamInfo*>& entries) {
    Lines out;
    for (const YFciParamInfo* e : entries)
        out.push_back(Snapshot(*e));
    return out;
}

// A description reuses the entry objects of earlier runs; nothing of an
// earlier run may show through.
TEST_F(DescriptionTest, LaterRunsStartFromFreshEntries) {
    const uint32_t lists = kAll | (3u << 16);
    YFciMesgInfo* info = Info(0x100, {}, lists);
    uint32_t status = 99, index = 99;
    info->Assemble({"*", "{01 *}"}, status, index);
    ASSERT_EQ(status, 0u);
    struct Run {
        Bytes data;
        uint32_t options;
    };
    const Run runs[] = {
        {{7, 1}, lists}, {{7, 1, 9}, 0}, {{0xFF}, kTexts | 0x1}, {{1, 0, 2}, lists}};
    for (const Run& r : runs) {
        info->ClearParamInfos();
        info->SetOptions(r.options);
        info->SetData(r.data);
        EXPECT_EQ(Snapshots(info->Disassemble()),
                  Snapshots(Info(0x100, r.data, r.options)->Disassemble()))
            << Hex(r.data) << " " << std::hex << r.options;
    }
}

// The entries behind a description: runs of many sizes (across block ends,
// beyond what is kept over a release) get distinct entries that stay put for
// the run, fresh ones, and the same ones in the same order as the run before.
// Names taken from definition texts are right whichever entry held which
// name before, also once the text at an address changed after a catalog
// went.
TEST(EntryPoolTest, RunsReuseTheirEntriesInOrder) {
    YEntryPool pool;
    const uint8_t byte = 0xAB;
    YFciParamInfoImpl model(kKindNumber, &byte, 1, 7, false, 8);
    model.SetValueText("model");
    model.SetName("Model");
    std::string first = "First", second = "Second";
    const std::string* names[] = {&first, &second, nullptr};
    uint64_t catalogsDeleted = 0;
    std::vector<YFciParamInfoImpl*> before;
    for (size_t n : {3, 4, 5, 12, 13, 100, 5000, 2, 4097, 0, 7, 30}) {
        if (n == 13 || n == 0) {
            first = n ? "Changed" : "Changed again";
            pool.CheckNameSources(++catalogsDeleted);
        }
        std::vector<YFciParamInfoImpl*> run;
        for (size_t i = 0; i < n; ++i) {
            bool copy = i % 5 == 4;
            const std::string* name = names[i % 3];
            YFciParamInfoImpl* e = copy ? pool.TakeCopy(model)
                                        : pool.Take(kKindEnum, &byte, 1, uint32_t(i), true, 8, name, 0);
            if (!copy && name) e->TakeName(name);
            EXPECT_EQ(e->ValueText(), copy ? "model" : "") << n << " " << i;
            EXPECT_EQ(e->Name(), copy ? "Model" : name ? *name : "") << n << " " << i;
            EXPECT_EQ(e->HasNoData(), !copy) << n << " " << i;
            e->SetPosition(uint32_t(i));
            run.push_back(e);
        }
        std::set<YFciParamInfoImpl*> distinct(run.begin(), run.end());
        ASSERT_EQ(distinct.size(), n);
        for (size_t i = 0; i < n; ++i)
            ASSERT_EQ(run[i]->Position(), i) << "entry " << i << " of " << n << " moved";
        size_t same = std::min({before.size(), n, size_t(4096)});
        EXPECT_TRUE(std::equal(run.begin(), run.begin() + same, before.begin())) << n;
        for (size_t i = 0; i < n; ++i) {
            run[i]->SetValueText("left over");
            if (i % 7 == 6) run[i]->NameRef() += " left over";
        }
        pool.Release();
        before = run;
    }
}

// A diagnostic made in a reused entry reads as in a fresh one, whichever
// sentence the entry held before: kind, name and place in a structure count.
TEST(EntryPoolTest, DiagnosticsInReusedEntriesAreMadeAnew) {
    YEntryPool pool;
    std::vector<YFciParamInfo*> entries;
    uint32_t dataEntries = 0;
    YDisasmTarget target;
    target.entries = &entries;
    target.dataEntryCount = &dataEntries;
    target.pool = &pool;
    const std::string a = "Alpha", b = "Beta";
    struct Case {
        uint32_t kind;
        const std::string& name;
        bool inside;
        const char* text;
    };
    const Case cases[] = {
        {1, a, false, "Position of parameter 'Alpha' exceeds message length"},
        {1, a, true, "Parameter 'Alpha' exceeds length of superior structure"},
        {1, b, true, "Parameter 'Beta' exceeds length of superior structure"},
        {3, b, true, "Unknown streamcase in 'Beta'"},
        {4, b, true, "Bytes left"},
        {2, a, true, "End of message while disassembling string"},
        {5, a, false, "Further interpretation of 'Alpha' not possible"},
        {5, a, false, "Further interpretation of 'Alpha' not possible"},
        {6, b, false, "Stream data length conflict"},
    };
    for (const Case& c : cases) {
        entries.clear();
        dataEntries = 0;
        pool.Release();
        DisasmContext ctx(nullptr, 0, target, 65535, 0xFFFFFFFF, 65535, 1000, nullptr);
        if (c.inside) ctx.SwapLimit(0);
        ctx.Diagnose(c.kind, c.name, nullptr, 0, 0, 0);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0]->Name(), std::string("# ") + c.text + " #") << c.kind;
    }
}

TEST_F(DescriptionTest, EntryAccessors) {
    auto* info = static_cast<YFciMesgInfoImpl*>(Info(0x100, {0xC8, 0x01, 0xAA, 0xBB, 0xCC}));
    const auto& e = info->Disassemble();
    ASSERT_EQ(e.size(), 3u);
    const YFciParamInfo& left = *e[2];
    EXPECT_EQ(left.DataDec(2), "170 187");
    EXPECT_EQ(left.DataHex(9), "AA BB CC");
    EXPECT_EQ(left.DataHex(0), "");
    EXPECT_EQ(e[0]->DataDec(4), "200");
    EXPECT_EQ(e[1]->FullName(), "E");
    EXPECT_EQ(e[0]->Length() + e[1]->Length(), 2u);
    EXPECT_EQ(left.Length(), 5u) << "half the text limit, at most the payload";
    EXPECT_EQ(e[0]->BitLength(), 8u);
    EXPECT_EQ(info->DataEntryCount(), 3u);
    auto* impl = static_cast<YFciParamInfoImpl*>(e[2]);
    EXPECT_EQ(impl->DataAsULong(), 0xAABBCCu);
    EXPECT_EQ(impl->DataAsUInt64(), 0xAABBCCu);
}

// A description kept while its catalog goes away must resolve again instead
// of touching the freed nodes (the sanitizer build makes a slip visible).
TEST_F(DescriptionTest, OutlivesItsCatalog) {
    YFciMesgInfo* info = Info(0x100, {7, 1}, kTexts | 0x48);
    ASSERT_EQ(info->Disassemble().size(), 2u);
    ASSERT_EQ(info->OperationName(), "Status");
    std::unique_ptr<YFciMesgInfo> clone(info->Clone());
    YFciMesgInfo* fresh = Info(0x100, {7, 1}, kTexts | 0x48);
    ASSERT_TRUE(fresh->HasParams());

    State().fcatCacheSize = 0; // no list of released catalogs: closing deletes
    ASSERT_TRUE(m->CloseFCat(1, "Lab"));
    ASSERT_EQ(Pool().EntryCount() + Pool().CachedCount(), 0u) << "the catalog is deleted";
    // Entries are copies: still readable.
    EXPECT_EQ(Rows(info->Disassemble()).at(0), "8 L0 @0 N d=7 h=07 v=7");
    // Every accessor that needs nodes resolves again and finds nothing.
    EXPECT_EQ(Names(*fresh), "////");
    EXPECT_EQ(Nodes(*fresh), "00000");
    EXPECT_FALSE(fresh->HasParams());
    EXPECT_FALSE(info->HasParams());
    EXPECT_EQ(Rows(fresh->Disassemble()), Lines{"1 L0 @0 # Bytes left # h=0701"});
    clone->ClearParamInfos();
    EXPECT_EQ(Rows(clone->Disassemble()), Lines{"1 L0 @0 # Bytes left # h=0701"});
    uint32_t status = 0, index = 0;
    info->ClearParamInfos();
    info->Assemble({"1"}, status, index);
    EXPECT_EQ(status, 3u);
    EXPECT_TRUE(Info(0x100, {7, 1})->Matches(fresh));

    // Opened again (now with a renamed function): nothing was deleted since
    // the last resolution, so the descriptions find it once invalidated.
    WriteFileAt(m_Path,
                CatalogXml(FBlockXml("Lab", "0x50", DeviceXml("Dev", "0x01") + Lab("Gain"))),
                kT0 + 60);
    ASSERT_EQ(Open(*m, m_Path, 1, "Lab"), 0u);
    fresh->Invalidate();
    EXPECT_EQ(Names(*fresh), "Lab/Lab/Lab/Gain/Status");
    EXPECT_EQ(Rows(fresh->Disassemble()).size(), 2u);

    // Re-imported while open: the replaced catalog is deleted and the
    // descriptions resolve again by themselves.
    WriteFileAt(m_Path,
                CatalogXml(FBlockXml("Lab", "0x50", DeviceXml("Dev", "0x01") + Lab("Volume"))),
                kT0 + 120);
    YFciFCatManagerImpl& other = NewManager(4);
    ASSERT_EQ(Open(other, m_Path, 1, "Lab"), 0u);
    EXPECT_EQ(Names(*fresh), "Lab/Lab/Lab/Volume/Status");
    EXPECT_TRUE(fresh->HasParams());
    EXPECT_EQ(clone->FunctionName(), "Volume");
}

TEST_F(DescriptionTest, OutlivesItsManager) {
    YFciMesgInfo* info = Info(0x100, {7, 1}, kTexts | 0x48);
    ASSERT_EQ(info->FunctionName(), "Level");
    Destroy(*m);
    Pool().Clear();
    EXPECT_EQ(Names(*info), "////");
    info->Invalidate();
    EXPECT_EQ(Nodes(*info), "00000");
    EXPECT_EQ(Rows(info->Disassemble()), Lines{"1 L0 @0 # Bytes left # h=0701"});
}

} // namespace
} // namespace mostfcat::test
