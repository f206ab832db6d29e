// Fuzz target: a message description over one of the fuzz catalogs with
// coordinates, option word, limits and payload taken from the input. The
// entries, their tree view, a clone and a match against itself are all
// walked, and every entry must lie within the payload.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_catalogs.h"
#include "mostfcat/mesg_info.h"

using namespace mostfcat;

namespace {

uint32_t Read32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

size_t Walk(const YFciParamInfoNode* node, int depth) {
    if (!node || depth > 200) return 0;
    size_t n = 1;
    for (const YFciParamInfoNode& child : node->m_Children)
        n += Walk(&child, depth + 1);
    return n;
}

void Check(bool ok) {
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kHead = 12;
    if (size < kHead) return 0;
    fuzz::FuzzCatalogs& cats = fuzz::FuzzCatalogs::Get();
    fuzz::Coordinates c = cats.Pick(data[0], uint32_t(data[1]) << 8 | data[2]);
    if (data[3] & 0x80) { // raw coordinates now and then
        c.fblock = data[4];
        c.inst = data[5];
        c.fkt = (uint32_t(data[4]) << 4 | data[5]) & 0xFFF;
        c.op = data[3] & 0xF;
    }
    uint32_t options = Read32(data + 6);
    const uint8_t* payload = data + kHead;
    uint32_t length = static_cast<uint32_t>(size - kHead);

    std::unique_ptr<YFciMesgInfo> info(
        cats.Manager().CreateMesgInfo(c.channel, c.fblock, c.inst, c.fkt, c.op, payload, length));
    if (!info) return 0;
    info->SetOptions(options);
    info->SetMaxParams(data[10] == 0xFF ? 65535 : data[10]);
    info->SetValueTextLimit(data[11]);
    const std::vector<YFciParamInfo*>& entries = info->Disassemble();
    for (const YFciParamInfo* e : entries) {
        // Bytes of an entry come from the payload: they must lie within it.
        Check(e->DataSize() <= length);
        if (!e->HasNoData() && e->DataSize() > 0 && e->ParamType() != 18)
            Check(uint64_t(e->Position()) + e->DataSize() <= length);
        (void)e->FullName();
        (void)e->DataDec(8);
        (void)e->DataHex(8);
        double d;
        uint64_t u;
        e->NumericValue(d);
        e->UInt64Value(u);
        (void)e->ValueList().size();
        (void)e->Matches(*e);
    }
    Check(Walk(info->ParamInfoTree(), 0) <= entries.size() + 1);
    std::unique_ptr<YFciMesgInfo> clone(info->Clone());
    Check(clone && clone->Disassemble().size() == entries.size());
    (void)info->HasParams();
    (void)info->FBlockName();
    (void)info->OperationName();
    clone->Matches(info.get());
    return 0;
}
