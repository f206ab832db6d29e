/*
 * A small host of the handle-based interface: loads libmostfcat.so at run
 * time, opens one function catalog and prints its tree with the attributes a
 * bus tool needs (names, IDs, item kinds, parameter positions, bit offsets
 * and widths), then looks up one message by names (lookup key, default
 * payload length) and reads a payload byte through one of its parameters.
 *
 * usage: mostfcat_host [-l LIBRARY] [CATALOG]
 *   LIBRARY  the shared library to load (default: MOSTFCAT_LIBRARY when the
 *            build defines it, else libmostfcat.so.3 from the loader's search
 *            path)
 *   CATALOG  the catalog XML file (default: the bundled sample catalog)
 *
 * Exit status: 0 success, 1 the library or the catalog could not be used,
 * 2 a usage error.
 *
 * Built against an installed library (the tests do the same):
 *   cc host.c $(pkg-config --cflags mostfcat) -ldl -o mostfcat_host \
 *      -DMOSTFCAT_LIBRARY="\"$(pkg-config --variable=libdir mostfcat)/libmostfcat.so.3\""
 */
#include <dlfcn.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "mostfcat/fct.h"

/* A host built for one installation loads that installation's library, also
 * when the prefix is not on the loader's search path. */
#ifndef MOSTFCAT_LIBRARY
#define MOSTFCAT_LIBRARY "libmostfcat.so.3"
#endif

#ifndef MOSTFCAT_SAMPLE_CATALOG
#define MOSTFCAT_SAMPLE_CATALOG "sample_catalog.xml"
#endif

/* Marks an unset bit position or width of a parameter. */
#define NOT_SET 0xFFFFFFFFu

/* The functions of the interface, resolved by name. */
static struct {
    uint32_t (*createManager)(uint64_t*, const char*);
    uint32_t (*destroyManager)(uint64_t);
    uint32_t (*openNamed)(uint64_t, const char*, uint16_t, const char*, char*, uint32_t);
    uint32_t (*close)(uint64_t, const char*, uint16_t);
    uint32_t (*itemList)(uint64_t, uint64_t**, uint32_t*);
    uint32_t (*subItemList)(uint64_t, uint32_t, uint64_t**, uint32_t*);
    uint32_t (*attrInt)(uint64_t, uint32_t, uint32_t*);
    uint32_t (*attrStr)(uint64_t, uint32_t, const char**);
    uint32_t (*lookupKey)(uint64_t, uint16_t, const char*, const char*, const char*, uint32_t*);
    uint32_t (*defaultLength)(uint64_t, uint16_t, uint32_t, uint32_t*);
    uint32_t (*paramByName)(uint64_t, uint16_t, uint32_t, const char*, uint64_t*);
    uint32_t (*bytesToStr)(uint64_t, const uint8_t*, uint32_t, char*, int32_t);
    uint32_t (*bytesToInt)(uint64_t, const uint8_t*, uint32_t, uint32_t*);
} fct;

static int Resolve(void* library, const char* name, void* slot, size_t size) {
    void* symbol = dlsym(library, name);
    if (!symbol) {
        fprintf(stderr, "mostfcat_host: %s not found: %s\n", name, dlerror());
        return 0;
    }
    /* Object and function pointers have the same size on POSIX systems. */
    memcpy(slot, &symbol, size);
    return 1;
}

#define RESOLVE(field, name) ok = Resolve(library, name, &fct.field, sizeof fct.field) && ok

static const char* Text(uint64_t node, uint32_t attribute) {
    const char* text = NULL;
    return fct.attrStr(node, attribute, &text) == MOSTFCAT_OK && text ? text : "";
}

static uint32_t Number(uint64_t node, uint32_t attribute) {
    uint32_t value = NOT_SET;
    return fct.attrInt(node, attribute, &value) == MOSTFCAT_OK ? value : NOT_SET;
}

/* The child array of a node for one item kind; positions may be empty. */
static uint32_t Items(uint64_t node, uint32_t kind, uint64_t** items) {
    uint32_t count = 0;
    if (fct.subItemList(node, kind, items, &count) != MOSTFCAT_OK) return 0;
    return count;
}

static void PrintBits(const char* label, uint32_t value) {
    if (value == NOT_SET)
        printf(", %s -", label);
    else
        printf(", %s %u", label, (unsigned)value);
}

/* Prints a node by its item kind (integer attribute 0) and walks down to its
 * children; position is the node's index in its parent's list. */
static void Walk(uint64_t node, uint32_t position, int depth) {
    static const uint32_t kChildKinds[] = {MOSTFCAT_ITEM_FBLOCK,   MOSTFCAT_ITEM_INSTANCE,
                                           MOSTFCAT_ITEM_FUNCTION, MOSTFCAT_ITEM_OPERATION,
                                           MOSTFCAT_ITEM_PARAM,    MOSTFCAT_ITEM_ENUMVALUE};
    const uint32_t kind = Number(node, 0);
    const uint32_t type = Number(node, 302);
    uint64_t* children = NULL;
    uint32_t count = 0, i = 0, k = 0;

    printf("%*s", depth * 2, "");
    switch (kind) {
    case MOSTFCAT_ITEM_CATALOG:
        printf("catalog %s (devices: %s)\n", Text(node, 101),
               Number(node, 113) == 1 ? "yes" : "no");
        /* The version is read only with option bit 0x2 of the profile. */
        if (*Text(node, 111)) printf("  release %s of %s\n", Text(node, 111), Text(node, 112));
        break;
    case MOSTFCAT_ITEM_FBLOCK:
        printf("fblock %s id 0x%02X: %s\n", Text(node, 3), (unsigned)Number(node, 4),
               Text(node, 5));
        break;
    case MOSTFCAT_ITEM_INSTANCE:
        printf("instance %s id 0x%02X (FBlock element %s)\n", Text(node, 3),
               (unsigned)Number(node, 4), Text(node, 263));
        break;
    case MOSTFCAT_ITEM_FUNCTION:
        printf("function %s id 0x%03X (%s, class %u)\n", Text(node, 3), (unsigned)Number(node, 4),
               type == 1   ? "property"
               : type == 2 ? "method"
                           : "other",
               (unsigned)Number(node, 303));
        break;
    case MOSTFCAT_ITEM_OPERATION:
        printf("operation %s code 0x%X\n", Text(node, 3), (unsigned)Number(node, 4));
        break;
    case MOSTFCAT_ITEM_ENUMVALUE:
        printf("value %s = %u\n", Text(node, 3), (unsigned)Number(node, 1201));
        break;
    default:
        printf("parameter %u %s: kind %u", (unsigned)position, Text(node, 3),
               (unsigned)Number(node, 1002));
        PrintBits("bit offset", Number(node, 1005));
        PrintBits("width", Number(node, 1006));
        printf("\n");
        break;
    }
    /* Each container answers only the kind of its children. */
    for (k = 0; k < sizeof kChildKinds / sizeof kChildKinds[0]; ++k) {
        count = Items(node, kChildKinds[k], &children);
        for (i = 0; i < count; ++i)
            if (children[i]) Walk(children[i], i, depth + 1);
    }
}

/* One message of the sample catalog by names: its lookup key, the length of
 * its default payload, and one parameter with a payload byte read through it
 * as a number and as a text. A catalog without that message gets a line
 * with the status instead. */
static void ShowMessage(uint64_t manager, const char* fblock, const char* function,
                        const char* operation, const char* param, uint8_t byte) {
    uint32_t key = 0, length = 0, number = 0, status = 0;
    uint64_t node = 0;
    char text[64];

    printf("message %s.%s.%s: ", fblock, function, operation);
    status = fct.lookupKey(manager, 1, fblock, function, operation, &key);
    if (status != MOSTFCAT_OK) {
        printf("status %u\n", (unsigned)status);
        return;
    }
    status = fct.defaultLength(manager, 1, key, &length);
    if (status != MOSTFCAT_OK) {
        printf("key 0x%06X, length status %u\n", (unsigned)key, (unsigned)status);
        return;
    }
    printf("key 0x%06X, default length %u\n", (unsigned)key, (unsigned)length);
    status = fct.paramByName(manager, 1, key, param, &node);
    if (status != MOSTFCAT_OK) {
        printf("  parameter %s: status %u\n", param, (unsigned)status);
        return;
    }
    printf("  parameter %s: byte 0x%02X", param, (unsigned)byte);
    if (fct.bytesToInt(node, &byte, 1, &number) == MOSTFCAT_OK)
        printf(" reads %u", (unsigned)number);
    if (fct.bytesToStr(node, &byte, 1, text, (int32_t)sizeof text) == MOSTFCAT_OK)
        printf(" (%s)", text);
    printf("\n");
}

int main(int argc, char** argv) {
    const char* libraryPath = MOSTFCAT_LIBRARY;
    const char* catalogPath = MOSTFCAT_SAMPLE_CATALOG;
    void* library = NULL;
    uint64_t manager = 0;
    uint64_t* catalogs = NULL;
    uint32_t count = 0, status = 0, i = 0;
    char name[64];
    int ok = 1, arg = 1;

    if (arg + 1 < argc && strcmp(argv[arg], "-l") == 0) {
        libraryPath = argv[arg + 1];
        arg += 2;
    }
    if (arg < argc && argv[arg][0] != '-') catalogPath = argv[arg++];
    if (arg < argc) {
        fprintf(stderr, "usage: mostfcat_host [-l LIBRARY] [CATALOG]\n");
        return 2;
    }

    library = dlopen(libraryPath, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        fprintf(stderr, "mostfcat_host: cannot load %s: %s\n", libraryPath, dlerror());
        return 1;
    }
    RESOLVE(createManager, "gFctCreateFCatManager");
    RESOLVE(destroyManager, "gFctDestroyFCatManager");
    RESOLVE(openNamed, "gFctOpenNamedFCat");
    RESOLVE(close, "gFctCloseFCat");
    RESOLVE(itemList, "gFctGetFCatItemList");
    RESOLVE(subItemList, "gFctGetSubItemList");
    RESOLVE(attrInt, "gFctGetAttrInt");
    RESOLVE(attrStr, "gFctGetAttrStr");
    RESOLVE(lookupKey, "gFctGetMessageLookupKey");
    RESOLVE(defaultLength, "gFctGetMessageDefaultLength");
    RESOLVE(paramByName, "gFctGetParamByName");
    RESOLVE(bytesToStr, "gFctConvertBytesToStr");
    RESOLVE(bytesToInt, "gFctConvertBytesToInt");
    if (!ok || fct.createManager(&manager, "host example") != MOSTFCAT_OK) {
        dlclose(library);
        return 1;
    }

    /* Channel 1 raises the manager's channel count to 1; the log of the
     * import is written beside the catalog. */
    status = fct.openNamed(manager, catalogPath, 1, NULL, name, sizeof name);
    if (status != MOSTFCAT_OK) {
        fprintf(stderr, "mostfcat_host: cannot open %s (status %u)\n", catalogPath,
                (unsigned)status);
        fct.destroyManager(manager);
        dlclose(library);
        return 1;
    }
    printf("opened %s as %s\n", catalogPath, name);
    if (fct.itemList(manager, &catalogs, &count) == MOSTFCAT_OK)
        for (i = 0; i < count; ++i)
            Walk(catalogs[i], i, 0);
    ShowMessage(manager, "AudioAmplifier", "Loudness", "Status", "Loudness", 2);

    status = fct.close(manager, catalogPath, 1);
    fct.destroyManager(manager);
    dlclose(library);
    if (status != MOSTFCAT_OK) {
        fprintf(stderr, "mostfcat_host: close gave status %u\n", (unsigned)status);
        return 1;
    }
    return 0;
}
