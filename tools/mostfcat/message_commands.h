// The message commands of the tool: decode payloads, encode values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mostfcat/json_util.h"

class YFciMesgInfo;

namespace mostfcat::cli {

int CmdDecode(const std::vector<std::string>& args);
int CmdEncode(const std::vector<std::string>& args);

// Message coordinates written "FBLOCK.INST.FKT.OP" in hexadecimal.
struct MessageCoordinates {
    uint32_t fblock = 0, instance = 0, function = 0, operation = 0;
};
// Reads coordinates; false with the reason in problem.
bool ParseCoordinates(const std::string& text, MessageCoordinates& out, std::string& problem);

} // namespace mostfcat::cli
