#include "tree/identifiers.h"

#include <cstring>

namespace mostfcat {

void MakeIdentifier(std::string& name) {
    size_t first = 0, last = name.size();
    while (first < last && !IsIdentifierChar(name[first]))
        ++first;
    while (last > first && !IsIdentifierChar(name[last - 1]))
        --last;
    std::string out;
    out.reserve(last - first);
    for (size_t i = first; i < last; ++i) {
        char c = name[i];
        if (IsIdentifierChar(c))
            out.push_back(c);
        else if (c == ' ' || (c != 0 && std::strchr("()+,-.:;[]{}", c) != nullptr))
            out.push_back('_');
    }
    if (out.size() >= 256) out.resize(255);
    name.swap(out);
}

void MakeIdentifierOrNA(std::string& name) {
    MakeIdentifier(name);
    if (name.empty()) name = "_NA_";
}

bool FixLeadingDigit(std::string& name) {
    if (name.empty() || name[0] < '0' || name[0] > '9') return false;
    name.insert(name.begin(), '_');
    if (name.size() >= 256) name.resize(255);
    return true;
}

bool IsIdentifier(const std::string& name) {
    if (name.empty()) return false;
    std::string copy = name;
    MakeIdentifier(copy);
    return copy == name;
}

void MakeCatalogName(std::string& name) {
    MakeIdentifier(name);
    if (name.size() > 32) name.resize(32);
    if (name.empty()) name = "FunctionCatalog";
}

} // namespace mostfcat
