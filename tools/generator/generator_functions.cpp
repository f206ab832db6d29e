// The functions of the synthetic catalogs: properties and methods of every
// class, the error-parameter and function templates.
#include "generator/generator_writer.h"

namespace mostfcat::generator_detail {

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

} // namespace mostfcat::generator_detail
