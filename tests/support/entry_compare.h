// Field-by-field comparison of two decoded entry lists (every slot a host
// can read, and the remarks and diagnostic kind of the implementation).
// Used by the tests and the fuzz targets that prove two decoding roads equal.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "decoding/param_info.h"

namespace mostfcat::test {

// Empty when a and b hold the same entries; else where they first differ.
inline std::string EntryDifference(const std::vector<YFciParamInfo*>& a,
                                   const std::vector<YFciParamInfo*>& b) {
    if (a.size() != b.size())
        return "entry count " + std::to_string(a.size()) + " vs " + std::to_string(b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        const auto& x = static_cast<const YFciParamInfoImpl&>(*a[i]);
        const auto& y = static_cast<const YFciParamInfoImpl&>(*b[i]);
        double dx = 0, dy = 0;
        uint64_t ux = 0, uy = 0;
        bool hx = x.NumericValue(dx), hy = y.NumericValue(dy);
        bool gx = x.UInt64Value(ux), gy = y.UInt64Value(uy);
        const char* field = x.ParamType() != y.ParamType()                      ? "kind"
                            : x.Level() != y.Level()                            ? "level"
                            : x.ParamMeaning() != y.ParamMeaning()              ? "meaning"
                            : x.ParamDispMode() != y.ParamDispMode()            ? "display mode"
                            : x.Name() != y.Name()                              ? "name"
                            : x.Data() != y.Data()                              ? "data"
                            : x.Position() != y.Position()                      ? "position"
                            : x.HexText() != y.HexText()                        ? "hex text"
                            : x.DecimalText() != y.DecimalText()                ? "decimal text"
                            : x.ValueText() != y.ValueText()                    ? "value text"
                            : hx != hy || std::memcmp(&dx, &dy, sizeof dx) != 0 ? "numeric value"
                            : x.UnitText() != y.UnitText()                      ? "unit"
                            : x.NameSuffix() != y.NameSuffix()                  ? "suffix"
                            : x.HasNoData() != y.HasNoData()                    ? "no-data flag"
                            : x.Length() != y.Length()                          ? "length"
                            : x.BitLength() != y.BitLength()                    ? "bit length"
                            : x.IsWildcard() != y.IsWildcard()                  ? "wildcard"
                            : x.ValueList() != y.ValueList()                    ? "value list"
                            : x.HasEncodingByte() != y.HasEncodingByte()        ? "encoding byte"
                            : x.IsOpenEnded() != y.IsOpenEnded()                ? "open end"
                            : x.IsBigEndian() != y.IsBigEndian()                ? "byte order"
                            : gx != gy || ux != uy                              ? "raw value"
                            : x.ValueFlag() != y.ValueFlag()                    ? "value flag"
                            : x.Remarks() != y.Remarks()                        ? "remarks"
                            : x.ErrorKind() != y.ErrorKind()                    ? "diagnostic kind"
                                                                                : nullptr;
        if (field)
            return "entry " + std::to_string(i) + " (" + x.Name() + "): " + field + " differs";
    }
    return std::string();
}

} // namespace mostfcat::test
