#include "tree/xml_import.h"

#include <memory>
#include <new>

#include "import/import_context.h"
#include "import/import_log.h"
#include "import/import_state.h"
#include "import/xml.h"
#include "platform/paths.h"
#include "platform/strings.h"
#include "tree/catalog.h"

namespace mostfcat {

using namespace xercesc;

namespace {

// The validation choice: modes 0 and 2 validate; mode 4 lets the profile's
// Validate key decide (and records the decision); other modes do not.
bool ChooseValidation(YImportState& state) {
    if (state.validationMode == 4) {
        if (!state.profilePath.empty() && state.ReadValidateKey() == 1) {
            state.validationMode = 2;
            return true;
        }
        state.validationMode = 1;
        return false;
    }
    return (state.validationMode & ~2u) == 0;
}

// Parses and imports; returns the status and leaves the catalog in *catalog.
uint32_t ParseAndImport(YImportState& state, const std::string& xmlPath, uint64_t xmlTime,
                        YImportLog& log, YImportContext& ctx, YMTCatalog** catalog) {
    std::string message;
    YXmlParser* parser = XmlParser(message);
    if (!parser || !parser->Init(message)) {
        log.LogLine(message);
        return 1;
    }
    uint32_t status = 0;
    bool terminate = false;
    {
        bool validate = ChooseValidation(state);
        std::unique_ptr<YXmlParse> parse = parser->Parse(xmlPath, validate, message, terminate);
        if (!parse) {
            log.LogLine(message);
            status = 1;
        } else {
            status = parse->ErrorSeen() ? 1 : 0;
            if (!parse->Diagnostics().empty()) {
                std::string text = parse->Diagnostics();
                if (text.back() == '\n') text.back() = ' ';
                log.LogLine(text);
            }
        }
        if (status == 0) {
            log.LogLine("Parse done");
            log.LogLine("\n");
            log.SetWarningLevel(state.warningLevel);
            log.SetExcluded(state.logExclusions);
            log.LogLine(StrFormat("%s (Version %s):", "Importer messages", kImporterVersion));

            DOMDocument* doc = parse->Document();
            DOMElement* root = nullptr;
            for (DOMElement* e = doc ? YImportContext::FirstChildElement(doc) : nullptr; e;
                 e = YImportContext::NextSiblingElement(e))
                if (YImportContext::ElementIs(e, "FunctionCatalog")) {
                    root = e;
                    break;
                }
            if (!root) {
                status = 1;
            } else {
                // The tree is built in a storage of its own that the catalog
                // owns: its nodes and texts are made while it is current.
                auto* cat = new YMTCatalog();
                cat->AdoptStorage(std::make_unique<YMTStorage>());
                cat->FilePath = xmlPath;
                cat->FileTime = xmlTime;
                {
                    YMTStorageScope scope(cat->Storage());
                    cat->ImportXML(root, ctx, log);
                }
                log.WriteSummary();
                if (log.FatalCount() != 0) {
                    ctx.ReleaseNodes();
                    delete cat;
                    status = 1;
                } else {
                    cat->Storage()->Seal();
                    *catalog = cat;
                }
            }
        }
        // The context may still hold nodes built from this document; they go
        // before the parser (and with it the document).
        ctx.SetDefinitions(nullptr);
    }
    if (terminate) parser->Terminate();
    return status;
}

} // namespace

YImportResult ImportXmlFile(YImportState& state, const std::string& xmlPath, uint64_t xmlTime,
                            const YImportSettle& settle) {
    YImportResult result;
    YImportLog log;
    YMTCatalog* catalog = nullptr;
    uint32_t status = 0;
    {
        YImportContext ctx;
        ctx.SetOptions(state.options);
        ctx.SetSettings(&state);

        if (xmlPath.empty() || !IsFileReadable(xmlPath)) {
            status = 2;
        } else {
            if (!state.logPath.empty()) log.OpenLogFile(state.logPath);
            log.LogLine("XML import log file created by Torvik/Pellam");
            log.LogLine("XML file:");
            log.LogLine(xmlPath);
            log.LogLine(" ");
            log.LogLine("Parser messages:");
            try {
                status = ParseAndImport(state, xmlPath, xmlTime, log, ctx, &catalog);
            } catch (const std::bad_alloc&) {
                log.LogLine("Not enough memory");
                status = 1;
            } catch (...) {
                status = 1;
            }
            if (status != 0) {
                delete catalog;
                catalog = nullptr;
            }
        }
    }
    if (settle) {
        status = settle(status, catalog);
        catalog = nullptr;
    }
    log.LogLine("\n");
    log.LogLine(StrFormat(status != 0 ? "Import of file %s failed" : "Import of file %s completed",
                          xmlPath.c_str()));
    log.LogLine("\n");
    log.CloseLogFile();
    result.status = status;
    result.catalog = catalog;
    return result;
}

} // namespace mostfcat
