/*
 * mostfcat: the handle-based C interface.
 *
 * A manager handle is the address of a catalog manager; a node handle is the
 * address of a catalog tree node (catalog, FBlock, instance, function,
 * operation, parameter, enumeration value), valid while its catalog is
 * loaded. Every function returns a status code (MOSTFCAT_OK on success).
 * This header compiles as C and as C++.
 */
#ifndef MOSTFCAT_FCT_H
#define MOSTFCAT_FCT_H

#include <stdint.h>

#if defined(MOSTFCAT_BUILDING_LIBRARY)
#define MOSTFCAT_API __attribute__((visibility("default")))
#else
#define MOSTFCAT_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status codes. */
#define MOSTFCAT_OK 0u        /* success */
#define MOSTFCAT_NOT_FOUND 1u /* null node, unsupported request, nothing found */
#define MOSTFCAT_INVALID 2u   /* invalid argument (null pointer, key out of range), open failed */
#define MOSTFCAT_FILE_MISSING 3u /* open: XML file missing or unreadable; close: bad path */
#define MOSTFCAT_OPEN_STATUS3 4u /* open: the manager reported status 3 */
#define MOSTFCAT_BAD_CHANNEL 10u /* channel above 16 and not 0xFFFF */
#define MOSTFCAT_NO_FBLOCK 11u
#define MOSTFCAT_NO_FUNCTION 12u /* instance or function not found */
#define MOSTFCAT_NO_OPERATION 13u
#define MOSTFCAT_NO_PARAM 14u
#define MOSTFCAT_NO_SYMBOL 15u
#define MOSTFCAT_BUFFER_SMALL 20u

/* Item kinds (integer attribute 0, and the kind of gFctGetSubItemList). */
#define MOSTFCAT_ITEM_CATALOG 1u
#define MOSTFCAT_ITEM_FBLOCK 2u
#define MOSTFCAT_ITEM_INSTANCE 3u
#define MOSTFCAT_ITEM_FUNCTION 4u
#define MOSTFCAT_ITEM_OPERATION 5u
#define MOSTFCAT_ITEM_PARAM 6u
#define MOSTFCAT_ITEM_ENUMVALUE 20u

/* The channel that stands for no particular channel. */
#define MOSTFCAT_ANY_CHANNEL 0xFFFFu

/* Managers and catalogs. */
MOSTFCAT_API uint32_t gFctCreateFCatManager(uint64_t* handle, const char* name);
MOSTFCAT_API uint32_t gFctDestroyFCatManager(uint64_t handle);
MOSTFCAT_API uint32_t gFctOpenFCat(uint64_t handle, const char* path, uint16_t channel);
MOSTFCAT_API uint32_t gFctOpenNamedFCat(uint64_t handle, const char* path, uint16_t channel,
                                        const char* name, char* nameOut, uint32_t nameOutSize);
MOSTFCAT_API uint32_t gFctCloseFCat(uint64_t handle, const char* path, uint16_t channel);

/* Items and attributes. */
MOSTFCAT_API uint32_t gFctGetFCatItemList(uint64_t manager, uint64_t** items, uint32_t* count);
MOSTFCAT_API uint32_t gFctGetSubItemList(uint64_t node, uint32_t kind, uint64_t** items,
                                         uint32_t* count);
MOSTFCAT_API uint32_t gFctGetAttrInt(uint64_t node, uint32_t attribute, uint32_t* value);
MOSTFCAT_API uint32_t gFctGetAttrFloat(uint64_t node, uint32_t attribute, double* value);
MOSTFCAT_API uint32_t gFctGetAttrStr(uint64_t node, uint32_t attribute, const char** value);
MOSTFCAT_API uint32_t gFctGetAttrNode(uint64_t node, uint32_t attribute, uint64_t* value);
MOSTFCAT_API uint32_t gFctConvertSymbolToInt(uint64_t node, const char* symbol, uint32_t* value);

/* Messages and conversions.
 * A message lookup key is FBlock ID << 16 | function ID << 4 | OpType (at most
 * 0xFFFFFF). The texts of gFctGetMessageLookupKey are names or numbers
 * (decimal, "0x" hexadecimal, "0b" binary). */
MOSTFCAT_API uint32_t gFctGetMessageLookupKey(uint64_t manager, uint16_t channel,
                                              const char* fblock, const char* function,
                                              const char* operation, uint32_t* key);
MOSTFCAT_API uint32_t gFctGetMessageDefaultLength(uint64_t manager, uint16_t channel, uint32_t key,
                                                  uint32_t* length);
/* "PosX" and "PosY" name the two bytes of an operation's array position. */
MOSTFCAT_API uint32_t gFctGetParamByName(uint64_t manager, uint16_t channel, uint32_t key,
                                         const char* paramName, uint64_t* param);
MOSTFCAT_API uint32_t gFctConvertBytesToStr(uint64_t param, const uint8_t* bytes, uint32_t length,
                                            char* text, int32_t textSize);
MOSTFCAT_API uint32_t gFctConvertBytesToInt(uint64_t param, const uint8_t* bytes, uint32_t length,
                                            uint32_t* value);
MOSTFCAT_API uint32_t gFctConvertBytesToUInt64(uint64_t param, const uint8_t* bytes,
                                               uint32_t length, uint64_t* value);
MOSTFCAT_API uint32_t gFctConvertBytesToDouble(uint64_t param, const uint8_t* bytes,
                                               uint32_t length, double* value);

#ifdef __cplusplus
}
#endif

#endif /* MOSTFCAT_FCT_H */
