// FBlocks and instances: name and identifier repairs, instance import,
// attributes, instance look-up and dump.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/test_support.h"
#include "tree/catalog.h"
#include "tree/fblock.h"

namespace mostfcat {
namespace {

using ::testing::Contains;
using test::CatalogXml;
using test::Imported;
using Lines = std::vector<std::string>;

// An FBlock element; the description is present so that the default options
// add no warning of their own.
std::string FBlock(const std::string& name, const std::string& id, const std::string& rest = "") {
    return "<FBlock><FBlockName>" + name + "</FBlockName><FBlockID>" + id +
           "</FBlockID><FBlockDescription>d</FBlockDescription>" + rest + "</FBlock>";
}

std::string Device(const std::string& name, const std::string& id, const std::string& rest = "") {
    return "<Device><DeviceName>" + name + "</DeviceName><InstanceID>" + id + "</InstanceID>" +
           rest + "</Device>";
}

class FBlockTest : public test::CatalogTest {
protected:
    // Imports the FBlocks; the import must succeed.
    Imported Run(const std::string& fblocks) {
        Imported r = Import(CatalogXml(fblocks));
        EXPECT_EQ(r.status, 0u) << r.log;
        return r;
    }
};

TEST_F(FBlockTest, LeadingDigitAndNameRewriting) {
    Imported r = Run(FBlock("3DSound", "0x10") + FBlock(" Rear Amp (2) ", "0x11") +
                     FBlock("***", "0x12"));
    EXPECT_EQ(Messages(r.log), (Lines{"Warning #0223 in '//_3DSound':",
                                      "  Adapted FBlock name due to leading digit ('_3DSound')."}));
    EXPECT_EQ(r.catalog->FBlockAt(0x10)->NameRef(), "_3DSound");
    EXPECT_EQ(r.catalog->FBlockAt(0x11)->NameRef(), "Rear_Amp__2");
    EXPECT_EQ(r.catalog->FBlockAt(0x12)->NameRef(), "_NA_");
}

TEST_F(FBlockTest, NameClashesAreRenamedWithTheFBlockID) {
    Imported r = Run(FBlock("Amp", "0x22") + FBlock("AMP", "0x23") + FBlock("Amp", "0x24") +
                     FBlock("Amp_25", "0x30") + FBlock("amp", "0x25"));
    EXPECT_EQ(Messages(r.log),
              (Lines{"Warning #0144 in '//AMP':",
                     "  Double definition of FBlock name 'AMP'. FBlock (0x23) will be renamed to "
                     "'AMP_23'.",
                     "Warning #0144 in '//Amp':",
                     "  Double definition of FBlock name 'Amp'. FBlock (0x24) will be renamed to "
                     "'Amp_24'.",
                     "Warning #0144 in '//amp':",
                     "  Double definition of FBlock name 'amp'. FBlock (0x25) will be renamed to "
                     "'amp_25_1'."}));
    EXPECT_EQ(r.catalog->FBlockAt(0x22)->NameRef(), "Amp");
    EXPECT_EQ(r.catalog->FBlockAt(0x23)->NameRef(), "AMP_23");
    EXPECT_EQ(r.catalog->FBlockAt(0x24)->NameRef(), "Amp_24");
    EXPECT_EQ(r.catalog->FBlockAt(0x25)->NameRef(), "amp_25_1");
    // Instances carry the name the FBlock had when they were imported.
    EXPECT_EQ(r.catalog->FBlockAt(0x23)->FirstInstance()->InstFBlockName, "AMP_23");
}

TEST_F(FBlockTest, RenameGivesUpAfter98Candidates) {
    std::string fblocks = FBlock("Amp", "0x22") + FBlock("Amp_25", "0x30");
    for (int n = 1; n <= 98; ++n) fblocks += FBlock("Amp_25_" + std::to_string(n), std::to_string(n + 0x40));
    fblocks += FBlock("Amp", "0x25");
    Imported r = Run(fblocks);
    EXPECT_EQ(Messages(r.log),
              (Lines{"Warning #0144 in '//Amp':",
                     "  Double definition of FBlock name 'Amp'. FBlock (0x25) will be renamed to "
                     "'Amp_25_98'.",
                     "Error #0149 in '/':", "  Failed to import element <FBlock>"}));
    EXPECT_EQ(r.catalog->FBlockAt(0x25), nullptr);
    EXPECT_EQ(r.catalog->GetCount(), 100u);
}

TEST_F(FBlockTest, IdentifierErrors) {
    Imported r = Run(FBlock("Amp", "0x22") + "<FBlock><FBlockID>1</FBlockID></FBlock>" +
                     "<FBlock><FBlockName>NoId</FBlockName></FBlock>" + FBlock("Bad", "12x") +
                     FBlock("Big", "0x100") + FBlock("Neg", "-1"));
    EXPECT_EQ(Messages(r.log),
              (Lines{"Error #0139 in '//':", "  Can not find child element <FBlockName>",
                     "Error #0149 in '/':", "  Failed to import element <FBlock>",
                     "Error #0140 in '//NoId':", "  Can not find child element <FBlockID>",
                     "Error #0149 in '/':", "  Failed to import element <FBlock>",
                     "Error #0141 in '//Bad':", "  Failed to analyze value '12x'",
                     "Error #0149 in '/':", "  Failed to import element <FBlock>",
                     "Error #0142 in '//Big':", "  Value '256' out of range [0, 256)",
                     "Error #0149 in '/':", "  Failed to import element <FBlock>",
                     "Error #0142 in '//Neg':", "  Value '-1' out of range [0, 256)",
                     "Error #0149 in '/':", "  Failed to import element <FBlock>"}));
    EXPECT_EQ(r.catalog->GetCount(), 1u);

    // The number reader: decimal, hexadecimal, binary, blanks and case.
    r = Run(FBlock("A", "34") + FBlock("B", " 0X23 ") + FBlock("C", "0b0010 0100") +
            FBlock("D", "255") + FBlock("E", ""));
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
    EXPECT_EQ(r.catalog->FBlockAt(34)->NameRef(), "A");
    EXPECT_EQ(r.catalog->FBlockAt(0x23)->NameRef(), "B");
    EXPECT_EQ(r.catalog->FBlockAt(0x24)->NameRef(), "C");
    EXPECT_EQ(r.catalog->FBlockAt(255)->NameRef(), "D");
    EXPECT_EQ(r.catalog->FBlockAt(0)->NameRef(), "E"); // an empty text reads as 0
}

TEST_F(FBlockTest, WithoutDevicesOneInstanceInst00) {
    Imported r = Run(FBlock("Amp", "0x22"));
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    ASSERT_EQ(amp->GetCount(), 1u);
    YMTInstance* inst = amp->InstanceAt(0);
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(inst->NameRef(), "Inst00");
    EXPECT_EQ(inst->DeviceName, "");
    EXPECT_EQ(inst->InstFBlockName, "Amp");
    EXPECT_EQ(inst->BytesInMsg(), 2u);
    uint32_t hasDevices = 9;
    ASSERT_EQ(r.catalog->GetAttrInt(113, &hasDevices), 0u);
    EXPECT_EQ(hasDevices, 0u);

    // One FBlock with a device element sets the flag for the catalog.
    r = Run(FBlock("Amp", "0x22") + FBlock("Tuner", "0x40", Device("Radio", "1")));
    ASSERT_EQ(r.catalog->GetAttrInt(113, &hasDevices), 0u);
    EXPECT_EQ(hasDevices, 1u);
}

TEST_F(FBlockTest, DeviceErrorsAndDuplicateInstances) {
    Imported r = Run(FBlock("Amp", "0x22",
                            "<Device><InstanceID>1</InstanceID></Device>"
                            "<Device><DeviceName>NoId</DeviceName></Device>" +
                                Device("Big", "0x100") + Device("Neg", "-5") + Device("Odd", "zz") +
                                Device("Main", "0") + Device("Rear", "2") + Device("Dup", "2")));
    EXPECT_EQ(Messages(r.log),
              (Lines{"Error #0170 in '//Amp/':", "  Can not find child element <DeviceName>",
                     "Error #0169 in '//Amp':", "  Failed to import element <Device>",
                     "Error #0175 in '//Amp/':", "  Can not find child element <InstanceID>",
                     "Error #0169 in '//Amp':", "  Failed to import element <Device>",
                     "Error #0177 in '//Amp/':", "  Value '256' out of range [0, 256)",
                     "Error #0169 in '//Amp':", "  Failed to import element <Device>",
                     "Error #0177 in '//Amp/':", "  Value '-5' out of range [0, 256)",
                     "Error #0169 in '//Amp':", "  Failed to import element <Device>",
                     "Warning #0176 in '//Amp/':", "  Failed to analyze value 'zz'",
                     "Error #0218 in '//Amp':", "  FBlock Instance 00 already exists",
                     "Error #0218 in '//Amp':", "  FBlock Instance 02 already exists"}));
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    EXPECT_EQ(amp->GetCount(), 2u);
    // The unreadable InstanceID became 0 and took that place first.
    EXPECT_EQ(amp->InstanceAt(0)->DeviceName, "Odd");
    EXPECT_EQ(amp->InstanceAt(2)->DeviceName, "Rear");
    EXPECT_EQ(amp->FirstInstance(), amp->InstanceAt(0));

    // The 176 warning has level 5: a WarningLevel above hides it.
    UseProfile("[MOSTImport]\nWarningLevel=6\n");
    r = Run(FBlock("Amp", "0x22", Device("Odd", "zz")));
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
}

TEST_F(FBlockTest, AllDevicesFailedLeavesAnFBlockWithoutInstances) {
    Imported r = Run(FBlock("Amp", "0x22", "<Device/>"));
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    ASSERT_NE(amp, nullptr);
    EXPECT_EQ(amp->GetCount(), 0u);
    EXPECT_EQ(amp->FirstInstance(), nullptr);
    EXPECT_EQ(amp->DefaultInstance(), nullptr);
    EXPECT_EQ(amp->SelectInstance(0, kInstOrFirst), nullptr);
    YMTNode* const* items = nullptr;
    uint32_t count = 0;
    EXPECT_EQ(amp->GetSubItemList(kItemInstance, &items, &count), 1u);
    amp->SetName("Amp");
    std::string dump = DumpText(*amp);
    EXPECT_NE(dump.find("\t.FirstInstance:   -\n\t.DefaultInstance: -\n"), std::string::npos)
        << dump;
}

TEST_F(FBlockTest, DescriptionAndVersionOptions) {
    UseProfile("[MOSTImport]\nOptions=0x3\n");
    std::string version = "<DeviceVersion><Release>r</Release><Date>d</Date></DeviceVersion>";
    Imported r = Run(
        "<FBlock><FBlockName>Amp</FBlockName><FBlockID>1</FBlockID>" +
        Device("Main", "1", "<DeviceDescription>Main amp</DeviceDescription>" + version) +
        Device("Rear", "2", "<DeviceVersion/>") + Device("Side", "3") + "</FBlock>" +
        FBlock("Tuner", "2", "<FBlockVersion/>") +
        FBlock("Radio", "3",
               "<FBlockVersion><Release>1.2</Release><Date>2024-02-02</Date></FBlockVersion>" +
                   Device("Radio", "1", version)));
    EXPECT_EQ(Messages(r.log),
              (Lines{"Warning #0191 in '//Amp':", "  Can not find child element <FBlockDescription>",
                     "Warning #0190 in '//Amp':", "  Can not find child element <FBlockVersion>",
                     "Warning #0173 in '//Amp/':", "  Can not find child element <Release>",
                     "Warning #0174 in '//Amp/':", "  Can not find child element <Date>",
                     "Warning #0172 in '//Amp/':", "  Can not find child element <DeviceVersion>",
                     "Warning #0189 in '//Tuner':", "  Can not find child element <Release>",
                     "Warning #0168 in '//Tuner':", "  Can not find child element <Date>"}));
    YMTFBlock* radio = r.catalog->FBlockAt(3);
    EXPECT_EQ(radio->Description(), "d");
    EXPECT_EQ(radio->Release, "1.2");
    EXPECT_EQ(radio->Date, "2024-02-02");
    YMTInstance* main = r.catalog->FBlockAt(1)->InstanceAt(1);
    EXPECT_EQ(main->DeviceDescription, "Main amp");
    EXPECT_EQ(main->Release, "r");
    EXPECT_EQ(main->Date, "d");

    // Without the option bits nothing is read and nothing is reported.
    UseProfile("[MOSTImport]\nOptions=0\n");
    r = Run("<FBlock><FBlockName>Amp</FBlockName><FBlockID>1</FBlockID>"
            "<FBlockVersion><Release>1</Release></FBlockVersion>" +
            Device("Main", "1", "<DeviceDescription>x</DeviceDescription>") + "</FBlock>");
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
    EXPECT_EQ(r.catalog->FBlockAt(1)->Release, "");
    EXPECT_EQ(r.catalog->FBlockAt(1)->InstanceAt(1)->DeviceDescription, "");
}

TEST_F(FBlockTest, FBlockAndInstanceAttributes) {
    UseProfile("[MOSTImport]\nOptions=0x3\n");
    Imported r = Run(FBlock("Amp", "0x22",
                            "<FBlockVersion><Release>1.2</Release><Date>2024</Date></FBlockVersion>" +
                                Device("Rear Left", "0x12",
                                       "<DeviceDescription>rl</DeviceDescription><DeviceVersion>"
                                       "<Release>3</Release><Date>2023</Date></DeviceVersion>") +
                                Device("Main", "5",
                                       "<DeviceVersion><Release>4</Release><Date>2022</Date>"
                                       "</DeviceVersion>")));
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    YMTInstance* rear = amp->InstanceAt(0x12);
    YMTInstance* main = amp->InstanceAt(5);
    ASSERT_NE(rear, nullptr);
    ASSERT_NE(main, nullptr);

    // Every attribute as the text it reads as; "-" when it is not answered.
    auto attr = [](YMTNode* n, char kind, uint32_t number) -> std::string {
        uint32_t i = 0;
        const char* t = nullptr;
        YMTNode* p = nullptr;
        if (kind == 'i') return n->GetAttrInt(number, &i) == 0 ? std::to_string(i) : "-";
        if (kind == 's') return n->GetAttrStr(number, &t) == 0 ? t : "-";
        return n->GetAttrNode(number, &p) == 0 ? (p ? p->PathName() : "null") : "-";
    };
    const struct {
        YMTNode* node;
        char kind;
        uint32_t number;
        const char* expected;
    } kCases[] = {
        {amp, 'i', 0, "2"},        {amp, 'i', 1, "1"},        {amp, 'i', 4, "34"},
        {amp, 'i', 201, "34"},     {amp, 'i', 222, "0"},      {amp, 'i', 250, "-"},
        {amp, 's', 3, "Amp"},      {amp, 's', 200, "Amp"},    {amp, 's', 5, "d"},
        {amp, 's', 210, "d"},      {amp, 's', 211, "1.2"},    {amp, 's', 212, "2024"},
        {amp, 's', 252, "-"},      {amp, 'n', 2, "/"},        {amp, 'n', 220, "//Amp/Inst12"},
        {amp, 'n', 221, "//Amp/Inst05"}, {amp, 'n', 3, "-"},
        {rear, 'i', 0, "3"},       {rear, 'i', 1, "2"},       {rear, 'i', 4, "18"},
        {rear, 'i', 250, "18"},    {rear, 'i', 201, "-"},     {rear, 's', 3, "Rear_Left"},
        {rear, 's', 252, "Rear_Left"}, {rear, 's', 5, ""},    {rear, 's', 260, ""},
        {rear, 's', 261, "3"},     {rear, 's', 262, "2023"},  {rear, 's', 263, "Amp"},
        {rear, 's', 200, "-"},     {rear, 'n', 2, "//Amp"},   {rear, 'n', 220, "-"},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(attr(c.node, c.kind, c.number), c.expected)
            << c.node->PathName() << " " << c.kind << c.number;
    // The node name is built from the InstanceID; attribute 3 is the device.
    EXPECT_EQ(rear->NameRef(), "Inst12");
    EXPECT_EQ(rear->DeviceDescription, "rl");

    YMTNode* const* items = nullptr;
    uint32_t count = 0;
    ASSERT_EQ(amp->GetSubItemList(kItemInstance, &items, &count), 0u);
    EXPECT_EQ(count, 0x13u);
    EXPECT_EQ(items[5], main);
    EXPECT_EQ(items[0x12], rear);
    EXPECT_EQ(amp->GetSubItemList(kItemFunction, &items, &count), 1u);
    EXPECT_FALSE(amp->CopyFrom(amp));
    EXPECT_EQ(amp->Clone(), nullptr);
    EXPECT_EQ(rear->Clone(), nullptr);
}

TEST_F(FBlockTest, InstanceLookupKinds) {
    Imported r = Run(FBlock("Amp", "0x22", Device("Rear", "2") + Device("Main", "1")));
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    YMTInstance* rear = amp->InstanceAt(2);
    YMTInstance* main = amp->InstanceAt(1);
    ASSERT_EQ(amp->FirstInstance(), rear);
    ASSERT_EQ(amp->DefaultInstance(), main);

    EXPECT_EQ(amp->SelectInstance(1, kInstFirst), rear); // kind 0 ignores the identifier
    EXPECT_EQ(amp->SelectInstance(7, kInstFirst), rear);
    EXPECT_EQ(amp->SelectInstance(2, kInstOrDefault), rear);
    EXPECT_EQ(amp->SelectInstance(7, kInstOrDefault), main);
    EXPECT_EQ(amp->SelectInstance(1, kInstOrFirst), main);
    EXPECT_EQ(amp->SelectInstance(7, kInstOrFirst), rear);
    EXPECT_EQ(amp->SelectInstance(1, kInstExact), main);
    EXPECT_EQ(amp->SelectInstance(7, kInstExact), nullptr);
    EXPECT_EQ(amp->SelectInstance(7, 9), nullptr);
    EXPECT_EQ(amp->SelectInstance(0xFFFFFFFF, kInstOrFirst), rear);
    EXPECT_EQ(amp->FindChild("inst01"), main);
}

TEST_F(FBlockTest, MixedInstFBlockNamesVisitInstancesInIdentifierOrder) {
    YMTFBlock fb;
    auto add = [&](uint32_t id, const char* name) {
        auto* inst = new YMTInstance();
        inst->InstanceID = id;
        inst->InstFBlockName = name;
        inst->SetParent(&fb);
        fb.SetAt(inst, id);
    };
    uint32_t mixed = 9;
    ASSERT_EQ(fb.GetAttrInt(222, &mixed), 0u);
    EXPECT_EQ(mixed, 0u);
    add(3, "");
    add(5, "Amp");
    add(7, "Amp");
    ASSERT_EQ(fb.GetAttrInt(222, &mixed), 0u);
    EXPECT_EQ(mixed, 0u); // empty names before the reference do not count
    add(9, "");
    ASSERT_EQ(fb.GetAttrInt(222, &mixed), 0u);
    EXPECT_EQ(mixed, 1u); // an empty name after it differs
}

} // namespace
} // namespace mostfcat
