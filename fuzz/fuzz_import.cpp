// Fuzz target: arbitrary bytes as a catalog XML file through the import
// driver (parse, import, check, dump).
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "import/import_context.h"
#include "import/import_log.h"
#include "import/import_state.h"
#include "tree/catalog.h"
#include "tree/xml_import.h"

using namespace mostfcat;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path =
        "/tmp/mostfcat_fuzz_import_" + std::to_string(::getpid()) + ".xml";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    YImportState& state = YImportState::Instance();
    state.validationMode = 1;
    state.logPath.clear();
    YImportResult r = ImportXmlFile(state, path, 0);
    if (r.catalog) {
        YImportLog log;
        log.OpenDumpFile("/dev/null");
        YImportContext ctx;
        r.catalog->Dump(ctx, log);
        delete r.catalog;
    }
    return 0;
}
