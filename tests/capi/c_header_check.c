/* The C header compiled as C99: every function is taken through a table of
 * typed pointers (which checks the prototypes), and a few of them are called
 * to open a catalog and count its FBlocks. */
#include <stddef.h>

#include "mostfcat/fct.h"

struct FctTable {
    uint32_t (*createManager)(uint64_t*, const char*);
    uint32_t (*destroyManager)(uint64_t);
    uint32_t (*open)(uint64_t, const char*, uint16_t);
    uint32_t (*openNamed)(uint64_t, const char*, uint16_t, const char*, char*, uint32_t);
    uint32_t (*close)(uint64_t, const char*, uint16_t);
    uint32_t (*itemList)(uint64_t, uint64_t**, uint32_t*);
    uint32_t (*subItemList)(uint64_t, uint32_t, uint64_t**, uint32_t*);
    uint32_t (*attrInt)(uint64_t, uint32_t, uint32_t*);
    uint32_t (*attrFloat)(uint64_t, uint32_t, double*);
    uint32_t (*attrStr)(uint64_t, uint32_t, const char**);
    uint32_t (*attrNode)(uint64_t, uint32_t, uint64_t*);
    uint32_t (*symbolToInt)(uint64_t, const char*, uint32_t*);
};

static const struct FctTable kFct = {
    gFctCreateFCatManager, gFctDestroyFCatManager, gFctOpenFCat,       gFctOpenNamedFCat,
    gFctCloseFCat,         gFctGetFCatItemList,    gFctGetSubItemList, gFctGetAttrInt,
    gFctGetAttrFloat,      gFctGetAttrStr,         gFctGetAttrNode,    gFctConvertSymbolToInt,
};

/* The number of FBlocks of the catalog at path, or minus the open status. */
int mostfcat_c_header_check(const char* path);

int mostfcat_c_header_check(const char* path) {
    uint64_t manager = 0;
    uint64_t* items = NULL;
    uint64_t* fblocks = NULL;
    uint32_t count = 0, i = 0, kind = 0;
    int result = 0;
    uint32_t status = 0;
    if (kFct.createManager(&manager, "c") != MOSTFCAT_OK) return -100;
    status = kFct.open(manager, path, 1);
    if (status != MOSTFCAT_OK) {
        kFct.destroyManager(manager);
        return -(int)status;
    }
    if (kFct.itemList(manager, &items, &count) != MOSTFCAT_OK || count != 1 ||
        kFct.subItemList(items[0], MOSTFCAT_ITEM_FBLOCK, &fblocks, &count) != MOSTFCAT_OK)
        result = -101;
    for (i = 0; result >= 0 && i < count; ++i)
        if (fblocks[i] && kFct.attrInt(fblocks[i], 0, &kind) == MOSTFCAT_OK &&
            kind == MOSTFCAT_ITEM_FBLOCK)
            ++result;
    kFct.close(manager, path, MOSTFCAT_ANY_CHANNEL);
    kFct.destroyManager(manager);
    return result;
}
