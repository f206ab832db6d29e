// Small catalog elements for the manager and interface suites: FBlocks with
// devices, number properties and trigger methods, and files with a fixed
// modification time.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <string>

#include "support/test_support.h"

namespace mostfcat::test {

inline std::string DeviceXml(const std::string& name, const std::string& id) {
    return "<Device><DeviceName>" + name + "</DeviceName><InstanceID>" + id +
           "</InstanceID><DeviceDescription>" + name + " device</DeviceDescription></Device>";
}

inline std::string FBlockXml(const std::string& name, const std::string& id,
                             const std::string& body) {
    return "<FBlock><FBlockName>" + name + "</FBlockName><FBlockID>" + id +
           "</FBlockID><FBlockDescription>" + name + " block</FBlockDescription>" + body +
           "</FBlock>";
}

// A number property with the operations Set (0) and Status (0xC).
inline std::string PropertyXml(const std::string& name, const std::string& id) {
    return "<Function><FunctionName>" + name + "</FunctionName><FunctionID>" + id +
           "</FunctionID><FunctionDescription>" + name +
           " function</FunctionDescription><FunctionClass ClassRef=\"class_number\"><Property>"
           "<PNumber><PNParam><ParamName>" +
           name +
           "</ParamName><ParamDescription>level</ParamDescription><PNParamType><TNumber>"
           "<BasisDataType><TUByte TypeRef=\"type_unsigned_byte\"/></BasisDataType>"
           "<Exponent>0</Exponent><RangeMin>0</RangeMin><RangeMax>40</RangeMax><Step>1</Step>"
           "<Unit UnitRef=\"unit_none\"/></TNumber></PNParamType><PNParamOPType>"
           "<PCmdSet><ParamPos>1</ParamPos></PCmdSet><PReportStatus><ParamPos>1</ParamPos>"
           "</PReportStatus></PNParamOPType></PNParam></PNumber></Property></FunctionClass>"
           "</Function>";
}

// A trigger method with the operations StartResult (2) and Result (0xC).
inline std::string MethodXml(const std::string& name, const std::string& id) {
    return "<Function><FunctionName>" + name + "</FunctionName><FunctionID>" + id +
           "</FunctionID><FunctionDescription>" + name +
           " function</FunctionDescription><FunctionClass ClassRef=\"class_trigger\"><Method>"
           "<MTrigger><MTParam><ParamName>Void</ParamName><ParamDescription>none"
           "</ParamDescription><MTParamType><TVoid/></MTParamType><MTParamOPType>"
           "<MCmdStartResult/><MReportResult/></MTParamOPType></MTParam></MTrigger></Method>"
           "</FunctionClass></Function>";
}

// Gives a file the modification time t (seconds since 1970).
inline void SetFileTime(const std::string& path, int64_t t) {
    timespec ts[2] = {{static_cast<time_t>(t), 0}, {static_cast<time_t>(t), 0}};
    utimensat(AT_FDCWD, path.c_str(), ts, 0);
}

inline void WriteFileAt(const std::string& path, const std::string& text, int64_t t) {
    WriteFile(path, text);
    SetFileTime(path, t);
}

} // namespace mostfcat::test
