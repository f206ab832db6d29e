#define PY_SSIZE_T_CLEAN
#include "results.h"

#include <structmember.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <utility>

namespace mostfcat::python {

namespace {

// Holds C++ texts, so its fields are reached through getters (no member
// offsets into a class that is not standard-layout).
struct ParamObject {
    PyObject ob_base; // the header of every object (PyObject_HEAD)
    PyObject* name;
    PyObject* unit;
    // The hex, decimal and value texts: where they lie in text, and once
    // read, their str.
    PyObject* text;
    uint32_t offsets[3], lengths[3];
    PyObject* made[3];
    double numeric;
    bool hasNumeric;
    uint32_t kind, level, position, remarks;
};
enum : int { kHex = 0, kDecimal = 1, kValue = 2 };

struct MessageObject {
    PyObject ob_base; // the header of every object (PyObject_HEAD)
    MessageFields f;
};

// The offset of a field of MessageFields inside a DecodedMessage.
constexpr Py_ssize_t MessageField(size_t offsetInFields) {
    return Py_ssize_t(offsetof(MessageObject, f) + offsetInFields);
}

// Gives back the references the fields hold.
void ReleaseFields(MessageFields& f) {
    Py_XDECREF(f.data);
    Py_XDECREF(f.fblock);
    Py_XDECREF(f.instance);
    Py_XDECREF(f.function);
    Py_XDECREF(f.operation);
    Py_XDECREF(f.error);
    Py_XDECREF(f.device);
    Py_XDECREF(f.params);
}

PyTypeObject* g_ParamType = nullptr;
PyTypeObject* g_MessageType = nullptr;
PyObject* g_Empty = nullptr;

// --- helpers ------------------------------------------------------------------------------

// Appends piece (a new reference, may be null) to text; false on failure
// (text is then null).
bool Append(PyObject*& text, PyObject* piece) {
    if (!text || !piece) {
        Py_XDECREF(piece);
        Py_CLEAR(text);
        return false;
    }
    PyObject* joined = PyUnicode_Concat(text, piece);
    Py_DECREF(piece);
    Py_DECREF(text);
    text = joined;
    return text != nullptr;
}

bool NonEmpty(PyObject* text) {
    return text && PyUnicode_Check(text) && PyUnicode_GET_LENGTH(text) > 0;
}

// Sets key to value (a new reference) in dict; false on failure.
bool Put(PyObject* dict, const char* key, PyObject* value) {
    if (!value) return false;
    int r = PyDict_SetItemString(dict, key, value);
    Py_DECREF(value);
    return r == 0;
}

bool PutText(PyObject* dict, const char* key, PyObject* text) {
    if (!NonEmpty(text)) return true;
    Py_INCREF(text);
    return Put(dict, key, text);
}

PyObject* NoNew(PyTypeObject* type, PyObject*, PyObject*) {
    PyErr_Format(PyExc_TypeError, "cannot create '%s' objects: they come from decoding",
                 type->tp_name);
    return nullptr;
}

// Objects equal when both are the same object or compare equal.
int SameValue(PyObject* a, PyObject* b) {
    if (a == b) return 1;
    if (!a || !b) return 0;
    return PyObject_RichCompareBool(a, b, Py_EQ);
}

// --- Param ----------------------------------------------------------------------------------

// Params freed lately, kept for the next ones: a trace makes and drops a
// few per message.
constexpr int kSpareParams = 256;
ParamObject* g_Spare[kSpareParams];
int g_SpareCount = 0;

void ParamDealloc(PyObject* self) {
    auto* p = reinterpret_cast<ParamObject*>(self);
    Py_XDECREF(p->name);
    Py_XDECREF(p->unit);
    Py_XDECREF(p->text);
    for (int i = 0; i < 3; ++i)
        Py_XDECREF(p->made[i]);
    PyTypeObject* type = Py_TYPE(self);
    if (g_SpareCount < kSpareParams)
        g_Spare[g_SpareCount++] = p;
    else
        type->tp_free(self);
    Py_DECREF(type);
}

const char* Chars(const ParamObject* p, int which) {
    return PyBytes_AS_STRING(p->text) + p->offsets[which];
}

bool SameText(const ParamObject* x, const ParamObject* y, int which) {
    return x->lengths[which] == y->lengths[which] &&
           std::memcmp(Chars(x, which), Chars(y, which), x->lengths[which]) == 0;
}

// The str of a text (a new reference), made at the first read. The value
// is UTF-8 (the library makes it valid), the others one character per byte.
PyObject* Made(ParamObject* p, int which) {
    if (!p->made[which]) {
        p->made[which] = which == kValue
                             ? PyUnicode_DecodeUTF8(Chars(p, which), p->lengths[which], "replace")
                             : PyUnicode_DecodeLatin1(Chars(p, which), p->lengths[which], nullptr);
        if (!p->made[which]) return nullptr;
    }
    Py_INCREF(p->made[which]);
    return p->made[which];
}

PyObject* GetName(PyObject* self, void*) {
    PyObject* o = reinterpret_cast<ParamObject*>(self)->name;
    Py_INCREF(o);
    return o;
}
PyObject* GetUnit(PyObject* self, void*) {
    PyObject* o = reinterpret_cast<ParamObject*>(self)->unit;
    Py_INCREF(o);
    return o;
}
PyObject* GetNumeric(PyObject* self, void*) {
    auto* p = reinterpret_cast<ParamObject*>(self);
    if (!p->hasNumeric) Py_RETURN_NONE;
    return PyFloat_FromDouble(p->numeric);
}
PyObject* GetHex(PyObject* self, void*) {
    return Made(reinterpret_cast<ParamObject*>(self), kHex);
}
PyObject* GetDecimal(PyObject* self, void*) {
    return Made(reinterpret_cast<ParamObject*>(self), kDecimal);
}
PyObject* GetValue(PyObject* self, void*) {
    return Made(reinterpret_cast<ParamObject*>(self), kValue);
}
PyObject* GetKind(PyObject* self, void*) {
    return PyLong_FromUnsignedLong(reinterpret_cast<ParamObject*>(self)->kind);
}
PyObject* GetLevel(PyObject* self, void*) {
    return PyLong_FromUnsignedLong(reinterpret_cast<ParamObject*>(self)->level);
}
PyObject* GetPosition(PyObject* self, void*) {
    return PyLong_FromUnsignedLong(reinterpret_cast<ParamObject*>(self)->position);
}
PyObject* GetOutOfRange(PyObject* self, void*) {
    return PyBool_FromLong(reinterpret_cast<ParamObject*>(self)->remarks & kRemarkOutOfRange);
}
PyObject* GetUndefined(PyObject* self, void*) {
    return PyBool_FromLong(reinterpret_cast<ParamObject*>(self)->remarks & kRemarkUndefined);
}

PyObject* ParamRepr(PyObject* self) {
    auto* p = reinterpret_cast<ParamObject*>(self);
    PyObject* text = PyUnicode_FromFormat("Param(name=%R, kind=%u, level=%u, position=%u", p->name,
                                          p->kind, p->level, p->position);
    const std::pair<const char*, int> texts[] = {
        {", hex=%R", kHex}, {", decimal=%R", kDecimal}, {", value=%R", kValue}};
    for (const auto& [format, which] : texts) {
        if (p->lengths[which] == 0) continue;
        PyObject* t = Made(p, which);
        if (!t || !Append(text, PyUnicode_FromFormat(format, t))) {
            Py_XDECREF(t);
            Py_XDECREF(text);
            return nullptr;
        }
        Py_DECREF(t);
    }
    if (NonEmpty(p->unit) && !Append(text, PyUnicode_FromFormat(", unit=%R", p->unit)))
        return nullptr;
    if (p->hasNumeric) {
        PyObject* n = PyFloat_FromDouble(p->numeric);
        if (!n || !Append(text, PyUnicode_FromFormat(", numeric=%R", n))) {
            Py_XDECREF(n);
            Py_XDECREF(text);
            return nullptr;
        }
        Py_DECREF(n);
    }
    if ((p->remarks & kRemarkOutOfRange) &&
        !Append(text, PyUnicode_FromString(", out_of_range=True")))
        return nullptr;
    if ((p->remarks & kRemarkUndefined) && !Append(text, PyUnicode_FromString(", undefined=True")))
        return nullptr;
    if (!Append(text, PyUnicode_FromString(")"))) return nullptr;
    return text;
}

PyObject* ParamCompare(PyObject* a, PyObject* b, int op) {
    if ((op != Py_EQ && op != Py_NE) || Py_TYPE(b) != Py_TYPE(a)) Py_RETURN_NOTIMPLEMENTED;
    auto* x = reinterpret_cast<ParamObject*>(a);
    auto* y = reinterpret_cast<ParamObject*>(b);
    // NaN numerics compare equal here: the same entry decoded twice is equal.
    bool sameNumeric =
        x->hasNumeric == y->hasNumeric && (!x->hasNumeric || x->numeric == y->numeric ||
                                           (std::isnan(x->numeric) && std::isnan(y->numeric)));
    int equal = x->kind == y->kind && x->level == y->level && x->position == y->position &&
                x->remarks == y->remarks && sameNumeric && SameText(x, y, kHex) &&
                SameText(x, y, kDecimal) && SameText(x, y, kValue);
    PyObject* const pairs[][2] = {{x->name, y->name}, {x->unit, y->unit}};
    for (size_t i = 0; equal == 1 && i < sizeof pairs / sizeof pairs[0]; ++i)
        equal = SameValue(pairs[i][0], pairs[i][1]);
    if (equal < 0) return nullptr;
    return PyBool_FromLong(op == Py_EQ ? equal : !equal);
}

// The entry as the command-line tool's decode --json writes it (the same
// keys in the same order): empty texts left out, a numeric value that JSON
// cannot hold (NaN, infinity) as null, remarks only when they hold.
PyObject* ParamJson(PyObject* self, PyObject*) {
    auto* p = reinterpret_cast<ParamObject*>(self);
    PyObject* d = PyDict_New();
    if (!d) return nullptr;
    bool ok = PutText(d, "name", p->name) && Put(d, "kind", PyLong_FromUnsignedLong(p->kind)) &&
              Put(d, "level", PyLong_FromUnsignedLong(p->level)) &&
              Put(d, "position", PyLong_FromUnsignedLong(p->position));
    const std::pair<const char*, int> texts[] = {
        {"hex", kHex}, {"decimal", kDecimal}, {"value", kValue}};
    for (const auto& [key, which] : texts)
        if (ok && p->lengths[which] != 0) ok = Put(d, key, Made(p, which));
    ok = ok && PutText(d, "unit", p->unit);
    if (ok && p->hasNumeric) {
        if (std::isfinite(p->numeric)) {
            ok = Put(d, "numeric", PyFloat_FromDouble(p->numeric));
        } else {
            Py_INCREF(Py_None);
            ok = Put(d, "numeric", Py_None);
        }
    }
    if (ok && (p->remarks & kRemarkOutOfRange)) ok = Put(d, "out_of_range", PyBool_FromLong(1));
    if (ok && (p->remarks & kRemarkUndefined)) ok = Put(d, "undefined", PyBool_FromLong(1));
    if (!ok) Py_CLEAR(d);
    return d;
}

PyGetSetDef kParamGetSet[] = {
    {"name", GetName, nullptr,
     "The entry's full name, with its index or case ('Station[2]', 'ErrorInfo(6)').", nullptr},
    {"kind", GetKind, nullptr,
     "The kind code (mostfcat.Kind: 1 diagnostic, 4 array, 5 record, 8 number, ...).", nullptr},
    {"level", GetLevel, nullptr, "The nesting depth (0: top).", nullptr},
    {"position", GetPosition, nullptr, "The byte offset of the entry in the payload.", nullptr},
    {"hex", GetHex, nullptr, "The entry's bytes as hex text.", nullptr},
    {"decimal", GetDecimal, nullptr, "The raw value as decimal text.", nullptr},
    {"value", GetValue, nullptr,
     "The value as a user reads it (physical number, enumeration name, string decoded by its "
     "encoding), or ''.",
     nullptr},
    {"unit", GetUnit, nullptr, "The unit text.", nullptr},
    {"numeric", GetNumeric, nullptr, "The numeric value as a float, or None.", nullptr},
    {"out_of_range", GetOutOfRange, nullptr, "True when a number lies outside the catalog's range.",
     nullptr},
    {"undefined", GetUndefined, nullptr,
     "True when an enumeration code has no value in the catalog.", nullptr},
    {},
};

PyMethodDef kParamMethods[] = {
    {"to_json", ParamJson, METH_NOARGS,
     "The entry as `mostfcat decode --json` writes it (a dict without the empty texts)."},
    {},
};

PyType_Slot kParamSlots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(ParamDealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(ParamRepr)},
    {Py_tp_richcompare, reinterpret_cast<void*>(ParamCompare)},
    {Py_tp_hash, reinterpret_cast<void*>(PyObject_HashNotImplemented)},
    {Py_tp_new, reinterpret_cast<void*>(NoNew)},
    {Py_tp_getset, kParamGetSet},
    {Py_tp_methods, kParamMethods},
    {Py_tp_doc,
     const_cast<char*>("One entry of a decoded message: a parameter, the head of a structure "
                       "(record, array, stream) or a diagnostic (kind 1).\n\nTexts are '' where "
                       "the library gave none; numeric is None where the entry has no numeric "
                       "value.")},
    {0, nullptr},
};

PyType_Spec kParamTypeDef = {"mostfcat.Param", sizeof(ParamObject), 0, Py_TPFLAGS_DEFAULT,
                             kParamSlots};

// --- DecodedMessage -------------------------------------------------------------------------

constexpr int kSpareMessages = 64;
MessageObject* g_SpareMessages[kSpareMessages];
int g_SpareMessageCount = 0;

void MessageDealloc(PyObject* self) {
    auto* m = reinterpret_cast<MessageObject*>(self);
    ReleaseFields(m->f);
    PyTypeObject* type = Py_TYPE(self);
    if (g_SpareMessageCount < kSpareMessages)
        g_SpareMessages[g_SpareMessageCount++] = m;
    else
        type->tp_free(self);
    Py_DECREF(type);
}

PyObject* MessageRepr(PyObject* self) {
    auto* m = reinterpret_cast<MessageObject*>(self);
    Py_ssize_t n = m->f.params ? PyTuple_Size(m->f.params) : 0;
    char coordinates[48];
    std::snprintf(coordinates, sizeof coordinates, "%02X.%02X.%03X.%X", m->f.fblockId,
                  m->f.instanceId, m->f.functionId, m->f.opType);
    PyObject* where = PyUnicode_FromFormat("<DecodedMessage %s ", coordinates);
    PyObject* what = nullptr;
    if (m->f.error && m->f.error != Py_None)
        what = PyUnicode_FromFormat("%R", m->f.error);
    else
        what = PyUnicode_FromFormat("'%U.%U.%U.%U'", m->f.fblock, m->f.instance, m->f.function,
                                    m->f.operation);
    if (!Append(where, what)) return nullptr;
    if (!Append(where, PyUnicode_FromFormat(", %zd %s>", n, n == 1 ? "param" : "params")))
        return nullptr;
    return where;
}

PyObject* MessageOk(PyObject* self, void*) {
    auto* m = reinterpret_cast<MessageObject*>(self);
    return PyBool_FromLong(!m->f.error || m->f.error == Py_None);
}

// The payload as hex text: two upper-case digits a byte.
PyObject* PayloadHex(PyObject* data) {
    static const char kDigits[] = "0123456789ABCDEF";
    Py_ssize_t n = PyBytes_GET_SIZE(data);
    PyObject* text = PyUnicode_New(2 * n, 127);
    if (!text) return nullptr;
    auto* in = reinterpret_cast<const unsigned char*>(PyBytes_AS_STRING(data));
    auto* out = static_cast<char*>(PyUnicode_DATA(text));
    for (Py_ssize_t i = 0; i < n; ++i) {
        out[2 * i] = kDigits[in[i] >> 4];
        out[2 * i + 1] = kDigits[in[i] & 0xF];
    }
    return text;
}

// The message as the command-line tool's decode --json writes it (the same
// keys in the same order).
PyObject* MessageJson(PyObject* self, PyObject*) {
    auto* m = reinterpret_cast<MessageObject*>(self);
    PyObject* d = PyDict_New();
    if (!d) return nullptr;
    bool ok = Put(d, "fblock_id", PyLong_FromUnsignedLong(m->f.fblockId)) &&
              Put(d, "instance_id", PyLong_FromUnsignedLong(m->f.instanceId)) &&
              Put(d, "function_id", PyLong_FromUnsignedLong(m->f.functionId)) &&
              Put(d, "operation_id", PyLong_FromUnsignedLong(m->f.opType)) &&
              PutText(d, "fblock", m->f.fblock) && PutText(d, "instance", m->f.instance) &&
              PutText(d, "device", m->f.device);
    if (ok && m->f.instanceFallback) ok = Put(d, "instance_fallback", PyBool_FromLong(1));
    ok = ok && PutText(d, "function", m->f.function) && PutText(d, "operation", m->f.operation) &&
         PutText(d, "error", m->f.error) && Put(d, "payload", PayloadHex(m->f.data));
    Py_ssize_t n = ok && m->f.params ? PyTuple_GET_SIZE(m->f.params) : 0;
    PyObject* list = ok ? PyList_New(n) : nullptr;
    for (Py_ssize_t i = 0; list && i < n; ++i) {
        PyObject* entry = ParamJson(PyTuple_GET_ITEM(m->f.params, i), nullptr);
        if (!entry)
            Py_CLEAR(list);
        else
            PyList_SET_ITEM(list, i, entry);
    }
    if (!list || !Put(d, "params", list)) Py_CLEAR(d);
    return d;
}

PyMemberDef kMessageMembers[] = {
    {"channel", T_UINT, MessageField(offsetof(MessageFields, channel)), READONLY,
     "The bus channel decoded on (0: every channel)."},
    {"fblock_id", T_UINT, MessageField(offsetof(MessageFields, fblockId)), READONLY,
     "The FBlock ID."},
    {"instance_id", T_UINT, MessageField(offsetof(MessageFields, instanceId)), READONLY,
     "The instance ID."},
    {"function_id", T_UINT, MessageField(offsetof(MessageFields, functionId)), READONLY,
     "The function ID."},
    {"op_type", T_UINT, MessageField(offsetof(MessageFields, opType)), READONLY, "The OpType."},
    {"options", T_UINT, MessageField(offsetof(MessageFields, options)), READONLY,
     "The decode option word."},
    {"data", T_OBJECT, MessageField(offsetof(MessageFields, data)), READONLY,
     "The payload (bytes)."},
    {"fblock_name", T_OBJECT, MessageField(offsetof(MessageFields, fblock)), READONLY,
     "The FBlock's name, or '' when no open catalog has the FBlock."},
    {"instance_name", T_OBJECT, MessageField(offsetof(MessageFields, instance)), READONLY,
     "The addressed instance's node name ('Inst' and its ID: 'Inst01'), or '' when no open "
     "catalog has the FBlock."},
    {"device_name", T_OBJECT, MessageField(offsetof(MessageFields, device)), READONLY,
     "The device name of the instance, or '' (also when another instance stood in)."},
    {"instance_fallback", T_BOOL, MessageField(offsetof(MessageFields, instanceFallback)), READONLY,
     "True when the FBlock lacks the instance: the message was decoded with the layout of its "
     "lowest instance."},
    {"function_name", T_OBJECT, MessageField(offsetof(MessageFields, function)), READONLY,
     "The function's name, or ''."},
    {"operation_name", T_OBJECT, MessageField(offsetof(MessageFields, operation)), READONLY,
     "The operation's name, or ''."},
    {"error", T_OBJECT, MessageField(offsetof(MessageFields, error)), READONLY,
     "Why the coordinates select no operation ('unknown message: no FBlock 99', ...), or "
     "None."},
    {"params", T_OBJECT, MessageField(offsetof(MessageFields, params)), READONLY,
     "The entries (a tuple of Param) in payload order, diagnostics included."},
    {},
};

PyGetSetDef kMessageGetSet[] = {
    {"ok", MessageOk, nullptr, "True when the coordinates select an operation.", nullptr},
    {},
};

PyMethodDef kMessageMethods[] = {
    {"to_json", MessageJson, METH_NOARGS,
     "The message as `mostfcat decode --json` writes it (a dict; empty names left out)."},
    {},
};

PyType_Slot kMessageSlots[] = {
    {Py_tp_dealloc, reinterpret_cast<void*>(MessageDealloc)},
    {Py_tp_repr, reinterpret_cast<void*>(MessageRepr)},
    {Py_tp_new, reinterpret_cast<void*>(NoNew)},
    {Py_tp_members, kMessageMembers},
    {Py_tp_getset, kMessageGetSet},
    {Py_tp_methods, kMessageMethods},
    {Py_tp_doc, const_cast<char*>("A decoded message: its coordinates and payload, the names the "
                                  "coordinates resolve to, and its entries (params).")},
    {0, nullptr},
};

PyType_Spec kMessageTypeDef = {"mostfcat.DecodedMessage", sizeof(MessageObject), 0,
                               Py_TPFLAGS_DEFAULT, kMessageSlots};

} // namespace

bool InitResultTypes() {
    if (g_ParamType) return true;
    g_Empty = PyUnicode_FromStringAndSize("", 0);
    g_ParamType = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&kParamTypeDef));
    g_MessageType = reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&kMessageTypeDef));
    return g_Empty && g_ParamType && g_MessageType;
}

PyTypeObject* ParamType() {
    return g_ParamType;
}

PyTypeObject* MessageType() {
    return g_MessageType;
}

PyObject* EmptyText() {
    Py_INCREF(g_Empty);
    return g_Empty;
}

PyObject* NewParam(ParamFields& f) {
    if (!f.name || !f.unit || !f.text) {
        Py_XDECREF(f.name);
        Py_XDECREF(f.unit);
        if (!PyErr_Occurred()) PyErr_NoMemory();
        return nullptr;
    }
    // Every field is set below, so the memory is not cleared first.
    auto* p = g_SpareCount > 0 ? g_Spare[--g_SpareCount]
                               : static_cast<ParamObject*>(PyObject_Malloc(sizeof(ParamObject)));
    if (!p) {
        Py_DECREF(f.name);
        Py_DECREF(f.unit);
        return PyErr_NoMemory();
    }
    PyObject_Init(reinterpret_cast<PyObject*>(p), g_ParamType);
    p->name = f.name;
    p->unit = f.unit;
    Py_INCREF(f.text);
    p->text = f.text;
    for (int i = 0; i < 3; ++i) {
        p->offsets[i] = f.offsets[i];
        p->lengths[i] = f.lengths[i];
        p->made[i] = nullptr;
    }
    p->numeric = f.numeric;
    p->hasNumeric = f.hasNumeric;
    p->kind = f.kind;
    p->level = f.level;
    p->position = f.position;
    p->remarks = f.remarks;
    return reinterpret_cast<PyObject*>(p);
}

PyObject* NewMessage(MessageFields& f) {
    // Every field is set below, so the memory is not cleared first.
    MessageObject* m = nullptr;
    if (f.data && f.fblock && f.instance && f.function && f.operation && f.error && f.device &&
        f.params)
        m = g_SpareMessageCount > 0
                ? g_SpareMessages[--g_SpareMessageCount]
                : static_cast<MessageObject*>(PyObject_Malloc(sizeof(MessageObject)));
    if (!m) {
        ReleaseFields(f);
        if (!PyErr_Occurred()) PyErr_NoMemory();
        return nullptr;
    }
    PyObject_Init(reinterpret_cast<PyObject*>(m), g_MessageType);
    m->f = f;
    return reinterpret_cast<PyObject*>(m);
}

} // namespace mostfcat::python
