// Identifier rules applied to every name taken from a catalog file.
#pragma once

#include <string>

namespace mostfcat {

// Rewrites a name into an identifier: characters outside the allowed set are
// dropped at both ends; inside, blanks and ( ) + , - . : ; [ ] { } become "_"
// and other characters are dropped; the result is cut to 255 characters.
void MakeIdentifier(std::string& name);
// MakeIdentifier, and "_NA_" when the result is empty.
void MakeIdentifierOrNA(std::string& name);
// Prefixes "_" when the first character is a decimal digit; true then.
bool FixLeadingDigit(std::string& name);
// True for a non-empty name that MakeIdentifier leaves unchanged.
bool IsIdentifier(const std::string& name);
// MakeIdentifier, cut to 32 characters; "FunctionCatalog" when empty.
void MakeCatalogName(std::string& name);

inline bool IsIdentifierChar(char c) {
    return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

} // namespace mostfcat
