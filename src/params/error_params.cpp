#include "params/error_params.h"

#include "tree/catalog.h"

namespace mostfcat {

bool UseDefaultErrorCode(YMTCatalog& catalog, YMTParam&, YImportContext&, YImportLog&) {
    // The built-in definitions are not available yet: no default can be had.
    catalog.ErrorCodeFailed = 1;
    return false;
}

bool UseDefaultErrorInfo(YMTCatalog& catalog, YMTParam&, YImportContext&, YImportLog&) {
    catalog.ErrorInfoFailed = 1;
    return false;
}

} // namespace mostfcat
