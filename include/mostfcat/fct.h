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
/* Compiles the layout of every operation in the catalogs of a channel (0 or
 * 0xFFFF: every catalog) now instead of at the first decode of each, so that
 * no message pays for it; count (may be null) receives how many operations
 * have their layout ready. Catalogs opened later compile on first use again. */
MOSTFCAT_API uint32_t gFctCompileLayouts(uint64_t manager, uint16_t channel, uint32_t* count);
MOSTFCAT_API uint32_t gFctConvertBytesToStr(uint64_t param, const uint8_t* bytes, uint32_t length,
                                            char* text, int32_t textSize);
MOSTFCAT_API uint32_t gFctConvertBytesToInt(uint64_t param, const uint8_t* bytes, uint32_t length,
                                            uint32_t* value);
MOSTFCAT_API uint32_t gFctConvertBytesToUInt64(uint64_t param, const uint8_t* bytes,
                                               uint32_t length, uint64_t* value);
MOSTFCAT_API uint32_t gFctConvertBytesToDouble(uint64_t param, const uint8_t* bytes,
                                               uint32_t length, double* value);

/* ------------------------------------------------------------------------
 * Codes and helpers added for hosts that show a catalog the way the tool
 * does. Everything below is an addition; the names and numbers above stay.
 * ---------------------------------------------------------------------- */

/* Attribute ids of gFctGetAttrInt/Str/Float/Node. The general ones answer
 * on every node that has the datum; the others on the nodes named. */
#define MOSTFCAT_ATTR_ITEM_KIND 0u   /* int: MOSTFCAT_ITEM_... */
#define MOSTFCAT_ATTR_LEVEL 1u       /* int: depth of the node in the checked tree */
#define MOSTFCAT_ATTR_PARENT 2u      /* node */
#define MOSTFCAT_ATTR_NAME 3u        /* str (an instance: its device name) */
#define MOSTFCAT_ATTR_ID 4u          /* int: FBlock, instance, function ID or OpType */
#define MOSTFCAT_ATTR_DESCRIPTION 5u /* str */
/* catalog */
#define MOSTFCAT_ATTR_CATALOG_NAME 100u
#define MOSTFCAT_ATTR_CATALOG_PATH 101u /* str: the XML file */
#define MOSTFCAT_ATTR_CATALOG_RELEASE 111u
#define MOSTFCAT_ATTR_CATALOG_DATE 112u
#define MOSTFCAT_ATTR_CATALOG_HAS_DEVICES 113u /* int */
/* FBlock (and str 200 on a function: the name of its FBlock) */
#define MOSTFCAT_ATTR_FBLOCK_NAME 200u
#define MOSTFCAT_ATTR_FBLOCK_ID 201u
#define MOSTFCAT_ATTR_FBLOCK_DESCRIPTION 210u
#define MOSTFCAT_ATTR_FBLOCK_RELEASE 211u
#define MOSTFCAT_ATTR_FBLOCK_DATE 212u
#define MOSTFCAT_ATTR_FBLOCK_FIRST_INSTANCE 220u   /* node */
#define MOSTFCAT_ATTR_FBLOCK_DEFAULT_INSTANCE 221u /* node */
#define MOSTFCAT_ATTR_FBLOCK_MIXED_NAMES 222u      /* int: instances name other FBlocks */
/* instance */
#define MOSTFCAT_ATTR_INSTANCE_ID 250u
#define MOSTFCAT_ATTR_INSTANCE_DEVICE_NAME 252u
#define MOSTFCAT_ATTR_INSTANCE_DESCRIPTION 260u
#define MOSTFCAT_ATTR_INSTANCE_RELEASE 261u
#define MOSTFCAT_ATTR_INSTANCE_DATE 262u
#define MOSTFCAT_ATTR_INSTANCE_FBLOCK_NAME 263u
/* function */
#define MOSTFCAT_ATTR_FUNCTION_NAME 300u
#define MOSTFCAT_ATTR_FUNCTION_ID 301u
#define MOSTFCAT_ATTR_FUNCTION_KIND 302u      /* int: MOSTFCAT_FUNCTION_... */
#define MOSTFCAT_ATTR_FUNCTION_CLASS 303u     /* int: 255 not read */
#define MOSTFCAT_ATTR_FUNCTION_CLASS_SUB 304u /* int: 255 none */
#define MOSTFCAT_ATTR_FUNCTION_DESCRIPTION 310u
#define MOSTFCAT_ATTR_FUNCTION_RELEASE 311u
#define MOSTFCAT_ATTR_FUNCTION_DATE 312u
#define MOSTFCAT_ATTR_FUNCTION_NOTIFICATION 350u /* int: 1 notifies */
#define MOSTFCAT_ATTR_FUNCTION_FLAGS 351u        /* int: MOSTFCAT_FUNCTION_FLAG_... */
/* operation */
#define MOSTFCAT_ATTR_OPERATION_TYPE 401u
/* parameter */
#define MOSTFCAT_ATTR_PARAM_NAME 1000u
#define MOSTFCAT_ATTR_PARAM_DATA_TYPE 1002u /* int: the data-type code of the parameter class */
#define MOSTFCAT_ATTR_PARAM_DESCRIPTION 1003u
#define MOSTFCAT_ATTR_PARAM_COMPOSITE 1004u  /* int: 1 structures, streams, signals of no length */
#define MOSTFCAT_ATTR_PARAM_BIT_POS 1005u    /* int: bit offset (a signal: in its case) */
#define MOSTFCAT_ATTR_PARAM_BIT_WIDTH 1006u  /* int: width in bits (a signal: its length) */
#define MOSTFCAT_ATTR_PARAM_MEANING 1007u    /* int: MOSTFCAT_MEANING_... */
#define MOSTFCAT_ATTR_PARAM_SYMBOL 1008u     /* str: the symbolic identifier */
#define MOSTFCAT_ATTR_PARAM_TYPE_CLASS 1009u /* int: basis type (numbers 0-5) or width class */
#define MOSTFCAT_ATTR_NUMBER_MIN 1010u       /* float: raw */
#define MOSTFCAT_ATTR_NUMBER_MAX 1011u       /* float: raw */
#define MOSTFCAT_ATTR_NUMBER_EXPONENT 1012u  /* int: a signed value */
#define MOSTFCAT_ATTR_NUMBER_UNIT 1013u      /* str */
#define MOSTFCAT_ATTR_PARAM_BIG_ENDIAN 1014u /* int */
#define MOSTFCAT_ATTR_PARAM_SIGNED 1015u     /* int */
#define MOSTFCAT_ATTR_NUMBER_OFFSET 1016u    /* float */
#define MOSTFCAT_ATTR_NUMBER_FACTOR 1017u    /* float: 10^exponent */
#define MOSTFCAT_ATTR_STRING_MAX_SIZE 1020u  /* int: a signed value, -1 unlimited */
#define MOSTFCAT_ATTR_STRING_ENCODING_BYTE 1021u /* int */
#define MOSTFCAT_ATTR_ENUM_MAX 1030u
#define MOSTFCAT_ATTR_ARRAY_MAX_ELEMENTS 1100u /* int: MOSTFCAT_OPEN_ARRAY open */
#define MOSTFCAT_ATTR_ENUMVALUE_NAME 1200u
#define MOSTFCAT_ATTR_ENUMVALUE_CODE_MIN 1201u
#define MOSTFCAT_ATTR_ENUMVALUE_CODE_MAX 1202u
#define MOSTFCAT_ATTR_ENUMVALUE_DESCRIPTION 1203u
#define MOSTFCAT_ATTR_BOOLFIELD_BIT 1210u
#define MOSTFCAT_ATTR_BOOLFIELD_SET_TEXT 1211u
#define MOSTFCAT_ATTR_BOOLFIELD_CLEAR_TEXT 1212u
#define MOSTFCAT_ATTR_CASE_GROUP_SIZE 1300u /* int: parameters of a repeated group */
#define MOSTFCAT_ATTR_CASE_REPEAT_MAX 1301u /* int: how often the group repeats */
#define MOSTFCAT_ATTR_CASE_SELECT_MIN 1304u
#define MOSTFCAT_ATTR_CASE_SELECT_MAX 1305u
#define MOSTFCAT_ATTR_STREAM_MAX_LENGTH 1500u /* int: raw stream length (0: the rest), or maximum  \
                                               */

/* Attributes answered only by the gFctGet...AttrEx functions below (they
 * answer every id above as well). */
#define MOSTFCAT_ATTR_PARAM_KIND 5000u         /* int: MOSTFCAT_KIND_... of a parameter */
#define MOSTFCAT_ATTR_PARAM_POSITION 5001u     /* int */
#define MOSTFCAT_ATTR_PARAM_REPEAT 5002u       /* int: index in a repeated group, 0 none */
#define MOSTFCAT_ATTR_BYTES_IN_MESSAGE 5003u   /* int: 0 the length is not fixed */
#define MOSTFCAT_ATTR_MESSAGE_BIT_POS 5004u    /* int: in the payload, MOSTFCAT_NO_BIT none */
#define MOSTFCAT_ATTR_MESSAGE_BIT_WIDTH 5005u  /* int: MOSTFCAT_NO_BIT none */
#define MOSTFCAT_ATTR_DISP_MODE 5006u          /* int: MOSTFCAT_DISP_... */
#define MOSTFCAT_ATTR_STREAM_LENGTH 5007u      /* int: streams with cases */
#define MOSTFCAT_ATTR_RECORD_FIELDS 5008u      /* int */
#define MOSTFCAT_ATTR_NUMBER_STEP 5009u        /* float: raw, 0 none */
#define MOSTFCAT_ATTR_SELECTOR 5010u           /* node: arrays, records, streams with cases */
#define MOSTFCAT_ATTR_LIST_SIZE 5011u          /* node: streams with cases */
#define MOSTFCAT_ATTR_CASE_SELECTOR_NAME 5012u /* str */
#define MOSTFCAT_ATTR_ANY_DESCRIPTION 5013u    /* str: the description of any node */
#define MOSTFCAT_ATTR_DEVICE_DESCRIPTION 5014u /* str: instances */

#define MOSTFCAT_NO_BIT 0xFFFFFFFFu
#define MOSTFCAT_OPEN_ARRAY 0xFFFFFFFFu

/* Function kinds and flags. */
#define MOSTFCAT_FUNCTION_UNKNOWN 0u
#define MOSTFCAT_FUNCTION_PROPERTY 1u
#define MOSTFCAT_FUNCTION_METHOD 2u
#define MOSTFCAT_FUNCTION_FLAG_ERRORS 0x1u /* kept although its import logged errors */

/* Parameter kinds (also the kinds of decoded entries; 1 and 15 are entries only). */
#define MOSTFCAT_KIND_DIAGNOSTIC 1u
#define MOSTFCAT_KIND_DETAILED_STREAM 2u
#define MOSTFCAT_KIND_STREAM_CASE 3u
#define MOSTFCAT_KIND_ARRAY 4u
#define MOSTFCAT_KIND_RECORD 5u
#define MOSTFCAT_KIND_BOOL 6u
#define MOSTFCAT_KIND_BOOLFIELD 7u
#define MOSTFCAT_KIND_NUMBER 8u
#define MOSTFCAT_KIND_ENUM 9u
#define MOSTFCAT_KIND_STRING 10u
#define MOSTFCAT_KIND_BITFIELD 11u
#define MOSTFCAT_KIND_VOID 12u
#define MOSTFCAT_KIND_FKTID_LIST 13u
#define MOSTFCAT_KIND_RAW_STREAM 14u
#define MOSTFCAT_KIND_REMAIN 15u
#define MOSTFCAT_KIND_CSTREAM 16u
#define MOSTFCAT_KIND_RAW_SHORT_STREAM 17u
#define MOSTFCAT_KIND_SIGNAL 18u
#define MOSTFCAT_KIND_DETAILED_SHORT_STREAM 19u

/* Parameter meanings and display modes. */
#define MOSTFCAT_MEANING_NONE 0u
#define MOSTFCAT_MEANING_NODE_ADDRESS 1u
#define MOSTFCAT_MEANING_FBLOCK_ID 2u
#define MOSTFCAT_MEANING_NOTIFY_FKTID 4u
#define MOSTFCAT_MEANING_OPTYPE 6u
#define MOSTFCAT_MEANING_ARRAY_POS 7u
#define MOSTFCAT_MEANING_ARRAY_TAG 11u
#define MOSTFCAT_MEANING_ARRAY_POS_Y 12u
#define MOSTFCAT_MEANING_LENGTH 13u
#define MOSTFCAT_MEANING_LIST_SIZE 14u
#define MOSTFCAT_MEANING_FKTID_LIST 16u
#define MOSTFCAT_DISP_DECIMAL 0u
#define MOSTFCAT_DISP_LENGTH 1u
#define MOSTFCAT_DISP_HEX 2u

/* Option bits of a decode (the option word of a message description). */
#define MOSTFCAT_DECODE_DIAG_LENGTH 0x1u     /* diagnostics of lengths */
#define MOSTFCAT_DECODE_DIAG_STRING 0x2u     /* diagnostics of strings and raw streams */
#define MOSTFCAT_DECODE_DIAG_CASE 0x4u       /* a stream case that does not exist */
#define MOSTFCAT_DECODE_DIAG_BYTES_LEFT 0x8u /* bytes after the last parameter */
#define MOSTFCAT_DECODE_DIAG_NO_INTERP 0x10u /* bytes that could not be interpreted */
#define MOSTFCAT_DECODE_WHOLE_PAYLOAD 0x40u  /* without an operation: the payload as one entry */
#define MOSTFCAT_DECODE_NAMES 0x100u
#define MOSTFCAT_DECODE_HEX_TEXT 0x200u
#define MOSTFCAT_DECODE_DECIMAL_TEXT 0x400u
#define MOSTFCAT_DECODE_VALUE_TEXT 0x800u
#define MOSTFCAT_DECODE_UNIT_TEXT 0x1000u
#define MOSTFCAT_DECODE_SUFFIXES 0x2000u
#define MOSTFCAT_DECODE_HEADS 0x4000u /* entries for the heads of structures */
#define MOSTFCAT_DECODE_WILDCARDS 0x8000u
#define MOSTFCAT_DECODE_NUMERIC 0x400000u
#define MOSTFCAT_DECODE_TEXT_LIMIT 0x1000000u
#define MOSTFCAT_DECODE_RAW_VALUE 0x2000000u
#define MOSTFCAT_DECODE_ALL 0xFFFFFFFFu /* every text, diagnostic and head */

/* Status codes of assembling a payload from input texts. */
#define MOSTFCAT_ASSEMBLE_OK 0u
#define MOSTFCAT_ASSEMBLE_NO_OPERATION 3u
#define MOSTFCAT_ASSEMBLE_NOT_CONVERTIBLE 4u
#define MOSTFCAT_ASSEMBLE_WILDCARD_REFUSED 5u
#define MOSTFCAT_ASSEMBLE_BAD_INPUT 6u
#define MOSTFCAT_ASSEMBLE_NO_CASE 7u
#define MOSTFCAT_ASSEMBLE_AMBIGUOUS_NAME 8u
#define MOSTFCAT_ASSEMBLE_NOT_ASSEMBLABLE 9u
#define MOSTFCAT_ASSEMBLE_TOO_MANY_INPUTS 10u

/* Like gFctGetAttr...: the ids above and those from 5000 up. */
MOSTFCAT_API uint32_t gFctGetAttrIntEx(uint64_t node, uint32_t attribute, uint32_t* value);
MOSTFCAT_API uint32_t gFctGetAttrFloatEx(uint64_t node, uint32_t attribute, double* value);
MOSTFCAT_API uint32_t gFctGetAttrStrEx(uint64_t node, uint32_t attribute, const char** value);
MOSTFCAT_API uint32_t gFctGetAttrNodeEx(uint64_t node, uint32_t attribute, uint64_t* value);

/* Names of codes; "unknown" for a code without one (never null). Kind
 * names are lower_snake_case ("number", "detailed_short_stream"); a function
 * class sub-code is named in the light of its class ("" for 255). */
MOSTFCAT_API const char* gFctParamKindName(uint32_t kind);
MOSTFCAT_API const char* gFctParamMeaningName(uint32_t meaning);
MOSTFCAT_API const char* gFctDispModeName(uint32_t mode);
MOSTFCAT_API const char* gFctFunctionClassName(uint32_t functionClass);
MOSTFCAT_API const char* gFctFunctionClassSubName(uint32_t functionClass, uint32_t sub);

/* The folder that holds the profile for the opens that follow (an empty
 * text: the folder of the library again). */
MOSTFCAT_API uint32_t gFctSetSettingsFolder(const char* folder);
/* Whether opens read and write the compiled cache beside a catalog (the
 * profile's ImportOptim; the profile is read first so that it does not undo
 * this later). Turning it off also forgets the catalogs kept in memory that
 * no manager uses, so that the next open imports the XML file. */
MOSTFCAT_API uint32_t gFctSetCacheUse(uint32_t on);
MOSTFCAT_API uint32_t gFctGetCacheUse(uint32_t* on);
/* Writes the debug dump of a catalog node to standard output (file null or
 * empty) or appends it to file; MOSTFCAT_FILE_MISSING when the file cannot
 * be opened, errno telling why. */
MOSTFCAT_API uint32_t gFctDumpCatalog(uint64_t catalog, const char* file);
/* The version of the catalog importer ("3.0.9.0"). */
MOSTFCAT_API const char* gFctImporterVersion(void);

#ifdef __cplusplus
}
#endif

#endif /* MOSTFCAT_FCT_H */
