// Synthetic function catalogs. The text is built with plain appends into one
// reserved string, so tens of megabytes take a fraction of a second. All
// choices come from a private splitmix64 generator: the same seed and size
// give the same bytes on every platform and standard library.
//
// Layout: the definitions, then FBlocks with unique FBlockIDs. Up to 256
// FBlocks the catalog grows by FBlocks; beyond that each FBlock gets more
// functions and the functions get more parameters. The first FBlock declares
// the error-parameter templates (ParamDefId) and the function templates
// (FktDefId) that later FBlocks refer to. The first functions of the catalog
// run through every kind of function once, so a catalog of about 100 KB
// already holds every parameter type; smaller ones hold what fits.
//
// The catalog is meant to import without errors or warnings under the default
// import options: positions are dense, parameters without a fixed length come
// last in their operation, names are unique where the importer looks them up,
// ranges stay inside their base types, bit positions inside their widths.
#include "generator/catalog_generator.h"

#include "generator/generator_writer.h"

namespace mostfcat {

using namespace generator_detail;

namespace generator_detail {

// --- catalog --------------------------------------------------------------------------

void CatalogWriter::Header() {
    Put("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!-- Synthetic function catalog, seed ");
    PutInt(int64_t(m_Seed & 0x7FFFFFFFFFFFFFFFull));
    Put(", about ");
    PutInt(int64_t(m_Target));
    Put(" bytes. -->\n<FunctionCatalog>\n");
    m_Depth = 1;
    Version("CatalogVersion");
}

void CatalogWriter::Definitions() {
    Open("Definition");
    static constexpr const char* kTypeNames[6] = {"Unsigned Byte", "Signed Byte",   "Unsigned Word",
                                                  "Signed Word",   "Unsigned Long", "Signed Long"};
    for (int i = 0; i < 6; ++i) {
        Indent();
        Put("<TypeDef TypeID=\"");
        Put(kTypes[i].ref);
        Put("\"><TDefName>");
        Put(kTypeNames[i]);
        Put("</TDefName><TDefSize>");
        PutInt(kTypes[i].bytes);
        Put("</TDefSize></TypeDef>\n");
    }
    // Not a number type; bool parameters name it, numbers never do.
    Indent();
    Put("<TypeDef "
        "TypeID=\"type_boolean\"><TDefName>Boolean</TDefName><TDefSize>1</TDefSize></TypeDef>\n");
    for (uint32_t i = 0; i < m_UnitCount; ++i) {
        const UnitDef& u = kUnits[i];
        Indent();
        Put("<UnitDef UnitID=\"");
        Put(u.id);
        Put("\"><UnitDefName>");
        Put(u.name);
        Put("</UnitDefName><UnitDefCode>");
        Put(u.code);
        Put("</UnitDefCode></UnitDef>\n");
    }
    Close("Definition");
}

// Appends functions until the text reaches endPos. A function that does not
// fit is taken back and the rest is filled with small functions, the last of
// which may overshoot the mark by less than it fills.
void CatalogWriter::FillFunctions(size_t endPos, bool first) {
    const size_t closing = size_t(m_Depth - 1) * 2 + sizeof("</FBlock>\n") - 1;
    bool small = false;
    bool mustWrite = first;
    while (m_NextFunctionId <= 0xFFF) {
        size_t before = m_Out.size();
        if (!mustWrite && before + closing >= endPos) break;
        size_t remaining = endPos > before + closing ? endPos - before - closing : 0;
        if (remaining < 2500) small = true;
        // A kind taken back stays due for the next FBlock.
        const uint32_t cycleMark = m_KindCycle;
        const uint32_t idMark = m_NextFunctionId;
        int kind;
        if (small)
            kind = m_Rng.Pick({int(kNumberProp), int(kSwitchProp), int(kTriggerMethod)});
        else if (m_KindCycle < kKindCount)
            kind = int((m_KindStart + m_KindCycle++) % kKindCount);
        else
            kind = int(m_Rng.Below(kKindCount));

        WriteFunction(kind, small);
        size_t after = m_Out.size();
        // A large function must fit; a small one may overshoot by less than
        // it fills.
        bool overshoot = after + closing > endPos &&
                         (!small || (!mustWrite && after + closing - endPos > remaining));
        if (overshoot) {
            m_Out.resize(before);
            m_KindCycle = cycleMark;
            m_NextFunctionId = idMark;
            m_ElementFunctionNames.pop_back();
            if (small) break;
            small = true;
            continue;
        }
        mustWrite = false;
    }
}

void CatalogWriter::FBlockElement(uint32_t fblockId, const std::string& name,
                                  uint32_t firstInstance, uint32_t devices, bool first,
                                  bool fktRefs, size_t endPos) {
    m_ElementFunctionNames.clear();
    Open("FBlock");
    Leaf("FBlockName", name);
    LeafCode("FBlockID", fblockId, 2);
    Sentence("FBlockDescription");
    if (m_Rng.Chance(70)) Version("FBlockVersion");
    for (uint32_t d = 0; d < devices; ++d) {
        Open("Device");
        Indent();
        Put("<DeviceName>");
        Put(name);
        Put(m_Rng.Pick({"Front", "Rear", "Main", "Aux", "Left", "Right", "Unit"}));
        PutInt(d + 1);
        Put("</DeviceName>\n");
        LeafCode("InstanceID", firstInstance + d, 2);
        Sentence("DeviceDescription");
        if (m_Rng.Chance(50)) Version("DeviceVersion");
        Close("Device");
    }
    m_NextFunctionId = 0x002 + m_Rng.Below(0x300);
    if (first) {
        // The first element declares the templates before the size decides
        // anything.
        if (m_ErrTemplates) NumberProp(false, true);
        if (m_FktTemplates) {
            FktIdsTemplate();
            NotificationTemplate();
        }
    } else if (fktRefs) {
        Indent();
        Put("<Function FktDefRef=\"");
        Put(kFktIdsTemplate);
        Put("\"/>\n");
        Indent();
        Put("<Function FktDefRef=\"");
        Put(kNotificationTemplate);
        Put("\"/>\n");
        m_ElementFunctionNames.push_back("FktIDs");
        m_ElementFunctionNames.push_back("Notification");
    }
    FillFunctions(endPos, first && !m_ErrTemplates);
    Close("FBlock");
}

std::string CatalogWriter::Run() {
    m_Out.reserve(size_t(m_Target + m_Target / 16 + 16384));
    m_ErrTemplates = m_Target >= kMinSizeErrorTemplates;
    m_FktTemplates = m_Target >= kMinSizeFunctionTemplates;
    m_UnitCount = m_Target >= 16 * 1024 ? uint32_t(std::size(kUnits)) : 5;
    m_KindStart = m_Rng.Below(kKindCount);
    Header();
    Definitions();

    const char* footer = "</FunctionCatalog>\n";
    const size_t start = m_Out.size();
    const size_t body = m_Target > start + 20 ? size_t(m_Target) - start - 20 : 0;
    uint32_t count =
        uint32_t(std::clamp<uint64_t>((body + kFBlockBudget / 2) / kFBlockBudget, 1, 256));
    const size_t perFBlock = body / count;
    m_Scale = uint32_t(std::clamp<uint64_t>(perFBlock / (48 * 1024), 1, 12));

    // FBlockIDs in a seed-dependent order.
    uint32_t ids[256];
    for (uint32_t i = 0; i < 256; ++i)
        ids[i] = i;
    for (uint32_t i = 255; i > 0; --i)
        std::swap(ids[i], ids[m_Rng.Below(i + 1)]);

    for (uint32_t i = 0; i < count; ++i) {
        const size_t endPos = start + perFBlock * (i + 1) + (i + 1 == count ? body % count : 0);
        const uint32_t id = ids[i];
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, "%02X", id);
        std::string name = std::string(m_Rng.Pick(kFBlockNames)) + suffix;
        // Device counts: none (one implicit instance 0), one, or several.
        uint32_t r = m_Rng.Below(10);
        uint32_t devices = r < 3 ? 0 : r < 7 ? 1 : 2 + m_Rng.Below(3);
        uint32_t firstInstance = devices ? m_Rng.Below(4) : 0;
        bool fktRefs = m_FktTemplates && i > 0 && m_Rng.Chance(60);
        // Now and then a second element with the same FBlockID, another name
        // and other instances, merged into the first by the importer.
        bool merged = i > 0 && perFBlock >= 12 * 1024 && m_Rng.Chance(15);
        if (merged) {
            size_t mid = m_Out.size() + (endPos - m_Out.size()) / 2;
            FBlockElement(id, name, firstInstance, devices, false, fktRefs, mid);
            FBlockElement(id, name + "Ext", 0x10 + m_Rng.Below(0x10), 1 + m_Rng.Below(2), false,
                          false, endPos);
        } else {
            FBlockElement(id, name, firstInstance, devices, i == 0, fktRefs, endPos);
        }
    }
    m_Depth = 0;
    Put(footer);
    return std::move(m_Out);
}

} // namespace generator_detail

std::string GenerateCatalog(uint64_t seed, uint64_t sizeBytes) {
    return CatalogWriter(seed, sizeBytes).Run();
}

bool GenerateCatalogFile(const std::string& path, uint64_t seed, uint64_t sizeBytes) {
    std::string text = GenerateCatalog(seed, sizeBytes);
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace mostfcat
