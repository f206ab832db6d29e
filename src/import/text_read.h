// Readers for the numbers and code ranges that catalog texts carry.
#pragma once

#include <cstdint>
#include <string>

namespace mostfcat {

// The import's number reader: the text is lower-cased and trimmed; after a
// "0x" it must be hexadecimal digits, after a "0b" binary digits (blanks
// skipped), otherwise a signed decimal number. An empty text reads as 0.
// Returns false when the text cannot be read.
bool ReadNumber(const std::string& text, int64_t& value);

// A code range: "#NULL#", one number, "a..b" / "a...b", or ">a". The ends
// are decimal (with an optional "-"), "0x" hexadecimal or "0b" binary.
struct YCodeRange {
    int64_t min = 0;
    int64_t max = 0;
};
bool ReadCodeRange(const std::string& text, YCodeRange& range);

// One unsigned end of a code range: decimal, "0x" hexadecimal or "0b" binary,
// blanks around it ignored. A leading "-" is accepted so that callers can
// report negative values. A value beyond the signed 64-bit range fails.
bool ReadRangeValue(const std::string& text, int64_t& value);

} // namespace mostfcat
