// The built-in MOST error parameters: the error-code enumeration and the
// error-information stream that error operations carry.
#pragma once

#include "params/param.h"

namespace mostfcat {

class YMTCatalog;
class YImportLog;
class YMTParamEnum;
class YMTParamDetailedStream;

// Copies the catalog's built-in error-code enumeration (created on first
// use) into param; false when the built-in cannot be had.
bool UseDefaultErrorCode(YMTCatalog& catalog, YMTParam& param, YImportContext& ctx,
                         YImportLog& log);
// The same for the error-information stream.
bool UseDefaultErrorInfo(YMTCatalog& catalog, YMTParam& param, YImportContext& ctx,
                         YImportLog& log);

// Fill an empty enumeration or detailed stream with the built-in
// definitions.
bool BuildDefaultErrorCode(YMTParamEnum& target, YImportContext& ctx, YImportLog& log);
bool BuildDefaultErrorInfo(YMTParamDetailedStream& target, YImportContext& ctx, YImportLog& log);

} // namespace mostfcat
