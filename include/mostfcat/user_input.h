// mostfcat: where users meet messages.
//
// What an engineer types or a bus logger records goes through these helpers
// before it reaches a message, and what a decode shows comes back through
// them: hex bytes read strictly, values taken as a decode shows them
// (physical, with the unit's exponent applied), texts converted between
// UTF-8 and a string's own encoding, trace lines decoded into text or JSON.
// Nothing is changed silently: an input that does not fit is refused with the
// rule it broke. The command-line tool and the Python module both use them,
// so that they cannot disagree.
#ifndef MOSTFCAT_USER_INPUT_H
#define MOSTFCAT_USER_INPUT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "mostfcat/mesg_info.h"
#include "mostfcat/message.h"

class YFciFCatManager;

class MOSTFCAT_CLASS YFciUserInput {
public:
    typedef std::vector<unsigned char> Bytes;

    // Remarks on a decoded entry (EntryRemarks).
    enum Remark : uint32_t {
        eRemarkOutOfRange = 0x1, // a number outside the catalog's range
        eRemarkUndefined = 0x2,  // an enumeration code without a value
    };

    // Hex bytes: pairs of hex digits, blanks and tabs allowed between bytes.
    // An odd digit or any other character is refused naming its position
    // (counted from 1).
    static bool ParseHex(const std::string& text, Bytes& out, std::string& error);

    // Sets a value of a message instance from a text. Not raw: the text as a
    // decode shows it (numbers physical, exactly on the catalog's step grid
    // and inside its range; enumerations by value name or defined code;
    // strings in UTF-8, converted into the string's encoding; raw bytes as
    // strict hex). Raw: numbers and signals as raw integers, enumerations by
    // any code that fits. False with the broken rule in error.
    static bool SetValue(YFciParam& param, const std::string& text, bool raw, std::string& error);

    // What a value accepts, in words (for messages about a refused text).
    static std::string Accepts(YFciParam& param, bool raw);

    // Sets values by symbolic name (array elements are made as needed) and
    // gives the payload. A name given twice, a name that does not exist and a
    // text that does not fit are refused: error says why and param names the
    // parameter. unset lists the parameters left without a value.
    static bool EncodeValues(YFciMessage& message,
                             const std::vector<std::pair<std::string, std::string>>& values,
                             bool raw, Bytes& payload, std::vector<std::string>& unset,
                             std::string& param, std::string& error);

    // Checks positional input texts before they are assembled: raw bytes in
    // braces must be strict hex. False with the index and the reason.
    static bool CheckInputs(const std::vector<std::string>& inputs, uint32_t& index,
                            std::string& error);
    // The meaning of an assembling status code.
    static const char* AssembleStatusText(uint32_t status);

    // A string's bytes (the encoding byte first when it has one) as UTF-8:
    // 0x00 UTF-16 big-endian, 0x01 ISO 8859-15, 0x02 UTF-8; any other code
    // one character per byte. Stops at the terminator. code receives the
    // encoding code; false when the code is none of the three.
    static bool StringToUtf8(const Bytes& data, bool hasEncodingByte, std::string& out,
                             uint32_t& code);
    // UTF-8 text into the bytes of an encoding (without encoding byte and
    // terminator); a character the encoding cannot hold is refused, named.
    static bool Utf8ToString(const std::string& text, uint32_t code, Bytes& out,
                             std::string& error);
    // raw x 10^exponent in fixed notation, exact for whole raw values
    // ("-20.0" for -200 and -1, "0.000005" for 5 and -6).
    static std::string PhysicalText(double raw, long exponent);
    // Catalog texts (one character per byte) as UTF-8.
    static std::string Latin1ToUtf8(const std::string& text);
    // Bytes a user gave (a trace line, an argument) as UTF-8: kept when they
    // are UTF-8 already, else read one character per byte.
    static std::string InputTextToUtf8(const std::string& text);

    // The value of a decoded entry as a user reads it, in UTF-8 (strings
    // decoded by their encoding byte).
    static std::string EntryValueText(const YFciParamInfo& entry);
    // The same appended to out (which keeps its buffer: nothing is allocated
    // for the common texts once out has room). False when it could not.
    static bool AppendEntryValueText(std::string& out, const YFciParamInfo& entry);
    // Remark bits of a decoded entry.
    static uint32_t EntryRemarks(const YFciParamInfo& entry);

    // A warning when the description's instance is not in its FBlock and the
    // layout of another instance stands in (empty otherwise).
    static std::string InstanceFallbackText(YFciMesgInfo& info);

    // Compiles the layout of every operation in the catalogs of a channel
    // (0: every open catalog) now, instead of at the first decode of each
    // operation: for hosts that want no message to pay for it. Returns how
    // many operations have their layout ready (0 for a manager this library
    // did not make). A catalog opened or reloaded later compiles on first
    // use again.
    static uint32_t CompileLayouts(YFciFCatManager& manager, uint16_t channel);
};

// Decodes trace lines "[TIME] FBLOCK.INST.FKT.OP:HEX" (coordinates in
// hexadecimal, TIME seconds with a '.') into text or one JSON object a line.
class MOSTFCAT_CLASS YFciTraceDecoder {
public:
    enum Format { eText = 0, eJson = 1 };
    enum Outcome { eDecoded = 0, eSkipped = 1, eUnknown = 2, eMalformed = 3 };

    // The manager must outlive the decoder. The decoder keeps a description
    // per message kind: make a new one after the manager's catalogs were
    // opened, closed or reloaded.
    YFciTraceDecoder(YFciFCatManager* manager, uint16_t channel, uint32_t options, Format format);
    ~YFciTraceDecoder();
    YFciTraceDecoder(const YFciTraceDecoder&) = delete;
    YFciTraceDecoder& operator=(const YFciTraceDecoder&) = delete;

    // One line without its line end: blank lines and lines starting with #
    // are skipped; anything else is decoded or reported. The output is
    // appended to out.
    Outcome DecodeLine(const char* line, size_t length, std::string& out);
    // One message given by coordinates (time may be empty).
    Outcome DecodeMessage(uint32_t fblock, uint32_t instance, uint32_t function, uint32_t operation,
                          const uint8_t* data, size_t length, const std::string& time,
                          std::string& out);
    // The same with what a trace said about the message: the source node
    // address (negative: none) and how many telegrams carried it (0: not
    // said). The output is that of the message alone plus those fields.
    Outcome DecodeMessage(uint32_t fblock, uint32_t instance, uint32_t function, uint32_t operation,
                          const uint8_t* data, size_t length, const std::string& time,
                          int32_t source, uint32_t telegrams, std::string& out);
    // How many lines had each outcome so far.
    uint64_t Count(Outcome outcome) const;
    // "N of M messages could not be decoded (...)", or empty when all were.
    std::string Summary() const;

private:
    struct Impl;
    Impl* m_Impl;
};

#endif // MOSTFCAT_USER_INPUT_H
