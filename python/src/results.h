// The result objects of decoding: mostfcat.Param (one entry) and
// mostfcat.DecodedMessage. They are plain Python objects that own copies of
// everything they show (no pointer into the library), made straight with the
// C API because a trace decodes many thousands of them per second.
#pragma once

#include <Python.h>

#include <cstdint>

namespace mostfcat::python {

// The fields of a Param: name and unit as new references (str). The hex,
// decimal and value texts lie in text, a bytes object that the entries of one
// message share, at the given offsets (hex and decimal one character per
// byte, the value UTF-8); they become str when first read, as does the
// numeric value, since a trace decodes far more of them than anyone looks at.
// remarks holds the library's remark bits (out of range, undefined code).
struct ParamFields {
    PyObject* name;
    PyObject* unit;
    PyObject* text; // borrowed
    uint32_t offsets[3], lengths[3];
    bool hasNumeric;
    double numeric;
    uint32_t kind, level, position, remarks;
};

// The remark bits of a Param (as the library's entry remarks).
enum : uint32_t { kRemarkOutOfRange = 0x1, kRemarkUndefined = 0x2 };

// The fields of a DecodedMessage, as new references (error is a str or None,
// params a tuple of Param). instanceFallback is true when the FBlock lacks
// the instance and another instance's layout stood in.
struct MessageFields {
    uint32_t channel, fblockId, instanceId, functionId, opType, options;
    char instanceFallback;
    PyObject* data;
    PyObject* fblock;
    PyObject* instance;
    PyObject* function;
    PyObject* operation;
    PyObject* error;
    PyObject* device;
    PyObject* params;
};

// Creates the two types; false with a Python error set.
bool InitResultTypes();
PyTypeObject* ParamType();
PyTypeObject* MessageType();

// New objects; both take over the references in fields (also on failure).
// Null with a Python error set on failure.
PyObject* NewParam(ParamFields& fields);
PyObject* NewMessage(MessageFields& fields);

// The empty str, shared (a new reference).
PyObject* EmptyText();

} // namespace mostfcat::python
