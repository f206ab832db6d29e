// The catalog writer of the generator and what its parts share: the
// deterministic random source, the tables of types, units and words, and the
// writer class. Its parts are defined by what they write:
// generator_params.cpp (parameter types), generator_functions.cpp (functions
// and templates) and catalog_generator.cpp (definitions, FBlocks, the whole).
// Internal to the generator library.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace mostfcat::generator_detail {

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

inline constexpr BaseType kTypes[6] = {
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
inline constexpr UnitDef kUnits[] = {
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
inline constexpr const char* kWords[] = {
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

inline constexpr const char* kFBlockNames[] = {
    "AudioAmplifier", "AmFmTuner",    "AudioDiskPlayer", "Navigation",   "Telephone",
    "ClimateControl", "Display",      "RearCamera",      "SpeechInput",  "VehicleGateway",
    "MediaServer",    "RearSeatUnit", "Bluetooth",       "Diagnosis",    "SeatControl",
    "Lighting",       "ParkAssist",   "HeadUnit",        "DigitalRadio", "TvTuner",
    "Headphones",     "Microphone",   "Sunroof",         "Telematics",   "Instrument"};

inline constexpr const char* kValueTexts[] = {
    "Off",       "On",         "Low",           "Medium",
    "High",      "Auto",       "Manual",        "Idle",
    "Busy",      "Ready",      "Not available", "Left",
    "Right",     "Front",      "Rear",          "Up",
    "Down",      "Unknown",    "Reserved",      "Stereo",
    "Mono",      "Playing",    "Paused",        "Stopped",
    "Muted",     "Search up",  "Search down",   "Scan",
    "Random",    "Repeat all", "Repeat track",  "Traffic & news",
    "Day/night", "Error",      "Standby",       "Normal",
    "Sport",     "Eco"};

inline constexpr const char* kDescWords[] = {
    "the",     "of",     "device",  "current", "value", "state",   "reported", "by",
    "set",     "when",   "changes", "in",      "steps", "to",      "maximum",  "minimum",
    "level",   "output", "input",   "channel", "user",  "request", "a",        "each",
    "list",    "entry",  "for",     "with",    "and",   "only",    "selected", "default",
    "network", "source", "sink",    "range",   "unit",  "is",      "given",    "bus"};

// Operation elements by OpType; null where the vocabulary has none that we use.
inline constexpr const char* kPropertyOps[16] = {
    "PCmdSet",       "PCmdGet",       "PCmdSetGet",
    "PCmdIncrement", "PCmdDecrement", "PCmdGetInterface",
    nullptr,         nullptr,         nullptr,
    nullptr,         nullptr,         nullptr,
    "PReportStatus", nullptr,         "PReportInterface",
    "PReportError"};
inline constexpr const char* kMethodOps[16] = {
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

inline constexpr const char* kErrCodeTemplate = "ErrCodeStd";
inline constexpr const char* kErrInfoTemplate = "ErrInfoStd";
inline constexpr const char* kFktIdsTemplate = "FktIdsStd";
inline constexpr const char* kNotificationTemplate = "NotificationStd";

// Below these sizes the templates are left out: they alone would exceed the
// requested size.
inline constexpr uint64_t kMinSizeErrorTemplates = 12 * 1024;
inline constexpr uint64_t kMinSizeFunctionTemplates = 24 * 1024;
// The body size one FBlock aims at while the catalog grows by FBlocks.
inline constexpr uint64_t kFBlockBudget = 40 * 1024;

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

} // namespace mostfcat::generator_detail
