// What "mostfcat serve" answers, apart from HTTP: the catalogs it serves and
// the JSON API over them (outline, encoder form, decode, encode). The HTTP
// layer (serve_server.cpp) only routes requests here, so every answer is built
// from the request body and the catalogs, never from a file a request names.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "mostfcat/fci.h"
#include "serve_module.h"

namespace mostfcat::cli {

// A JSON error object {"error": text} (and "param" when one is named).
ApiReply ApiError(int status, const std::string& text, const std::string& param = "");

class ServeCatalogs {
public:
    ServeCatalogs() = default;
    ~ServeCatalogs();
    ServeCatalogs(const ServeCatalogs&) = delete;
    ServeCatalogs& operator=(const ServeCatalogs&) = delete;

    // Opens every catalog into one catalog manager on channel (0xFFFF: every
    // channel). On a problem it has printed why and returns the exit status
    // (kExitUsage: a file cannot be read, kExitFailed: an import failed).
    int Open(const std::vector<std::string>& paths, uint16_t channel);

    // GET /api/outline: {"catalogs":[...]}, each as "list --json" prints it.
    // Built once when the catalogs open; they do not change while serving.
    const std::string& Outline() const { return m_Outline; }
    // GET /api/form?message=FB.INST.FKT.OP: the values an operation takes.
    ApiReply Form(const std::string& coordinates);
    // POST /api/decode {"text": lines | "lines": [...], "telegrams", "most150"}.
    ApiReply Decode(const std::string& body);
    // POST /api/encode {"message": coordinates, "values": {name: text}, "raw"}.
    ApiReply Encode(const std::string& body);

private:
    // The object interface takes no lock: every call into the manager, its
    // messages and decoders is made under this mutex.
    std::mutex m_Lock;
    uint64_t m_Manager = 0;
    uint16_t m_Channel = 0; // the decode and encode channel (0: any)
    std::string m_Outline;
};

} // namespace mostfcat::cli
