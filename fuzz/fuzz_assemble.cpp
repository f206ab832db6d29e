// Fuzz target: input strings (separated by line feeds) assembled into a
// payload for one of the fuzz catalogs' operations; the payload is decoded
// again and matched against the assembled pattern.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_catalogs.h"
#include "mostfcat/mesg_info.h"

using namespace mostfcat;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr size_t kHead = 5;
    if (size < kHead) return 0;
    fuzz::FuzzCatalogs& cats = fuzz::FuzzCatalogs::Get();
    fuzz::Coordinates c = cats.Pick(data[0], uint32_t(data[1]) << 8 | data[2]);
    uint32_t options = data[3] & 1 ? 0xFFFFFFFF : 0xFFFF7FFF;
    if (data[3] & 2) c.op = (c.op + 1) & 0xF; // sometimes an operation that may not exist
    std::vector<std::string> inputs;
    std::string current;
    for (size_t i = kHead; i < size; ++i) {
        if (data[i] == '\n') {
            inputs.push_back(current);
            current.clear();
        } else {
            current.push_back(static_cast<char>(data[i]));
        }
    }
    if (size > kHead) inputs.push_back(current);

    std::unique_ptr<YFciMesgInfo> pattern(
        cats.Manager().CreateMesgInfo(c.channel, c.fblock, c.inst, c.fkt, c.op));
    if (!pattern) return 0;
    pattern->SetOptions(options);
    pattern->SetMaxParams(data[4] ? data[4] : 65535);
    uint32_t status = 0, index = 0;
    pattern->Assemble(inputs, status, index);
    if (status != 0 && index > inputs.size()) std::abort();
    (void)pattern->ParamInfoTree();

    const std::vector<uint8_t>& bytes = pattern->Data();
    std::unique_ptr<YFciMesgInfo> message(
        cats.Manager().CreateMesgInfo(c.channel, c.fblock, c.inst, c.fkt, c.op, bytes));
    if (!message) return 0;
    message->Disassemble();
    message->Matches(pattern.get());
    return 0;
}
