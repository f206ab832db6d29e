// Fuzz target: a stream of telegram lines (text and JSON capture lines, both
// layouts) through the reassembler with small caps and through the decoder
// of telegram lines over the fuzz catalogs. The caps must hold at every
// step, no message may be longer than its cap or carry more bytes than the
// telegrams gave, and a whole telegram must come out as its own bytes.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_catalogs.h"
#include "mostfcat/telegrams.h"

using namespace mostfcat;

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t mode = data[0];
    const auto layout = (mode & 1) ? YFciTelegrams::eMost150 : YFciTelegrams::eMost50;
    const uint32_t maxPending = 1 + ((mode >> 1) & 3);
    const uint32_t maxMessage = 8u << ((mode >> 3) & 3);
    const char* text = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;

    YFciTelegrams reassembler(layout, maxPending, maxMessage);
    fuzz::FuzzCatalogs& cats = fuzz::FuzzCatalogs::Get();
    YFciTelegramDecoder decoder(
        &cats.Manager(), static_cast<uint16_t>((mode >> 5) & 7), 0xFFFFFFFFu,
        (mode & 0x80) ? YFciTraceDecoder::eJson : YFciTraceDecoder::eText, layout);
    std::vector<YFciTelegrams::Result> results;
    std::string out;
    uint64_t given = 0, taken = 0;
    size_t start = 0;
    for (size_t i = 0; i <= length; ++i) {
        if (i < length && text[i] != '\n') continue;
        const char* line = text + start;
        const size_t n = i - start;
        start = i + 1;

        YFciTelegrams::Telegram t;
        std::string error;
        YFciTelegrams::LineKind kind = YFciTelegrams::ParseLine(line, n, layout, t, error);
        Check(kind != YFciTelegrams::eLineBad || !error.empty());
        if (kind == YFciTelegrams::eLineTelegram) {
            Check(t.data.size() <= YFciTelegrams::FieldSize(layout));
            given += std::min<size_t>(t.telLen, t.data.size());
        }
        results.clear();
        reassembler.FeedLine(line, n, results);
        Check(reassembler.Pending() <= maxPending);
        for (const YFciTelegrams::Result& r : results) {
            Check(r.fault == !r.error.empty());
            if (r.fault) continue;
            Check(r.payload.size() <= std::max<size_t>(maxMessage, 45));
            Check(r.telegrams >= 1);
            taken += r.payload.size();
            if (r.telegrams == 1 && kind == YFciTelegrams::eLineTelegram) {
                Check(t.telId == 0 && r.payload.size() == t.telLen);
                Check(std::equal(r.payload.begin(), r.payload.end(), t.data.begin()));
            }
        }
        Check(taken <= given);
        decoder.DecodeLine(line, n, out);
        if (out.size() > (1 << 20)) out.clear();
    }
    results.clear();
    reassembler.Finish(results);
    Check(reassembler.Pending() == 0);
    for (const YFciTelegrams::Result& r : results)
        Check(r.fault);
    decoder.Finish(out);
    (void)decoder.Summary();
    return 0;
}
