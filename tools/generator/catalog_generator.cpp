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

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace mostfcat {
namespace {

class Rng {
public:
    explicit Rng(uint64_t seed) : m_State(seed) {}

    uint64_t Next() {
        uint64_t z = (m_State += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // [0, n); n of 0 gives 0.
    uint32_t Below(uint32_t n) { return uint32_t(((Next() >> 32) * uint64_t(n)) >> 32); }
    // [lo, hi]
    int64_t Between(int64_t lo, int64_t hi) {
        uint64_t span = uint64_t(hi - lo) + 1;
        return lo + int64_t(Next() % span);
    }
    bool Chance(uint32_t percent) { return Below(100) < percent; }
    template <class T, size_t N> const T& Pick(const T (&items)[N]) {
        return items[Below(uint32_t(N))];
    }

private:
    uint64_t m_State;
};

// --- vocabulary -----------------------------------------------------------------

struct BaseType {
    const char* tag;
    const char* ref;
    int64_t lo;
    int64_t hi;
    int bytes;
    bool isSigned;
};

constexpr BaseType kTypes[6] = {
    {"TUByte", "type_unsigned_byte", 0, 255, 1, false},
    {"TSByte", "type_signed_byte", -128, 127, 1, true},
    {"TUWord", "type_unsigned_word", 0, 65535, 2, false},
    {"TSWord", "type_signed_word", -32768, 32767, 2, true},
    {"TULong", "type_unsigned_long", 0, 4294967295ll, 4, false},
    {"TSLong", "type_signed_long", -2147483648ll, 2147483647ll, 4, true},
};
enum { kUByte = 0, kSByte, kUWord, kSWord, kULong, kSLong };

// UnitID, name, code text. The long name is cut to 20 characters, "not
// defined" becomes empty, and unit_undefined/unit_none give numbers no unit.
struct UnitDef {
    const char* id;
    const char* name;
    const char* code;
};
constexpr UnitDef kUnits[] = {
    {"unit_none", "not defined", "0x00"},
    {"unit_percent", "%", "0x01"},
    {"unit_dB", "dB", "0x02"},
    {"unit_dBuV", "dBuV", "3"},
    {"unit_Hz", "Hz", "0x10"},
    {"unit_kHz", "kHz", "0x11"},
    {"unit_MHz", "MHz", "0x12"},
    {"unit_ms", "ms", "0x20"},
    {"unit_s", "s", "0x21"},
    {"unit_degC", "degree Celsius", "0x30"},
    {"unit_V", "V", "0x40"},
    {"unit_mA", "mA", "0x41"},
    {"unit_m", "m", "0x50"},
    {"unit_kmh", "kilometres per hour (km/h)", "0x51"},
    {"unit_rpm", "rpm", "0b1100000"},
    {"unit_undefined", "undefined", "0xFF"},
};

// Words for names; none of them is a name the importer gives a meaning to
// (Pos, Tag, Data, ListSize, ErrorCode and the like are written on purpose only).
constexpr const char* kWords[] = {
    "Volume",   "Balance",   "Fader",    "Bass",      "Treble",  "Level",    "Gain",     "Delay",
    "Channel",  "Source",    "Sink",     "Track",     "Album",   "Artist",   "Station",  "Band",
    "Preset",   "Speed",     "Distance", "Heading",   "Route",   "Target",   "Zone",     "Fan",
    "Seat",     "Window",    "Mirror",   "Lamp",      "Display", "Contrast", "Color",    "Camera",
    "Zoom",     "Focus",     "Signal",   "Quality",   "Status",  "Mode",     "Option",   "Limit",
    "Counter",  "Timer",     "Alarm",    "Battery",   "Voltage", "Current",  "Pressure", "Humidity",
    "Latitude", "Longitude", "Altitude", "Name",      "Label",   "Index",    "Handle",   "Offset",
    "Rate",     "Phase",     "Filter",   "Equalizer", "Scene",   "Profile",  "Language", "Region",
    "Symbol",   "Message",   "Contact",  "Number",    "Call",    "Network",  "Carrier",  "Link",
    "Node",     "Group",     "Slot",     "Medium",    "Disk",    "Folder",   "File",     "Picture",
    "Video",    "Audio",     "Stream",   "Frame"};

constexpr const char* kFBlockNames[] = {
    "AudioAmplifier", "AmFmTuner",    "AudioDiskPlayer", "Navigation",   "Telephone",
    "ClimateControl", "Display",      "RearCamera",      "SpeechInput",  "VehicleGateway",
    "MediaServer",    "RearSeatUnit", "Bluetooth",       "Diagnosis",    "SeatControl",
    "Lighting",       "ParkAssist",   "HeadUnit",        "DigitalRadio", "TvTuner",
    "Headphones",     "Microphone",   "Sunroof",         "Telematics",   "Instrument"};

constexpr const char* kValueTexts[] = {"Off",       "On",         "Low",           "Medium",
                                       "High",      "Auto",       "Manual",        "Idle",
                                       "Busy",      "Ready",      "Not available", "Left",
                                       "Right",     "Front",      "Rear",          "Up",
                                       "Down",      "Unknown",    "Reserved",      "Stereo",
                                       "Mono",      "Playing",    "Paused",        "Stopped",
                                       "Muted",     "Search up",  "Search down",   "Scan",
                                       "Random",    "Repeat all", "Repeat track",  "Traffic & news",
                                       "Day/night", "Error",      "Standby",       "Normal",
                                       "Sport",     "Eco"};

constexpr const char* kDescWords[] = {
    "the",     "of",     "device",  "current", "value", "state",   "reported", "by",
    "set",     "when",   "changes", "in",      "steps", "to",      "maximum",  "minimum",
    "level",   "output", "input",   "channel", "user",  "request", "a",        "each",
    "list",    "entry",  "for",     "with",    "and",   "only",    "selected", "default",
    "network", "source", "sink",    "range",   "unit",  "is",      "given",    "bus"};

// Operation elements by OpType; null where the vocabulary has none that we use.
constexpr const char* kPropertyOps[16] = {"PCmdSet",       "PCmdGet",       "PCmdSetGet",
                                          "PCmdIncrement", "PCmdDecrement", "PCmdGetInterface",
                                          nullptr,         nullptr,         nullptr,
                                          nullptr,         nullptr,         nullptr,
                                          "PReportStatus", nullptr,         "PReportInterface",
                                          "PReportError"};
constexpr const char* kMethodOps[16] = {
    "MCmdStart",     "MCmdAbort",        "MCmdStartResult",      nullptr,
    nullptr,         "MCmdGetInterface", "MCmdStartResultAck",   "MCmdAbortAck",
    "MCmdStartAck",  "MReportErrorAck",  "MReportProcessingAck", "MReportProcessing",
    "MReportResult", "MReportResultAck", "MReportInterface",     "MReportError"};

enum PropOp {
    kSet = 0,
    kGet = 1,
    kSetGet = 2,
    kIncrement = 3,
    kDecrement = 4,
    kGetInterface = 5,
    kStatus = 12,
    kInterface = 14,
    kError = 15
};
enum MethodOp {
    kStart = 0,
    kAbort = 1,
    kStartResult = 2,
    kStartResultAck = 6,
    kAbortAck = 7,
    kStartAck = 8,
    kErrorAck = 9,
    kProcessingAck = 10,
    kProcessing = 11,
    kResult = 12,
    kResultAck = 13
};

// The kinds of function the generator writes; each stands for one class
// element and a typical parameter set of it.
enum Kind {
    kNumberProp,     // PNumber
    kEnumProp,       // PEnum
    kSwitchProp,     // PSwitch
    kTextProp,       // PText
    kRecordProp,     // PRecord
    kArrayProp,      // PArray
    kContainerProp,  // PContainer
    kSequenceProp,   // PSequence: a stream whose case a preceding enum selects
    kStreamsProp,    // PUnclassified: the other stream kinds
    kBitsProp,       // PUnclassified: bools and bit fields
    kUnclassMethod,  // MUnclassified
    kTriggerMethod,  // MTrigger
    kSequenceMethod, // MSequence
    kKindCount
};

constexpr const char* kErrCodeTemplate = "ErrCodeStd";
constexpr const char* kErrInfoTemplate = "ErrInfoStd";
constexpr const char* kFktIdsTemplate = "FktIdsStd";
constexpr const char* kNotificationTemplate = "NotificationStd";

// Below these sizes the templates are left out: they alone would exceed the
// requested size.
constexpr uint64_t kMinSizeErrorTemplates = 12 * 1024;
constexpr uint64_t kMinSizeFunctionTemplates = 24 * 1024;
// The body size one FBlock aims at while the catalog grows by FBlocks.
constexpr uint64_t kFBlockBudget = 40 * 1024;

class CatalogWriter {
public:
    CatalogWriter(uint64_t seed, uint64_t size)
        : m_Rng(seed ^ 0x6D6F737466636174ull), m_Seed(seed), m_Target(size) {}

    std::string Run();

private:
    // --- text output --------------------------------------------------------------
    void Put(std::string_view s) { m_Out.append(s); }
    void PutChar(char c) { m_Out.push_back(c); }
    void PutInt(int64_t v) {
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, v);
        m_Out.append(buf, size_t(r.ptr - buf));
    }
    void PutHex(uint64_t v, int digits) {
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, v, 16);
        size_t n = size_t(r.ptr - buf);
        m_Out.append("0x");
        if (int(n) < digits) m_Out.append(size_t(digits) - n, '0');
        for (size_t i = 0; i < n; ++i)
            m_Out.push_back(buf[i] >= 'a' ? char(buf[i] - 'a' + 'A') : buf[i]);
    }
    void PutBinary(uint64_t v) {
        m_Out.append("0b");
        int top = 63;
        while (top > 0 && !(v >> top & 1))
            --top;
        for (int b = top; b >= 0; --b)
            m_Out.push_back(char('0' + (v >> b & 1)));
    }
    // A number in one of the notations the number reader accepts.
    void PutCode(uint64_t v, bool allowBinary = true) {
        uint32_t r = m_Rng.Below(10);
        if (r < 5)
            PutHex(v, v > 255 ? 4 : 2);
        else if (r < 9 || !allowBinary)
            PutInt(int64_t(v));
        else
            PutBinary(v);
    }
    void Indent() { m_Out.append(size_t(m_Depth) * 2, ' '); }
    void Open(std::string_view tag) {
        Indent();
        PutChar('<');
        Put(tag);
        Put(">\n");
        ++m_Depth;
    }
    // Opens a tag whose attributes the caller writes; finish with EndOpen.
    void OpenAttrs(std::string_view tag) {
        Indent();
        PutChar('<');
        Put(tag);
    }
    void Attr(std::string_view name, std::string_view value) {
        PutChar(' ');
        Put(name);
        Put("=\"");
        Put(value);
        PutChar('"');
    }
    void EndOpen() {
        Put(">\n");
        ++m_Depth;
    }
    void EndEmpty() { Put("/>\n"); }
    void Close(std::string_view tag) {
        --m_Depth;
        Indent();
        Put("</");
        Put(tag);
        Put(">\n");
    }
    void Leaf(std::string_view tag, std::string_view text) {
        Indent();
        PutChar('<');
        Put(tag);
        PutChar('>');
        Put(text);
        Put("</");
        Put(tag);
        Put(">\n");
    }
    void LeafInt(std::string_view tag, int64_t v) {
        Indent();
        PutChar('<');
        Put(tag);
        PutChar('>');
        PutInt(v);
        Put("</");
        Put(tag);
        Put(">\n");
    }
    void LeafCode(std::string_view tag, uint64_t v, int digits) {
        Indent();
        PutChar('<');
        Put(tag);
        PutChar('>');
        if (m_Rng.Below(5) == 0)
            PutInt(int64_t(v));
        else
            PutHex(v, digits);
        Put("</");
        Put(tag);
        Put(">\n");
    }
    void Empty(std::string_view tag) {
        Indent();
        PutChar('<');
        Put(tag);
        Put("/>\n");
    }
    void Sentence(std::string_view tag) {
        Indent();
        PutChar('<');
        Put(tag);
        PutChar('>');
        uint32_t n = 4 + m_Rng.Below(9);
        for (uint32_t i = 0; i < n; ++i) {
            const char* w = m_Rng.Pick(kDescWords);
            if (i == 0) {
                PutChar(char(w[0] >= 'a' && w[0] <= 'z' ? w[0] - 'a' + 'A' : w[0]));
                Put(w + 1);
            } else {
                PutChar(' ');
                Put(w);
            }
        }
        Put(".</");
        Put(tag);
        Put(">\n");
    }
    void Version(std::string_view tag) {
        Indent();
        PutChar('<');
        Put(tag);
        Put("><Release>");
        PutInt(1 + m_Rng.Below(4));
        PutChar('.');
        PutInt(m_Rng.Below(10));
        PutChar('.');
        PutInt(m_Rng.Below(20));
        Put("</Release><Date>");
        PutInt(2019 + m_Rng.Below(6));
        Put(m_Rng.Pick({"-01-", "-03-", "-04-", "-06-", "-09-", "-11-"}));
        PutInt(10 + m_Rng.Below(18));
        Put("</Date></");
        Put(tag);
        Put(">\n");
    }

    // --- names ----------------------------------------------------------------------
    // A name not used yet in the current function: the importer looks
    // parameter names up through every enclosing level.
    std::string ParamName(std::string_view base) {
        std::string name(base);
        for (int n = 2; Used(name); ++n)
            name = std::string(base) + std::to_string(n);
        m_FnNames.push_back(name);
        return name;
    }
    std::string WordName() { return ParamName(m_Rng.Pick(kWords)); }
    bool Used(const std::string& name) const {
        return std::find(m_FnNames.begin(), m_FnNames.end(), name) != m_FnNames.end();
    }

    // --- parameter elements -------------------------------------------------------
    // <XXParam> with name and description, then the type holder is opened;
    // the caller writes the type element and ends with EndParam.
    void BeginParam(const std::string& name) {
        Indent();
        PutChar('<');
        Put(m_Prefix);
        Put("Param>\n");
        ++m_Depth;
        Leaf("ParamName", name);
        Sentence("ParamDescription");
        Indent();
        PutChar('<');
        Put(m_Prefix);
        Put("ParamType>\n");
        ++m_Depth;
    }
    // Closes the type holder and lists the operations; each gets the next
    // free position of that operation, or no position when withPos is false
    // (void parameters).
    void EndParam(std::initializer_list<int> ops, bool withPos = true) {
        --m_Depth;
        Indent();
        Put("</");
        Put(m_Prefix);
        Put("ParamType>\n");
        Indent();
        PutChar('<');
        Put(m_Prefix);
        Put("ParamOPType>");
        for (int op : ops) {
            const char* elem = m_Method ? kMethodOps[op] : kPropertyOps[op];
            PutChar('<');
            Put(elem);
            if (!withPos) {
                Put("/>");
                continue;
            }
            Put("><ParamPos>");
            PutInt(++m_NextPos[op]);
            Put("</ParamPos></");
            Put(elem);
            PutChar('>');
        }
        Put("</");
        Put(m_Prefix);
        Put("ParamOPType>\n");
        --m_Depth;
        Indent();
        Put("</");
        Put(m_Prefix);
        Put("Param>\n");
    }
    void VoidParam(std::initializer_list<int> ops) {
        BeginParam(ParamName("Void"));
        Empty("TVoid");
        EndParam(ops, false);
    }

    // --- type elements ----------------------------------------------------------------
    void Number(int type, int exponent, const char* unit, int rangeStyle, int64_t lo = 0,
                int64_t hi = 0);
    void RandomNumber();
    const char* RandomUnit() { return kUnits[m_Rng.Below(m_UnitCount)].id; }
    void PlainNumber(int type) { Number(type, 0, "unit_none", 0); }
    void Enum(uint32_t values, bool wide);
    void String();
    void BoolFields(uint32_t bits, uint32_t maxFields);
    void Bool();
    void BitField(int length);
    void Record(uint32_t fields, int depth);
    void RecordField(uint32_t index, int depth);
    void ArrayOf(const char* nmax, int elementKind, int depth);
    void SelectedStream(const std::string& selector, uint32_t cases);
    void LinedStream(const std::string& selector);
    void IndexedShortStream();
    void DescribedShortStream();
    void ListStream();
    void StreamMember(const std::string& name, uint32_t idx, const char* idxText, int kind);
    void Signals(uint32_t first, bool littleEndian, uint32_t count);

    // --- functions --------------------------------------------------------------------
    void BeginFunction(std::string_view baseName, const char* classRef, bool method,
                       const char* classElement, const char* prefix, const char* fktDefId = nullptr,
                       int fixedId = -1);
    void EndFunction();
    void WriteFunction(int kind, bool small);
    void NumberProp(bool small, bool declareTemplates);
    void EnumProp();
    void SwitchProp();
    void TextProp();
    void RecordProp();
    void ArrayProp();
    void ContainerProp();
    void SequenceProp();
    void StreamsProp();
    void BitsProp();
    void UnclassMethod();
    void TriggerMethod(bool small);
    void SequenceMethod();
    void FktIdsTemplate();
    void NotificationTemplate();
    void ErrorTemplates();
    void ErrorRefs();

    // --- catalog ----------------------------------------------------------------------
    void Header();
    void Definitions();
    void FBlockElement(uint32_t fblockId, const std::string& name, uint32_t firstInstance,
                       uint32_t devices, bool first, bool fktRefs, size_t endPos);
    void FillFunctions(size_t endPos, bool first);

    Rng m_Rng;
    uint64_t m_Seed;
    uint64_t m_Target;
    std::string m_Out;
    int m_Depth = 0;
    uint32_t m_Scale = 1;
    bool m_ErrTemplates = false;
    bool m_FktTemplates = false;
    // The first functions run through every kind once, from a seed-dependent
    // start, so that small catalogs of different seeds differ in kind.
    uint32_t m_KindStart = 0;
    uint32_t m_KindCycle = 0;
    // Small catalogs define fewer units.
    uint32_t m_UnitCount = 1;

    // The function being written.
    bool m_Method = false;
    bool m_DeclaresTemplates = false;
    const char* m_Prefix = "PU";
    const char* m_ClassElement = "PUnclassified";
    int m_NextPos[16] = {};
    std::vector<std::string> m_FnNames;

    // The FBlock element being written.
    std::vector<std::string> m_ElementFunctionNames;
    uint32_t m_NextFunctionId = 0;
};

// --- types ---------------------------------------------------------------------------

// rangeStyle: 0 none, 1 "full range", 2 decimal lo/hi, 3 hexadecimal lo/hi
// (two's complement for signed types), 4 lo and "NMax", 5 lo only.
void CatalogWriter::Number(int type, int exponent, const char* unit, int rangeStyle, int64_t lo,
                           int64_t hi) {
    const BaseType& t = kTypes[type];
    Open("TNumber");
    Indent();
    Put("<BasisDataType><");
    Put(t.tag);
    Put(" TypeRef=\"");
    Put(t.ref);
    Put("\"/></BasisDataType>\n");
    LeafInt("Exponent", exponent);
    if (rangeStyle >= 2 && lo == 0 && hi == 0) {
        // Two points of the type's range, small ones more often.
        int64_t span = (t.hi - t.lo) / (m_Rng.Chance(70) ? 64 : 1);
        int64_t a = t.isSigned ? m_Rng.Between(-span / 2, 0) : m_Rng.Between(0, span / 4);
        int64_t b =
            m_Rng.Between(std::max<int64_t>(a, 0) + 1, std::max<int64_t>(a, 0) + 1 + span / 2);
        lo = std::max(a, t.lo);
        hi = std::min(b, t.hi);
    }
    auto limit = [&](const char* tag, int64_t v) {
        Indent();
        PutChar('<');
        Put(tag);
        PutChar('>');
        if (rangeStyle == 3) {
            uint64_t pattern = v < 0 ? uint64_t(v) + (uint64_t(1) << (8 * t.bytes)) : uint64_t(v);
            PutHex(pattern, 2 * t.bytes);
        } else {
            if (v > 0 && m_Rng.Below(8) == 0) PutChar('+');
            PutInt(v);
        }
        Put("</");
        Put(tag);
        Put(">\n");
    };
    switch (rangeStyle) {
    case 1:
        Leaf("RangeMin", m_Rng.Chance(50) ? "full range" : "Full Range");
        break;
    case 2:
    case 3:
        limit("RangeMin", lo);
        limit("RangeMax", hi);
        break;
    case 4:
        limit("RangeMin", lo);
        Leaf("RangeMax", "NMax");
        break;
    case 5:
        limit("RangeMin", lo);
        break;
    default:
        break;
    }
    Leaf("Step", m_Rng.Pick({"1", "1", "1", "5", "0.5", "0.25", "10", "0x02"}));
    Indent();
    Put("<Unit UnitRef=\"");
    Put(unit);
    Put("\"/>\n");
    Close("TNumber");
}

void CatalogWriter::RandomNumber() {
    int type = int(m_Rng.Below(6));
    static constexpr int kExponents[] = {0, 0, 0, 0, 0, -1, -1, -2, -3, 1, 2};
    Number(type, m_Rng.Pick(kExponents), RandomUnit(), int(m_Rng.Below(6)));
}

// Values with rising, disjoint codes; some are code ranges. A wide
// enumeration has codes above 255 and so becomes two bytes wide.
void CatalogWriter::Enum(uint32_t values, bool wide) {
    uint64_t code = m_Rng.Below(2);
    const uint64_t limit = wide ? 0x3FF : 0xF0;
    struct Value {
        uint64_t lo, hi;
    };
    std::vector<Value> codes;
    for (uint32_t i = 0; i < values && code < limit; ++i) {
        uint64_t width = m_Rng.Below(6) == 0 ? 1 + m_Rng.Below(5) : 0;
        codes.push_back({code, code + width});
        code += width + 1 + m_Rng.Below(wide ? 40 : 3);
    }
    if (wide && codes.back().hi <= 255) codes.push_back({0x100 + m_Rng.Below(0x80), 0});
    if (wide && codes.back().hi < codes.back().lo) codes.back().hi = codes.back().lo;
    uint64_t maxCode = codes.back().hi;

    OpenAttrs("TEnum");
    switch (m_Rng.Below(4)) {
    case 0: // explicit maximum
        Put(" TEnumMax=\"");
        PutCode(wide ? std::max<uint64_t>(maxCode, 0x3FF) : std::max<uint64_t>(maxCode, 0xFF),
                false);
        PutChar('"');
        break;
    case 1:
        Put(" TEnumMax=\"");
        PutInt(int64_t(maxCode));
        PutChar('"');
        break;
    case 2:
        if (!wide) Put(" TEnumMax=\"#NULL#\"");
        break;
    default: // derived from the values
        break;
    }
    EndOpen();
    for (const Value& v : codes) {
        Indent();
        Put("<TEnumValue Code=\"");
        if (v.hi == v.lo) {
            PutCode(v.lo);
        } else if (m_Rng.Chance(30)) {
            // the upper end is read as hexadecimal because the lower end is
            PutHex(v.lo, 2);
            Put(m_Rng.Chance(50) ? ".." : "...");
            char buf[20];
            auto r = std::to_chars(buf, buf + sizeof buf, v.hi, 16);
            m_Out.append(buf, size_t(r.ptr - buf));
        } else {
            PutInt(int64_t(v.lo));
            Put("..");
            PutInt(int64_t(v.hi));
        }
        PutChar('"');
        const char* text = m_Rng.Pick(kValueTexts);
        bool ampersand = text[0] == 'T' && text[1] == 'r';
        if (m_Rng.Chance(25)) {
            Put(" SymbolicName=\"");
            Put(ampersand ? "Traffic &amp; news" : text);
            Put("\"/>\n");
        } else {
            PutChar('>');
            Put(ampersand ? "Traffic &amp; news" : text);
            Put("</TEnumValue>\n");
        }
    }
    Close("TEnum");
}

void CatalogWriter::String() {
    if (m_Rng.Chance(20)) {
        Empty("TString");
        return;
    }
    Indent();
    Put("<TString MaxSize=\"");
    PutInt(m_Rng.Pick({8, 12, 16, 24, 32, 64, 128}));
    Put("\"/>\n");
}

// Bool fields over the bits below `bits`: single positions with gaps and
// now and then a range such as "2..4" (one field per bit of the range).
void CatalogWriter::BoolFields(uint32_t bits, uint32_t maxFields) {
    uint32_t pos = m_Rng.Below(2);
    for (uint32_t n = 0; n < maxFields && pos < bits; ++n) {
        uint32_t span = (m_Rng.Below(4) == 0 && pos + 2 < bits) ? 2 : 0;
        Indent();
        Put("<TBoolField BitPos=\"");
        PutInt(pos);
        if (span) {
            Put("..");
            PutInt(pos + span);
        }
        Put("\"><BitTrueDesc>");
        const char* t = m_Rng.Pick(kValueTexts);
        Put(t[0] == 'T' && t[1] == 'r' ? "Traffic &amp; news" : t);
        Put(" active</BitTrueDesc><BitFalseDesc>");
        Put(t[0] == 'T' && t[1] == 'r' ? "Traffic &amp; news" : t);
        Put(" inactive</BitFalseDesc></TBoolField>\n");
        pos += span + 1 + m_Rng.Below(3);
    }
}

void CatalogWriter::Bool() {
    static constexpr struct {
        const char* ref;
        uint32_t bits;
    } kRefs[] = {{"type_boolean", 8},        {"type_boolean", 8},
                 {"type_unsigned_byte", 8},  {"Type_Unsigned_Word", 16},
                 {"type_unsigned_word", 16}, {"type_unsigned_long", 32}};
    const auto& r = m_Rng.Pick(kRefs);
    OpenAttrs("TBool");
    Attr("TypeRef", r.ref);
    EndOpen();
    BoolFields(r.bits, 2 + m_Rng.Below(4 + 2 * m_Scale));
    Close("TBool");
}

// Length counts bytes under the default import options.
void CatalogWriter::BitField(int length) {
    OpenAttrs("TBitField");
    Put(" Length=\"");
    PutInt(length);
    PutChar('"');
    EndOpen();
    BoolFields(uint32_t(length) * 8, 2 + m_Rng.Below(4 + 2 * m_Scale));
    Close("TBitField");
}

// A record; field indices count from 0 or from 1. Fields of fixed length
// only, so the record can stand anywhere in an operation or an array.
void CatalogWriter::Record(uint32_t fields, int depth) {
    bool fromZero = m_Rng.Chance(40);
    OpenAttrs("TRecord");
    Put(" NElements=\"");
    PutInt(fields);
    PutChar('"');
    EndOpen();
    for (uint32_t i = 0; i < fields; ++i)
        RecordField(i + (fromZero ? 0 : 1), depth);
    Close("TRecord");
}

void CatalogWriter::RecordField(uint32_t index, int depth) {
    Indent();
    Put("<TRecordField FieldIdx=\"");
    if (m_Rng.Below(8) == 0)
        PutHex(index, 1);
    else
        PutInt(index);
    Put("\">\n");
    ++m_Depth;
    std::string name = WordName();
    if (m_Rng.Chance(70)) {
        Leaf("TRecordFieldName", name);
        Sentence("TRecordFieldDesc");
    } else {
        Leaf("ParamName", name);
        Sentence("ParamDescription");
    }
    Open("TRecordFieldType");
    uint32_t r = m_Rng.Below(depth > 0 ? 12 : 10);
    switch (r) {
    case 0:
    case 1:
    case 2:
    case 3:
        RandomNumber();
        break;
    case 4:
        Enum(2 + m_Rng.Below(4), m_Rng.Chance(10));
        break;
    case 5:
        String();
        break;
    case 6:
        Bool();
        break;
    case 7:
        BitField(m_Rng.Pick({1, 2, 4}));
        break;
    case 8:
        Indent();
        Put("<TShortStream MaxLength=\"");
        PutInt(8 + m_Rng.Below(40));
        Put("\"/>\n");
        break;
    case 9:
        Indent();
        Put("<TStream Length=\"");
        PutInt(2 + m_Rng.Below(14));
        Put("\"/>\n");
        break;
    case 10: // nested array of fixed length
        ArrayOf(m_Rng.Pick({"2", "3", "4", "0x08"}), m_Rng.Chance(50) ? 1 : 0, depth - 1);
        break;
    default:
        Record(1 + m_Rng.Below(3), depth - 1);
        break;
    }
    Close("TRecordFieldType");
    --m_Depth;
    Indent();
    Put("</TRecordField>\n");
}

// elementKind: 0 number, 1 record (whose fields may nest further arrays).
void CatalogWriter::ArrayOf(const char* nmax, int elementKind, int depth) {
    OpenAttrs("TArray");
    if (nmax) Attr("NMax", nmax);
    EndOpen();
    Leaf("TArrayName", WordName());
    Sentence("TArrayDesc");
    Open("TArrayElementType");
    if (elementKind == 0)
        RandomNumber();
    else
        Record(2 + m_Rng.Below(2 + m_Scale), depth);
    Close("TArrayElementType");
    Close("TArray");
}

// One stream member; kind 0 number, 1 enum, 2 string, 3 bool, 4 raw stream
// of fixed length.
void CatalogWriter::StreamMember(const std::string& name, uint32_t idx, const char* idxText,
                                 int kind) {
    Indent();
    Put("<StreamParam ParamIdx=\"");
    if (idxText)
        Put(idxText);
    else
        PutInt(idx);
    Put("\">\n");
    ++m_Depth;
    Leaf("ParamName", name);
    Sentence("ParamDescription");
    Open("ParamType");
    switch (kind) {
    case 0:
        RandomNumber();
        break;
    case 1:
        Enum(2 + m_Rng.Below(4), false);
        break;
    case 2:
        String();
        break;
    case 3:
        Bool();
        break;
    default:
        Indent();
        Put("<TStream Length=\"");
        PutInt(1 + m_Rng.Below(8));
        Put("\"/>\n");
        break;
    }
    Close("ParamType");
    --m_Depth;
    Indent();
    Put("</StreamParam>\n");
}

void CatalogWriter::Signals(uint32_t first, bool littleEndian, uint32_t count) {
    static constexpr int kLengths[] = {1, 1, 1, 2, 3, 4, 5, 8, 12, 16, 24, 32};
    for (uint32_t i = 0; i < count; ++i) {
        OpenAttrs("StreamSignal");
        Put(" SignalIdx=\"");
        PutInt(first + i);
        PutChar('"');
        if (m_Rng.Chance(littleEndian ? 50 : 15)) Put(" Signedness=\"Signed\"");
        EndOpen();
        Leaf("SignalName", m_FnNames[m_FnNames.size() - count + i]);
        LeafInt("SignalBitLength", m_Rng.Pick(kLengths));
        Sentence("SignalDescription");
        Close("StreamSignal");
    }
}

// A detailed stream with several case elements chosen by the value of the
// preceding parameter `selector`: parameter cases, a signal case, a
// little-endian signal case and an empty reserved case.
void CatalogWriter::SelectedStream(const std::string& selector, uint32_t cases) {
    Open("TStream");
    uint32_t code = 1;
    for (uint32_t c = 0; c < cases; ++c) {
        uint32_t kind = c < 4 ? c : m_Rng.Below(3);
        uint32_t width = m_Rng.Chance(30) ? 1 + m_Rng.Below(3) : 0;
        OpenAttrs("StreamCase");
        if (kind == 2) Attr("ByteOrder", "LittleEndian");
        EndOpen();
        Indent();
        Put("<PosDescription PosX=\"");
        Put(selector);
        Put("\" PosY=\"");
        PutHex(code, 2);
        if (width) {
            Put("..");
            PutHex(code + width, 2);
        }
        PutChar('"');
        code += width + 1 + m_Rng.Below(4);
        if (kind == 3) {
            Put("/>\n");
            Close("StreamCase");
            continue;
        }
        uint32_t members = 2 + m_Rng.Below(kind == 0 ? 2 : 4);
        size_t firstName = m_FnNames.size();
        for (uint32_t i = 0; i < members; ++i)
            WordName();
        bool describe = m_Rng.Chance(75);
        PutChar('>');
        if (describe) {
            for (uint32_t i = 0; i < members; ++i) {
                if (i) Put(", ");
                Put(m_FnNames[firstName + i]);
            }
        }
        Put("</PosDescription>\n");
        if (kind == 0) {
            // Document order need not follow the index order.
            for (uint32_t i = 0; i < members; ++i) {
                uint32_t j = (i + 1) % members;
                StreamMember(m_FnNames[firstName + j], j + 1, nullptr, int(m_Rng.Below(5)));
            }
        } else {
            Signals(1, kind == 2, members);
        }
        Close("StreamCase");
    }
    Close("TStream");
}

// One case element whose description has one line per selector range; the
// second line repeats a group: "Sel=1..2=A,B" and "Sel=3={A,{B,C}}". The
// Length makes the group fit a whole number of times.
void CatalogWriter::LinedStream(const std::string& selector) {
    static constexpr int kSmall[] = {kUByte, kSByte, kUWord, kSWord};
    int ta = m_Rng.Pick(kSmall), tb = m_Rng.Pick(kSmall), tc = m_Rng.Pick(kSmall);
    uint32_t repeats = 1 + m_Rng.Below(4);
    uint32_t length =
        uint32_t(kTypes[ta].bytes) + repeats * uint32_t(kTypes[tb].bytes + kTypes[tc].bytes);
    std::string a = WordName(), b = WordName(), c = WordName();
    OpenAttrs("TStream");
    Put(" Length=\"");
    PutInt(length);
    PutChar('"');
    EndOpen();
    Open("StreamCase");
    Open("PosDescription");
    bool spaced = m_Rng.Chance(50);
    const char* eq = spaced ? " = " : "=";
    const char* comma = spaced ? ", " : ",";
    Indent();
    Put(selector);
    Put(eq);
    Put("1..2");
    Put(eq);
    Put(a);
    Put(comma);
    Put(b);
    PutChar('\n');
    Indent();
    Put(selector);
    Put(eq);
    Put("3");
    Put(eq);
    PutChar('{');
    Put(a);
    Put(comma);
    PutChar('{');
    Put(b);
    Put(comma);
    Put(c);
    Put("}}\n");
    Close("PosDescription");
    const std::string* names[3] = {&a, &b, &c};
    const int types[3] = {ta, tb, tc};
    for (uint32_t i = 0; i < 3; ++i) {
        Indent();
        Put("<StreamParam ParamIdx=\"");
        PutInt(i + 1);
        Put("\">\n");
        ++m_Depth;
        Leaf("ParamName", *names[i]);
        Sentence("ParamDescription");
        Open("ParamType");
        Number(types[i], 0, RandomUnit(), m_Rng.Chance(50) ? 0 : 1);
        Close("ParamType");
        --m_Depth;
        Indent();
        Put("</StreamParam>\n");
    }
    Close("StreamCase");
    Close("TStream");
}

// A short stream whose single case has no description text: the order comes
// from ParamIdx, and "seq" marks the repeated group.
void CatalogWriter::IndexedShortStream() {
    OpenAttrs("TShortStream");
    Put(" MaxLength=\"");
    PutInt(m_Rng.Pick({31, 64, 100, 255}));
    PutChar('"');
    EndOpen();
    Open("StreamCase");
    Empty("PosDescription");
    std::string count = WordName(), x = WordName(), y = WordName();
    StreamMember(count, 1, nullptr, 0);
    StreamMember(x, 0, "2seq2", 0);
    StreamMember(y, 0, "3seq2", 0);
    Close("StreamCase");
    Close("TShortStream");
}

void CatalogWriter::DescribedShortStream() {
    OpenAttrs("TShortStream");
    if (m_Rng.Chance(70)) {
        Put(" MaxLength=\"");
        PutInt(16 + m_Rng.Below(200));
        PutChar('"');
    }
    EndOpen();
    Open("StreamCase");
    uint32_t members = 2 + m_Rng.Below(3);
    size_t firstName = m_FnNames.size();
    for (uint32_t i = 0; i < members; ++i)
        WordName();
    Indent();
    Put("<PosDescription>");
    for (uint32_t i = 0; i < members; ++i) {
        if (i) Put(", ");
        Put(m_FnNames[firstName + i]);
    }
    Put("</PosDescription>\n");
    for (uint32_t i = 0; i < members; ++i)
        StreamMember(m_FnNames[firstName + i], i + 1, nullptr, int(m_Rng.Below(4)));
    Close("StreamCase");
    Close("TShortStream");
}

// The elements of a list whose size a preceding ListSize number gives.
void CatalogWriter::ListStream() {
    Open("TStream");
    Open("StreamCase");
    std::string id = WordName(), value = WordName();
    Indent();
    Put("<PosDescription>{{");
    Put(id);
    Put(", ");
    Put(value);
    Put("}}</PosDescription>\n");
    StreamMember(id, 1, "1seq2", 0);
    StreamMember(value, 2, "2seq2", m_Rng.Chance(50) ? 0 : 1);
    Close("StreamCase");
    Close("TStream");
}

// --- functions ----------------------------------------------------------------------

void CatalogWriter::BeginFunction(std::string_view baseName, const char* classRef, bool method,
                                  const char* classElement, const char* prefix,
                                  const char* fktDefId, int fixedId) {
    std::string name(baseName);
    for (int n = 2; std::find(m_ElementFunctionNames.begin(), m_ElementFunctionNames.end(), name) !=
                    m_ElementFunctionNames.end();
         ++n)
        name = std::string(baseName) + std::to_string(n);
    m_ElementFunctionNames.push_back(name);
    uint32_t id = fixedId >= 0 ? uint32_t(fixedId) : m_NextFunctionId;
    if (fixedId < 0) m_NextFunctionId += m_Rng.Below(8) == 0 ? 2 + m_Rng.Below(6) : 1;

    m_Method = method;
    m_Prefix = prefix;
    m_ClassElement = classElement;
    std::fill(std::begin(m_NextPos), std::end(m_NextPos), 0);
    m_FnNames.clear();

    OpenAttrs("Function");
    if (fktDefId) Attr("FktDefId", fktDefId);
    EndOpen();
    Leaf("FunctionName", name);
    LeafCode("FunctionID", id, 3);
    Sentence("FunctionDescription");
    if (m_Rng.Chance(60)) Version("FunctionVersion");
    bool notificationElement = !method && m_Rng.Below(10) == 0;
    if (notificationElement) Leaf("Notification", m_Rng.Chance(50) ? "true" : "False");
    OpenAttrs("FunctionClass");
    if (classRef) Attr("ClassRef", classRef);
    EndOpen();
    if (method) {
        Open("Method");
    } else {
        OpenAttrs("Property");
        if (m_Rng.Below(6)) Attr("Notification", m_Rng.Chance(50) ? "true" : "false");
        EndOpen();
    }
    Open(classElement);
}

void CatalogWriter::EndFunction() {
    // The function that declares the error templates takes them in already.
    if (!m_Method && !m_DeclaresTemplates) ErrorRefs();
    m_DeclaresTemplates = false;
    Close(m_ClassElement);
    Close(m_Method ? "Method" : "Property");
    Close("FunctionClass");
    Close("Function");
}

void CatalogWriter::ErrorRefs() {
    if (!m_ErrTemplates) return;
    Indent();
    Put("<ERParam ParamDefRef=\"");
    Put(kErrCodeTemplate);
    Put("\"/>\n");
    Indent();
    Put("<ERParam ParamDefRef=\"");
    Put(kErrInfoTemplate);
    Put("\"/>\n");
}

// The error code and the error information of a property's Error operation,
// declared once as templates; every other property refers to them.
void CatalogWriter::ErrorTemplates() {
    static constexpr struct {
        unsigned code;
        const char* text;
    } kCodes[] = {{0x01, "FBlockID not available"},
                  {0x02, "InstID not available"},
                  {0x03, "FktID not available"},
                  {0x04, "OpType not available"},
                  {0x05, "Invalid length"},
                  {0x06, "Parameter wrong/out of range"},
                  {0x07, "Parameter not available"},
                  {0x0B, "Device malfunction"},
                  {0x20, "Function specific"},
                  {0x40, "Busy"},
                  {0x41, "Not available"}};
    OpenAttrs("ERParam");
    Attr("ParamDefId", kErrCodeTemplate);
    EndOpen();
    Leaf("ParamName", "ErrorCode");
    Sentence("ParamDescription");
    Open("ERParamType");
    Open("TEnum TEnumMax=\"0xFF\"");
    for (const auto& c : kCodes) {
        Indent();
        Put("<TEnumValue Code=\"");
        PutHex(c.code, 2);
        Put("\">");
        Put(c.text);
        Put("</TEnumValue>\n");
    }
    Close("TEnum");
    Close("ERParamType");
    Indent();
    Put("<ERParamOPType><PReportError><ParamPos>1</ParamPos></PReportError></ERParamOPType>\n");
    Close("ERParam");

    OpenAttrs("ERParam");
    Attr("ParamDefId", kErrInfoTemplate);
    EndOpen();
    Leaf("ParamName", "ErrorInfo");
    Sentence("ParamDescription");
    Open("ERParamType");
    Open("TStream");
    static constexpr struct {
        const char* posY;
        const char* members;
    } kCases[] = {{"0x04", "OpType"}, {"0x06..0x07", "ParamNo, ParamData"}, {"0x20", "Code"}};
    for (const auto& c : kCases) {
        Open("StreamCase");
        Indent();
        Put("<PosDescription PosX=\"ErrorCode\" PosY=\"");
        Put(c.posY);
        Put("\">");
        Put(c.members);
        Put("</PosDescription>\n");
        std::string_view members = c.members;
        uint32_t idx = 1;
        while (!members.empty()) {
            size_t comma = members.find(", ");
            std::string name(members.substr(0, comma));
            members =
                comma == std::string_view::npos ? std::string_view() : members.substr(comma + 2);
            Indent();
            Put("<StreamParam ParamIdx=\"");
            PutInt(idx++);
            Put("\">\n");
            ++m_Depth;
            Leaf("ParamName", name);
            Sentence("ParamDescription");
            Open("ParamType");
            if (name == "ParamData")
                Empty("TStream");
            else
                Number(kUByte, 0, "unit_none", name == "OpType" ? 2 : 0, 0, 15);
            Close("ParamType");
            --m_Depth;
            Indent();
            Put("</StreamParam>\n");
        }
        Close("StreamCase");
    }
    Close("TStream");
    Close("ERParamType");
    Indent();
    Put("<ERParamOPType><PReportError><ParamPos>2</ParamPos></PReportError></ERParamOPType>\n");
    Close("ERParam");
}

void CatalogWriter::NumberProp(bool small, bool declareTemplates) {
    BeginFunction(m_Rng.Pick(kWords), "class_number", false, "PNumber", "PN");
    BeginParam(WordName());
    RandomNumber();
    if (m_Rng.Chance(50))
        EndParam({kSet, kSetGet, kStatus});
    else
        EndParam({kSet, kStatus});
    VoidParam({kGet});
    if (!small && m_Rng.Chance(50)) {
        BeginParam(ParamName("Steps"));
        Number(kUByte, 0, "unit_none", 2, 1, 10);
        EndParam({kIncrement, kDecrement});
    }
    if (!small && m_Rng.Chance(15)) {
        VoidParam({kGetInterface});
        BeginParam(ParamName("InterfaceData"));
        Empty("TStream");
        EndParam({kInterface});
    }
    if (declareTemplates) {
        ErrorTemplates();
        m_DeclaresTemplates = true;
    }
    EndFunction();
}

void CatalogWriter::EnumProp() {
    BeginFunction(m_Rng.Pick(kWords), "class_enumeration", false, "PEnum", "PE");
    BeginParam(WordName());
    Enum(2 + m_Rng.Below(4 + 4 * m_Scale), m_Rng.Chance(15));
    EndParam({kSet, kStatus});
    VoidParam({kGet});
    EndFunction();
}

void CatalogWriter::SwitchProp() {
    BeginFunction(m_Rng.Pick(kWords), "class_switch", false, "PSwitch", "PS");
    BeginParam(WordName());
    OpenAttrs("TBool");
    Attr("TypeRef", m_Rng.Chance(70) ? "type_boolean" : "type_unsigned_byte");
    EndOpen();
    Indent();
    Put("<TBoolField "
        "BitPos=\"0\"><BitTrueDesc>On</BitTrueDesc><BitFalseDesc>Off</BitFalseDesc></"
        "TBoolField>\n");
    Close("TBool");
    EndParam({kSet, kSetGet, kStatus});
    VoidParam({kGet});
    EndFunction();
}

void CatalogWriter::TextProp() {
    BeginFunction(m_Rng.Pick(kWords), "class_text", false, "PText", "PT");
    BeginParam(ParamName("TextId"));
    Enum(2 + m_Rng.Below(5), false);
    EndParam({kGet, kSet, kStatus});
    BeginParam(WordName());
    String();
    EndParam({kSet, kStatus});
    EndFunction();
}

void CatalogWriter::RecordProp() {
    BeginFunction(m_Rng.Pick(kWords), "class_record", false, "PRecord", "PR");
    BeginParam(WordName());
    Record(2 + m_Rng.Below(3 + m_Scale), 1);
    EndParam({kSet, kStatus});
    VoidParam({kGet});
    EndFunction();
}

void CatalogWriter::ArrayProp() {
    uint32_t variant = m_Rng.Below(3);
    if (variant == 0) {
        // Pos selects the first entry; the open array of records comes last.
        // Its records hold a field that is an array of records itself.
        BeginFunction(m_Rng.Pick(kWords),
                      m_Rng.Pick({"class_array_of_record", "class_dynamic_array_of_record",
                                  "class_long_array_of_record"}),
                      false, "PArray", "PA");
        BeginParam(ParamName("Pos"));
        Number(kUWord, 0, "unit_none", 2, 0, 64);
        EndParam({kGet, kStatus});
        BeginParam(WordName());
        OpenAttrs("TArray");
        Attr("NMax", m_Rng.Chance(50) ? "N (&gt;=0)" : "NMax");
        EndOpen();
        Leaf("TArrayName", WordName());
        Sentence("TArrayDesc");
        Open("TArrayElementType");
        Open("TRecord NElements=\"2\"");
        RecordField(0, 0);
        Indent();
        Put("<TRecordField FieldIdx=\"1\">\n");
        ++m_Depth;
        Leaf("TRecordFieldName", WordName());
        Sentence("TRecordFieldDesc");
        Open("TRecordFieldType");
        ArrayOf(m_Rng.Pick({"3", "4", "0x10"}), 1, 0);
        Close("TRecordFieldType");
        --m_Depth;
        Indent();
        Put("</TRecordField>\n");
        Close("TRecord");
        Close("TArrayElementType");
        Close("TArray");
        EndParam({kStatus});
    } else if (variant == 1) {
        // A Tag before Data makes Data a tagged array; its record element is
        // then indexed by the PosY before it.
        BeginFunction(m_Rng.Pick(kWords), "class_array_of_record", false, "PArray", "PA");
        BeginParam(ParamName("Tag"));
        Number(kUWord, 0, "unit_none", 0);
        EndParam({kGet, kStatus});
        BeginParam(ParamName("PosY"));
        Number(kUByte, 0, "unit_none", 2, 0, 15);
        EndParam({kGet, kStatus});
        BeginParam(ParamName("Data"));
        OpenAttrs("TArray");
        Attr("NMax", m_Rng.Pick({"8", "16", "0x20"}));
        EndOpen();
        Leaf("TArrayName", WordName());
        Sentence("TArrayDesc");
        Open("TArrayElementType");
        Record(1 + m_Rng.Below(3), 0);
        Close("TArrayElementType");
        Close("TArray");
        EndParam({kStatus});
    } else {
        BeginFunction(m_Rng.Pick(kWords),
                      m_Rng.Pick({"class_array", "class_dynamic_array", "class_long_array"}), false,
                      "PArray", "PA");
        BeginParam(WordName());
        ArrayOf(m_Rng.Pick({"4", "8", "0x10", "32"}), 0, 0);
        EndParam({kSet, kStatus});
        VoidParam({kGet});
    }
    EndFunction();
}

void CatalogWriter::ContainerProp() {
    BeginFunction(m_Rng.Pick(kWords), "class_container", false, "PContainer", "PC");
    BeginParam(WordName());
    RandomNumber();
    EndParam({kSet, kStatus});
    BeginParam(WordName());
    String();
    EndParam({kSet, kStatus});
    BeginParam(WordName());
    BitField(m_Rng.Pick({1, 2, 4}));
    EndParam({kStatus});
    EndFunction();
}

void CatalogWriter::SequenceProp() {
    BeginFunction(m_Rng.Pick(kWords), m_Rng.Pick({"class_sequence_property", "class_sequence"}),
                  false, "PSequence", "PQ");
    VoidParam({kGet});
    std::string selector = ParamName("Mode");
    BeginParam(selector);
    Enum(4 + m_Rng.Below(4), false);
    EndParam({kStatus});
    BeginParam(WordName());
    SelectedStream(selector, 4 + m_Rng.Below(m_Scale));
    EndParam({kStatus});
    EndFunction();
}

// The stream kinds other than the selected one, each at the next position of
// the Status operation; the open ones come last.
void CatalogWriter::StreamsProp() {
    BeginFunction(m_Rng.Pick(kWords),
                  m_Rng.Pick({"class_unclassified_property", "class_unclassified", "class_map"}),
                  false, "PUnclassified", "PU");
    VoidParam({kGet});
    std::string selector = ParamName("Sel");
    BeginParam(selector);
    Number(kUByte, 0, "unit_none", 2, 1, 3);
    EndParam({kStatus});
    BeginParam(WordName());
    LinedStream(selector);
    EndParam({kStatus});
    if (m_Rng.Chance(70)) {
        BeginParam(WordName());
        Indent();
        Put("<TStream Length=\"");
        PutInt(1 + m_Rng.Below(16));
        Put("\"/>\n");
        EndParam({kSet, kStatus});
    }
    BeginParam(WordName());
    if (m_Rng.Chance(50)) {
        Indent();
        Put("<TShortStream MaxLength=\"");
        PutInt(8 + m_Rng.Below(200));
        Put("\"/>\n");
    } else {
        Empty("TShortStream");
    }
    EndParam({kStatus});
    BeginParam(WordName());
    IndexedShortStream();
    EndParam({kStatus});
    BeginParam(WordName());
    DescribedShortStream();
    EndParam({kStatus});
    BeginParam(WordName());
    if (m_Rng.Chance(50)) {
        Indent();
        Put("<TCStream MaxLength=\"");
        PutInt(m_Rng.Pick({256, 1024, 8192, 65535}));
        Put("\"/>\n");
    } else {
        Empty("TCStream");
    }
    EndParam({kStatus});
    for (uint32_t i = 0, n = m_Rng.Below(m_Scale); i < n; ++i) {
        BeginParam(WordName());
        RandomNumber();
        EndParam({kStatus});
    }
    switch (m_Rng.Below(3)) {
    case 0:
        BeginParam(ParamName("ListSize"));
        PlainNumber(kULong);
        EndParam({kStatus});
        BeginParam(ParamName("ListElements"));
        ListStream();
        EndParam({kStatus});
        break;
    case 1:
        BeginParam(WordName());
        Empty("TStream");
        EndParam({kStatus});
        break;
    default:
        break;
    }
    EndFunction();
}

void CatalogWriter::BitsProp() {
    BeginFunction(m_Rng.Pick(kWords), m_Rng.Pick({"class_bitset", "class_boolfield"}), false,
                  "PUnclassified", "PU");
    VoidParam({kGet});
    BeginParam(WordName());
    BitField(2);
    EndParam({kStatus});
    BeginParam(WordName());
    Bool();
    EndParam({kSet, kStatus});
    BeginParam(WordName());
    BitField(m_Rng.Pick({1, 4, 8}));
    EndParam({kStatus});
    for (uint32_t i = 0, n = m_Rng.Below(m_Scale); i < n; ++i) {
        BeginParam(WordName());
        if (m_Rng.Chance(50))
            Bool();
        else
            BitField(m_Rng.Pick({1, 2, 4}));
        EndParam({kStatus});
    }
    EndFunction();
}

void CatalogWriter::UnclassMethod() {
    BeginFunction(m_Rng.Pick(kWords),
                  m_Rng.Pick({"class_unclassified_method", "class_unclassified"}), true,
                  "MUnclassified", "MU");
    BeginParam(ParamName("SenderHandle"));
    PlainNumber(kUWord);
    EndParam({kStartResultAck, kResultAck, kErrorAck, kAbortAck});
    BeginParam(WordName());
    Enum(2 + m_Rng.Below(5), false);
    EndParam({kStartResult, kStartResultAck});
    BeginParam(WordName());
    RandomNumber();
    EndParam({kStartResult, kStartResultAck});
    for (uint32_t i = 0, n = m_Rng.Below(m_Scale); i < n; ++i) {
        BeginParam(WordName());
        RandomNumber();
        EndParam({kStartResult, kStartResultAck});
    }
    BeginParam(WordName());
    Enum(2 + m_Rng.Below(4), false);
    EndParam({kResult, kResultAck});
    BeginParam(WordName());
    String();
    EndParam({kResult, kResultAck});
    VoidParam({kAbort});
    BeginParam(ParamName("ErrorCode"));
    Enum(3, false);
    EndParam({kError, kErrorAck});
    BeginParam(ParamName("ErrorInfo"));
    Empty("TStream");
    EndParam({kError, kErrorAck});
    EndFunction();
}

void CatalogWriter::TriggerMethod(bool small) {
    BeginFunction(m_Rng.Pick(kWords), "class_trigger", true, "MTrigger", "MT");
    VoidParam({kStartResult, kResult});
    if (!small) {
        BeginParam(ParamName("SenderHandle"));
        PlainNumber(kUWord);
        EndParam({kStartResultAck, kResultAck});
    }
    BeginParam(ParamName("ErrorCode"));
    Enum(2, false);
    EndParam({kError});
    BeginParam(ParamName("ErrorInfo"));
    Empty("TStream");
    EndParam({kError});
    EndFunction();
}

void CatalogWriter::SequenceMethod() {
    BeginFunction(m_Rng.Pick(kWords), m_Rng.Pick({"class_sequence_method", "class_sequence"}), true,
                  "MSequence", "MQ");
    BeginParam(ParamName("SenderHandle"));
    PlainNumber(kUWord);
    EndParam({kStartAck, kProcessingAck, kResultAck, kErrorAck});
    BeginParam(WordName());
    Enum(2, false);
    EndParam({kStart, kStartAck});
    BeginParam(WordName());
    RandomNumber();
    EndParam({kStart, kStartAck});
    VoidParam({kAbort});
    BeginParam(WordName());
    Number(kUByte, 0, "unit_percent", 2, 0, 100);
    EndParam({kProcessing, kProcessingAck});
    BeginParam(WordName());
    RandomNumber();
    EndParam({kResult, kResultAck});
    BeginParam(WordName());
    String();
    EndParam({kResult, kResultAck});
    BeginParam(ParamName("ErrorCode"));
    Enum(3, false);
    EndParam({kError, kErrorAck});
    BeginParam(ParamName("ErrorInfo"));
    Empty("TStream");
    EndParam({kError, kErrorAck});
    EndFunction();
}

// FktIDs: the BitField stream of a function named FktIDs is the
// function-identifier bit stream.
void CatalogWriter::FktIdsTemplate() {
    BeginFunction("FktIDs", "class_unclassified_property", false, "PUnclassified", "PU",
                  kFktIdsTemplate, 0x000);
    VoidParam({kGet});
    BeginParam(ParamName("BitField"));
    Empty("TStream");
    EndParam({kStatus});
    EndFunction();
}

void CatalogWriter::NotificationTemplate() {
    BeginFunction("Notification", "class_unclassified_property", false, "PUnclassified", "PU",
                  kNotificationTemplate, 0x001);
    BeginParam(ParamName("Control"));
    Open("TEnum TEnumMax=\"3\"");
    Indent();
    Put("<TEnumValue Code=\"0\">SetAll</TEnumValue><TEnumValue Code=\"1\">SetFunction</TEnumValue>"
        "<TEnumValue Code=\"2\">ClearAll</TEnumValue><TEnumValue "
        "Code=\"3\">ClearFunction</TEnumValue>\n");
    Close("TEnum");
    EndParam({kSet});
    BeginParam(ParamName("DeviceID"));
    Number(kUWord, 0, "unit_none", 1);
    EndParam({kSet});
    BeginParam(ParamName("FktIDList"));
    Open("TArray NMax=\"NMax\"");
    Leaf("TArrayName", ParamName("FktIdEntry"));
    Sentence("TArrayDesc");
    Open("TArrayElementType");
    Number(kUWord, 0, "unit_none", 3, 0, 0xFFF);
    Close("TArrayElementType");
    Close("TArray");
    EndParam({kSet});
    BeginParam(ParamName("FktID"));
    Number(kUWord, 0, "unit_none", 3, 0, 0xFFF);
    EndParam({kGet, kStatus});
    BeginParam(ParamName("DeviceIDs"));
    Open("TArray");
    Leaf("TArrayName", ParamName("DeviceEntry"));
    Sentence("TArrayDesc");
    Open("TArrayElementType");
    PlainNumber(kUWord);
    Close("TArrayElementType");
    Close("TArray");
    EndParam({kStatus});
    EndFunction();
}

void CatalogWriter::WriteFunction(int kind, bool small) {
    switch (kind) {
    case kNumberProp:
        NumberProp(small, false);
        break;
    case kEnumProp:
        EnumProp();
        break;
    case kSwitchProp:
        SwitchProp();
        break;
    case kTextProp:
        TextProp();
        break;
    case kRecordProp:
        RecordProp();
        break;
    case kArrayProp:
        ArrayProp();
        break;
    case kContainerProp:
        ContainerProp();
        break;
    case kSequenceProp:
        SequenceProp();
        break;
    case kStreamsProp:
        StreamsProp();
        break;
    case kBitsProp:
        BitsProp();
        break;
    case kUnclassMethod:
        UnclassMethod();
        break;
    case kTriggerMethod:
        TriggerMethod(small);
        break;
    default:
        SequenceMethod();
        break;
    }
}

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

} // namespace

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
