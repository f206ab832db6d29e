// JSON output of the command-line tool, shared by the commands that print
// JSON (list --json, and the message commands).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

namespace mostfcat::cli {

// Keys keep the order in which they were set, so the output reads like the
// text outline.
using Json = nlohmann::ordered_json;

// Catalog texts are 8-bit texts in which every byte is one character
// (Latin-1: the importer maps characters up to 0xFF to their byte and any
// other one to '?'). JSON (and a terminal) needs UTF-8: bytes from 0x80 on
// become their two-byte form. Not for file paths, which are UTF-8 already.
std::string JsonText(const std::string& text);

// Writes value to out followed by a line end: on one line when indent is
// negative (one object per line), else indented by that many blanks.
void PrintJson(const Json& value, FILE* out, int indent = -1);

} // namespace mostfcat::cli
