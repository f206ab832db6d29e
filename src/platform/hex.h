// Fast hex formatting shared by every layer.
#pragma once

#include <cstddef>
#include <string>

namespace mostfcat {

// The two upper-case hex digits of a byte ("%02X"), from the table made when the library is loaded.
const char* HexPair(unsigned char b);
// Appends the condensed hex text of count bytes.
void AppendHex(std::string& out, const unsigned char* p, size_t count);
// The value of a hex digit, or -1.
int HexDigit(char c);

} // namespace mostfcat
