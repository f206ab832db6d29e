// FBlocks and instances: name and identifier repairs, instance import,
// description and version options, and their attributes.
#include <gtest/gtest.h>

#include "function_xml.h"

namespace mostfcat {
namespace {

using test::CatalogXml;
using test::Codes;
using test::Imported;
using test::Joined;
using Lines = std::vector<std::string>;

// The description is present so that the default options add no warning.
std::string FBlock(const std::string& name, const std::string& id, const std::string& rest = "") {
    return test::FBlockXml(name, id, rest);
}

std::string Device(const std::string& name, const std::string& id, const std::string& rest = "") {
    return "<Device><DeviceName>" + name + "</DeviceName><InstanceID>" + id + "</InstanceID>" +
           rest + "</Device>";
}

class FBlockTest : public test::CatalogTest {
protected:
    Imported Run(const std::string& fblocks) {
        Imported r = Import(CatalogXml(fblocks));
        EXPECT_EQ(r.status, 0u) << r.log;
        return r;
    }
    static std::string Names(const Imported& r, std::initializer_list<uint32_t> ids) {
        std::string out;
        for (uint32_t id : ids) {
            YMTFBlock* f = r.catalog->FBlockAt(id);
            out += (out.empty() ? "" : " ") + (f ? f->NameRef() : std::string("-"));
        }
        return out;
    }
};

TEST_F(FBlockTest, NamesAreRepairedAndClashesRenamedWithTheFBlockID) {
    Imported r = Run(FBlock("3DSound", "0x10") + FBlock(" Rear Amp (2) ", "0x11") +
                     FBlock("***", "0x12") + FBlock("Amp", "0x22") + FBlock("AMP", "0x23") +
                     FBlock("Amp_25", "0x30") + FBlock("amp", "0x25"));
    EXPECT_EQ(Codes(Messages(r.log)), "W0223 //_3DSound; W0144 //AMP; W0144 //amp");
    EXPECT_EQ(Joined(Messages(r.log))[2], "Warning #0144 in '//amp': Double definition of FBlock "
                                          "name 'amp'. FBlock (0x25) will be renamed to "
                                          "'amp_25_1'.");
    EXPECT_EQ(Names(r, {0x10, 0x11, 0x12, 0x22, 0x23, 0x25}),
              "_3DSound Rear_Amp__2 _NA_ Amp AMP_23 amp_25_1");
    // Instances carry the name the FBlock had when they were imported.
    EXPECT_EQ(r.catalog->FBlockAt(0x23)->FirstInstance()->InstFBlockName, "AMP_23");
}

TEST_F(FBlockTest, RenameGivesUpAfter98Candidates) {
    std::string fblocks = FBlock("Amp", "0x22") + FBlock("Amp_25", "0x30");
    for (int n = 1; n <= 98; ++n)
        fblocks += FBlock("Amp_25_" + std::to_string(n), std::to_string(n + 0x40));
    Imported r = Run(fblocks + FBlock("Amp", "0x25"));
    EXPECT_EQ(Joined(Messages(r.log)),
              (Lines{"Warning #0144 in '//Amp': Double definition of FBlock name 'Amp'. FBlock "
                     "(0x25) will be renamed to 'Amp_25_98'.",
                     "Error #0149 in '/': Failed to import element <FBlock>"}));
    EXPECT_EQ(r.catalog->FBlockAt(0x25), nullptr);
    EXPECT_EQ(r.catalog->GetCount(), 100u);
}

TEST_F(FBlockTest, IdentifierErrorsAndNumberFormats) {
    Imported r = Run(FBlock("Amp", "0x22") + "<FBlock><FBlockID>1</FBlockID></FBlock>" +
                     "<FBlock><FBlockName>NoId</FBlockName></FBlock>" + FBlock("Bad", "12x") +
                     FBlock("Neg", "-1"));
    EXPECT_EQ(Codes(Messages(r.log)), "E0139 //; E0149 /; E0140 //NoId; E0149 /; E0141 //Bad; "
                                      "E0149 /; E0142 //Neg; E0149 /");
    EXPECT_EQ(Joined(Messages(r.log))[6],
              "Error #0142 in '//Neg': Value '-1' out of range [0, 256)");
    EXPECT_EQ(r.catalog->GetCount(), 1u);

    // Decimal, hexadecimal, binary, blanks and case; an empty text reads as 0.
    r = Run(FBlock("A", "34") + FBlock("B", " 0X23 ") + FBlock("C", "0b0010 0100") +
            FBlock("D", "255") + FBlock("E", ""));
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
    EXPECT_EQ(Names(r, {34, 0x23, 0x24, 255, 0}), "A B C D E");
}

TEST_F(FBlockTest, DevicesBecomeInstances) {
    // Without devices: one instance Inst00, and the catalog has no devices.
    Imported r = Run(FBlock("Amp", "0x22"));
    YMTInstance* inst = r.catalog->FBlockAt(0x22)->InstanceAt(0);
    ASSERT_NE(inst, nullptr);
    EXPECT_EQ(inst->NameRef() + "|" + inst->DeviceName + "|" + inst->InstFBlockName, "Inst00||Amp");
    EXPECT_EQ(test::Attrs(*r.catalog, "i113"), "0");

    r = Run(FBlock("Amp", "0x22",
                   "<Device><InstanceID>1</InstanceID></Device>"
                   "<Device><DeviceName>NoId</DeviceName></Device>" +
                       Device("Big", "0x100") + Device("Odd", "zz") + Device("Main", "0") +
                       Device("Rear", "2")));
    EXPECT_EQ(Codes(Messages(r.log)), "E0170 //Amp/; E0169 //Amp; E0175 //Amp/; E0169 //Amp; "
                                      "E0177 //Amp/; E0169 //Amp; W0176 //Amp/; E0218 //Amp");
    EXPECT_EQ(Joined(Messages(r.log)).back(),
              "Error #0218 in '//Amp': FBlock Instance 00 already exists");
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    EXPECT_EQ(amp->GetCount(), 2u);
    // The unreadable InstanceID became 0 and took that place first.
    EXPECT_EQ(amp->InstanceAt(0)->DeviceName, "Odd");
    EXPECT_EQ(amp->InstanceAt(2)->DeviceName, "Rear");
    EXPECT_EQ(amp->FirstInstance(), amp->InstanceAt(0));
    EXPECT_EQ(test::Attrs(*r.catalog, "i113"), "1");
}

TEST_F(FBlockTest, AllDevicesFailedLeavesAnFBlockWithoutInstances) {
    Imported r = Run(FBlock("Amp", "0x22", "<Device/>"));
    YMTFBlock* amp = r.catalog->FBlockAt(0x22);
    ASSERT_NE(amp, nullptr);
    EXPECT_EQ(amp->GetCount(), 0u);
    EXPECT_EQ(amp->DefaultInstance(), nullptr);
    EXPECT_EQ(amp->SelectInstance(0, kInstOrFirst), nullptr);
    std::string dump = DumpText(*amp);
    EXPECT_NE(dump.find("\t.FirstInstance:   -\n\t.DefaultInstance: -\n"), std::string::npos)
        << dump;
}

TEST_F(FBlockTest, DescriptionAndVersionOptions) {
    UseProfile("[MOSTImport]\nOptions=0x3\n");
    std::string version = "<DeviceVersion><Release>r</Release><Date>d</Date></DeviceVersion>";
    Imported r =
        Run("<FBlock><FBlockName>Amp</FBlockName><FBlockID>1</FBlockID>" +
            Device("Main", "1", "<DeviceDescription>Main amp</DeviceDescription>" + version) +
            Device("Rear", "2", "<DeviceVersion/>") + Device("Side", "3") + "</FBlock>" +
            FBlock("Tuner", "2", "<FBlockVersion/>") +
            FBlock("Radio", "3",
                   "<FBlockVersion><Release>1.2</Release><Date>2024-02-02</Date></FBlockVersion>"));
    EXPECT_EQ(Codes(Messages(r.log)), "W0191 //Amp; W0190 //Amp; W0173 //Amp/; W0174 //Amp/; "
                                      "W0172 //Amp/; W0189 //Tuner; W0168 //Tuner");
    EXPECT_EQ(test::Attrs(*r.catalog->FBlockAt(3), "i0 i1 n2 s3 s200 i4 i201 s5 s210 s211 s212 "
                                                   "n220 n221 i222 i250 s252"),
              "2|1|/|Radio|Radio|3|3|Radio block|Radio "
              "block|1.2|2024-02-02|//Radio/Inst00|//Radio/Inst00|0|-|-");
    YMTInstance* main = r.catalog->FBlockAt(1)->InstanceAt(1);
    EXPECT_EQ(main->DeviceDescription, "Main amp");
    EXPECT_EQ(test::Attrs(*main, "i0 i1 n2 s3 s252 i4 i250 s261 s262 s263 i201 s200 n220"),
              "3|2|//Amp|Main|Main|1|1|r|d|Amp|-|-|-");

    // Without the option bits nothing is read and nothing is reported.
    UseProfile("[MOSTImport]\nOptions=0\n");
    r = Run("<FBlock><FBlockName>Amp</FBlockName><FBlockID>1</FBlockID>"
            "<FBlockVersion><Release>1</Release></FBlockVersion></FBlock>");
    EXPECT_TRUE(Messages(r.log).empty()) << r.log;
    EXPECT_EQ(r.catalog->FBlockAt(1)->Release, "");
}

} // namespace
} // namespace mostfcat
