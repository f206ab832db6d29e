// mostfcat: control telegrams as a bus logger records them, put together
// into whole messages.
//
// A message longer than one telegram travels in segments: a first, any
// number of middle and a last segment, each with a message count as its
// first data byte. YFciTelegrams reads telegram lines (text or JSON capture
// lines), keeps the segments of every (source, FBlock, instance, function,
// OpType) apart and gives complete messages and faults. A fault is always
// reported, never a message silently dropped or decoded from broken bytes.
// Memory stays bounded: the number of pending messages and the size of one
// message are capped, and hitting a cap is a fault too.
#ifndef MOSTFCAT_TELEGRAMS_H
#define MOSTFCAT_TELEGRAMS_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mostfcat/user_input.h"

class MOSTFCAT_CLASS YFciTelegrams {
public:
    typedef std::vector<unsigned char> Bytes;

    // The control telegram layout: MOST25/50 (a 4-bit TelLen, up to 12 data
    // bytes) or MOST150 (a 12-bit TelLen, up to 45 data bytes).
    enum Layout { eMost50 = 0, eMost150 = 1 };
    // TelID values.
    enum TelId { eWhole = 0, eFirst = 1, eMiddle = 2, eLast = 3 };

    // One telegram.
    struct Telegram {
        std::string time;    // seconds as written (a JSON number), empty: none
        int32_t source = -1; // sending node address 0..0xFFFF, -1: none
        uint32_t fblock = 0, instance = 0, function = 0, operation = 0;
        uint32_t telId = 0, telLen = 0;
        Bytes data; // the data field as recorded (only telLen bytes count)
    };

    // A complete message or a fault.
    struct Result {
        bool fault = false;
        std::string error; // a fault: what happened, with the coordinates
        std::string input; // a fault caused by one line: that line (as given)
        uint32_t fblock = 0, instance = 0, function = 0, operation = 0;
        Bytes payload;       // a message: its payload
        std::string time;    // of its last telegram, empty: none
        int32_t source = -1; // -1: none
        uint32_t telegrams = 0;
    };

    enum LineKind { eLineTelegram = 0, eLineSkipped = 1, eLineBad = 2 };

    // Reads one line: "[TIME] [SRC:] BYTES" (TIME seconds with a '.', SRC
    // four hex digits, BYTES the header and the data field in hex, blanks
    // between bytes optional) or a JSON capture object. Blank lines and
    // lines starting with # are skipped. eLineBad with the reason in error.
    static LineKind ParseLine(const char* line, size_t length, Layout layout, Telegram& out,
                              std::string& error);
    // Reads a control frame: the header (5 bytes, 6 with MOST150), then the
    // data field. False with the reason.
    static bool ParseFrame(const uint8_t* frame, size_t length, Layout layout, Telegram& out,
                           std::string& error);
    // The size of the data field of a layout (12 or 45).
    static uint32_t FieldSize(Layout layout);

    // Default caps: pending messages at once, bytes of one message.
    static constexpr uint32_t kDefaultMaxPending = 1024;
    static constexpr uint32_t kDefaultMaxMessage = 65535;

    explicit YFciTelegrams(Layout layout, uint32_t maxPending = kDefaultMaxPending,
                           uint32_t maxMessage = kDefaultMaxMessage);
    ~YFciTelegrams();
    YFciTelegrams(const YFciTelegrams&) = delete;
    YFciTelegrams& operator=(const YFciTelegrams&) = delete;

    // Feeds one telegram; what it completes or breaks is appended to out.
    void Feed(const Telegram& telegram, std::vector<Result>& out);
    // Reads and feeds one line; a line that is no telegram is a fault.
    void FeedLine(const char* line, size_t length, std::vector<Result>& out);
    // The end of the input: every pending message is reported incomplete.
    void Finish(std::vector<Result>& out);
    // Messages begun and not yet complete.
    size_t Pending() const;

private:
    struct Impl;
    Impl* m_Impl;
};

// Decodes telegram lines into the text or JSON lines of YFciTraceDecoder:
// a complete message as decoding its payload whole shows it, plus "time",
// "source" and "telegrams"; a fault as one line with "error" (and "input").
class MOSTFCAT_CLASS YFciTelegramDecoder {
public:
    // The manager must outlive the decoder.
    YFciTelegramDecoder(YFciFCatManager* manager, uint16_t channel, uint32_t options,
                        YFciTraceDecoder::Format format, YFciTelegrams::Layout layout);
    ~YFciTelegramDecoder();
    YFciTelegramDecoder(const YFciTelegramDecoder&) = delete;
    YFciTelegramDecoder& operator=(const YFciTelegramDecoder&) = delete;

    // One line without its line end; output appended to out.
    void DecodeLine(const char* line, size_t length, std::string& out);
    // The end of the input: pending messages are reported.
    void Finish(std::string& out);
    // Faults reported so far.
    uint64_t Faults() const;
    // "N of M messages could not be decoded (...); K telegram faults", or
    // empty when nothing went wrong.
    std::string Summary() const;

private:
    struct Impl;
    Impl* m_Impl;
};

#endif // MOSTFCAT_TELEGRAMS_H
