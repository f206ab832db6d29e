// The compiled part of the Python module mostfcat. It is a host of
// libmostfcat.so like any other: it uses only the exported interface (the
// gFct functions and the YFci classes), turns status codes into exceptions
// and copies everything a result holds into objects of its own at once, so
// that no Python object ever points into the library.
//
// The exported classes are declared with default visibility here so that
// this module, built with hidden visibility, refers to the library's symbols.
#define MOSTFCAT_CLASS __attribute__((visibility("default")))

#include <pybind11/pybind11.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <mostfcat/fci.h>
#include <mostfcat/fct.h>

#include "results.h"

namespace py = pybind11;
using namespace pybind11::literals;
using namespace mostfcat::python;

static_assert(uint32_t(kRemarkOutOfRange) == uint32_t(YFciUserInput::eRemarkOutOfRange) &&
                  uint32_t(kRemarkUndefined) == uint32_t(YFciUserInput::eRemarkUndefined),
              "the remark bits of Param are the library's");

namespace {

// --- conversions ------------------------------------------------------------------------

// Catalog texts hold one character per byte (Latin-1).
py::str Latin1(const std::string& text) {
    PyObject* s =
        PyUnicode_DecodeLatin1(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
    if (!s) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

std::string Format(const char* format, unsigned a, unsigned b = 0) {
    char buf[128];
    std::snprintf(buf, sizeof buf, format, a, b);
    return buf;
}

// The exception classes live in mostfcat/errors.py; looked up when needed.
[[noreturn]] void Raise(const char* cls, py::tuple args) {
    py::object type = py::module_::import("mostfcat.errors").attr(cls);
    py::object error = type(*args);
    PyErr_SetObject(type.ptr(), error.ptr());
    throw py::error_already_set();
}

[[noreturn]] void RaiseError(const std::string& message, uint32_t status) {
    Raise("Error", py::make_tuple(message, status));
}

constexpr uint32_t kMaxChannel = 16;

// Raises the TypeError or ValueError for an argument that is not a whole
// number in 0..max.
[[noreturn]] __attribute__((noinline, cold)) void BadUnsigned(py::handle value, const char* what,
                                                              uint32_t max) {
    PyObject* o = value.ptr();
    if (PyErr_Occurred()) throw py::error_already_set();
    if (!PyLong_Check(o) || PyBool_Check(o))
        throw py::type_error(std::string(what) + " must be an int, not " + Py_TYPE(o)->tp_name);
    std::string shown = py::repr(value);
    // Coordinates are written in hexadecimal, channels in decimal.
    bool hex = std::string(what) != "channel";
    throw py::value_error(std::string(what) + " must be from 0 to " +
                          (hex ? Format("0x%X", max) : std::to_string(max)) + ", not " + shown);
}

// A whole number in 0..max from a Python int (not a bool), with the argument's
// name in the message otherwise.
inline uint32_t Unsigned(py::handle value, const char* what, uint32_t max) {
    PyObject* o = value.ptr();
    if (PyLong_CheckExact(o)) {
        int overflow = 0;
        long long v = PyLong_AsLongLongAndOverflow(o, &overflow);
        if (overflow == 0 && v >= 0 && static_cast<unsigned long long>(v) <= max)
            return static_cast<uint32_t>(v);
    } else if (PyLong_Check(o) && !PyBool_Check(o)) { // a subclass of int, as IntEnum
        int overflow = 0;
        long long v = PyLong_AsLongLongAndOverflow(o, &overflow);
        if (!(v == -1 && PyErr_Occurred()) && overflow == 0 && v >= 0 &&
            static_cast<unsigned long long>(v) <= max)
            return static_cast<uint32_t>(v);
    }
    BadUnsigned(value, what, max);
}

// The text of a value as the library reads it: a str as UTF-8, an int in
// decimal, a float in its shortest form that reads back exactly (60.0 gives
// "60.0", which a number of the catalog takes as 60).
std::string InputText(py::handle value, const std::string& name) {
    PyObject* o = value.ptr();
    if (PyUnicode_Check(o)) {
        Py_ssize_t size = 0;
        const char* utf8 = PyUnicode_AsUTF8AndSize(o, &size);
        if (!utf8) {
            // A lone surrogate has no UTF-8 form.
            PyErr_Clear();
            Raise("EncodeError",
                  py::make_tuple(name + ": the text is not valid Unicode (it holds a lone "
                                        "surrogate)",
                                 name, MOSTFCAT_INVALID));
        }
        return std::string(utf8, static_cast<size_t>(size));
    }
    if (PyLong_Check(o) && !PyBool_Check(o)) return py::str(value);
    if (PyFloat_Check(o)) {
        double v = PyFloat_AsDouble(o);
        if (!std::isfinite(v))
            throw py::value_error("the value of " + name + " must be a finite number, not " +
                                  py::repr(value).cast<std::string>());
        return py::repr(value);
    }
    throw py::type_error("the value of " + name + " must be a str or a number, not " +
                         Py_TYPE(o)->tp_name);
}

// A text of the library (UTF-8) as str; a byte that is not UTF-8 becomes
// U+FFFD rather than an error.
py::str Utf8(const std::string& text) {
    PyObject* s =
        PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "replace");
    if (!s) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(s);
}

// Issues a warning of a class of mostfcat.errors (raises when the warning
// filters turn it into an error).
void Warn(const char* cls, const std::string& text) {
    py::object type = py::module_::import("mostfcat.errors").attr(cls);
    py::str message = Utf8(text);
    const char* utf8 = PyUnicode_AsUTF8(message.ptr());
    if (!utf8 || PyErr_WarnEx(type.ptr(), utf8, 1) != 0) throw py::error_already_set();
}

// The label of the addressed instance: "Inst" and its ID in two hexadecimal
// digits, given whenever the FBlock is known (also when another instance's
// layout stands in for it).
std::string InstanceLabel(YFciMesgInfo& info) {
    if (!info.FBlockNode()) return std::string();
    return Format("Inst%02X", info.InstID() & 0xFF);
}

// The device name of the addressed instance ('' when it is a stand-in).
std::string DeviceName(YFciMesgInfo& info, bool fallback) {
    const char* s = nullptr;
    uint64_t node = info.InstanceNode();
    if (fallback || !node || gFctGetAttrStr(node, 3, &s) != MOSTFCAT_OK || !s) return std::string();
    return s;
}

// Why the coordinates of a message select no operation, or empty.
template <class T> std::pair<std::string, uint32_t> UnknownReason(T& m) {
    if (!m.FBlockNode())
        return {Format("unknown message: no FBlock %02X", m.FBlockID()), MOSTFCAT_NO_FBLOCK};
    if (!m.InstanceNode())
        return {
            Format("unknown message: no instance %02X of FBlock %02X", m.InstID(), m.FBlockID()),
            MOSTFCAT_NO_FUNCTION};
    if (!m.FunctionNode())
        return {Format("unknown message: no function %03X", m.FktID()), MOSTFCAT_NO_FUNCTION};
    if (!m.OperationNode())
        return {Format("unknown message: no operation %X of function %03X", m.OpType(), m.FktID()),
                MOSTFCAT_NO_OPERATION};
    return {std::string(), MOSTFCAT_OK};
}

// --- the manager ------------------------------------------------------------------------

// Told by the library when the manager's catalogs change, which includes a
// catalog file that another manager sharing it loads anew; the descriptions
// kept for decoding, and the names kept with them, are stale then.
class ChangeSink : public YFciFCatChangedSink {
public:
    void OnFCatChanged() override { stale = true; }
    void OnFCatChanging() override { stale = true; }
    bool stale = false;
};

class TraceDecoder;

class Manager {
public:
    explicit Manager(const std::string& name) {
        if (gFciCreateFCatManager(&m_Handle, name.c_str()) == MOSTFCAT_OK && m_Handle)
            m_Manager = gFciFCatManager(m_Handle);
        if (!m_Manager) {
            Close();
            RaiseError("cannot create a catalog manager", MOSTFCAT_INVALID);
        }
        // Catalogs may be opened on any bus channel.
        m_Manager->SetChannelCount(kMaxChannel);
        m_Sink.Register(m_Handle);
    }
    ~Manager() { Close(); }
    Manager(const Manager&) = delete;
    Manager& operator=(const Manager&) = delete;

    void Close() {
        // The descriptions and the sink go first: they belong to the manager.
        ForgetDescriptions();
        if (m_Sink.IsRegistered()) m_Sink.Unregister();
        m_Manager = nullptr;
        if (m_Handle) gFciDestroyFCatManager(m_Handle);
        m_Handle = 0;
    }
    bool Closed() const { return m_Manager == nullptr; }

    // Opens a catalog; returns the library's status (0: opened) and the name
    // under which the manager keeps it.
    py::tuple Open(const std::string& path, py::handle channel, const std::string& name,
                   const std::string& logPath) {
        uint32_t ch = Unsigned(channel, "channel", kMaxChannel);
        YFciFCatManager& m = Live();
        ForgetDescriptions();
        // Validation as the profile says (mode 4), as every host open does.
        uint32_t status = m.OpenFCat(path, static_cast<uint16_t>(ch), name, 4, logPath);
        std::string opened = status == 0 ? m.GetFCatNameByPath(path) : std::string();
        return py::make_tuple(status, Latin1(opened));
    }

    bool CloseCatalog(py::handle channel, const std::string& name) {
        uint32_t ch = Unsigned(channel, "channel", kMaxChannel);
        YFciFCatManager& m = Live();
        ForgetDescriptions();
        return m.CloseFCat(static_cast<uint16_t>(ch), name);
    }

    py::list CatalogNames(py::handle channel) {
        uint32_t ch = Unsigned(channel, "channel", kMaxChannel);
        py::list out;
        for (const std::string& n : Live().GetFCatNames(static_cast<uint16_t>(ch)))
            out.append(Latin1(n));
        return out;
    }

    uint32_t CompileLayouts(py::handle channel) {
        uint32_t ch = Unsigned(channel, "channel", kMaxChannel);
        return YFciUserInput::CompileLayouts(Live(), static_cast<uint16_t>(ch));
    }

    // The tree of a catalog open on a channel as nested tuples:
    // [(id, name, [(id, device, [(id, name, [(code, name)])])])] for FBlocks,
    // instances, functions and operations.
    py::list Tree(py::handle channel, const std::string& catalogName) {
        uint32_t ch = Unsigned(channel, "channel", kMaxChannel);
        YFciFCatManager& m = Live();
        bool open = false;
        for (const std::string& n : m.GetFCatNames(static_cast<uint16_t>(ch)))
            open = open || n == catalogName;
        if (!open)
            RaiseError("the catalog " + catalogName + " is not open in this manager",
                       MOSTFCAT_NOT_FOUND);
        YFciFCatManager::NodeList nodes;
        m.GetFBlockNodes(static_cast<uint16_t>(ch), catalogName, nodes);
        py::list fblocks;
        for (uint64_t fb : nodes) {
            py::list instances;
            for (uint64_t inst : Children(fb, MOSTFCAT_ITEM_INSTANCE)) {
                py::list functions;
                for (uint64_t fn : Children(inst, MOSTFCAT_ITEM_FUNCTION)) {
                    py::list operations;
                    for (uint64_t op : Children(fn, MOSTFCAT_ITEM_OPERATION))
                        operations.append(py::make_tuple(Int(op, 4), Str(op, 3)));
                    functions.append(py::make_tuple(Int(fn, 4), Str(fn, 3), operations));
                }
                instances.append(py::make_tuple(Int(inst, 4), Str(inst, 3), functions));
            }
            fblocks.append(py::make_tuple(Int(fb, 4), Str(fb, 3), instances));
        }
        return fblocks;
    }

    // Decodes a payload into a new DecodedMessage (a new reference).
    PyObject* Decode(PyObject* const* args) {
        MessageFields out{};
        out.fblockId = Unsigned(args[0], "fblock", 0xFF);
        out.instanceId = Unsigned(args[1], "instance", 0xFF);
        out.functionId = Unsigned(args[2], "function", 0xFFF);
        out.opType = Unsigned(args[3], "operation", 0xF);
        out.channel = args[5] ? Unsigned(args[5], "channel", kMaxChannel) : 0;
        out.options = args[6] ? Unsigned(args[6], "options", 0xFFFFFFFFu) : 0xFFFFFFFFu;
        Payload payload(args[4]);
        Live();
        if (m_Sink.stale) ForgetDescriptions();

        uint64_t key = uint64_t(out.channel) << 32 | out.fblockId << 24 | out.instanceId << 16 |
                       out.functionId << 4 | out.opType;
        std::shared_ptr<Description> d = DescriptionFor(key, out);
        // Python code run by the garbage collector while this call allocates
        // may decode the same message again: it gets a description of its own.
        std::shared_ptr<Description> own;
        if (d->busy) {
            own = NewDescription(out);
            d = own;
        }
        struct Busy {
            Description& d;
            ~Busy() { d.busy = false; }
        } busy{*d};
        d->busy = true;

        YFciMesgInfo& info = *d->info;
        info.SetOptions(out.options);
        info.ClearParamInfos();
        info.SetData(payload.bytes, payload.length);
        const std::vector<YFciParamInfo*>& entries = info.Disassemble();

        // The hex, decimal and value texts of all entries, end to end in one
        // block, and the length of each. The value is the library's text for
        // users (UTF-8; strings decoded by their encoding byte); it is left
        // empty where the library gave no value text, as decode --json leaves
        // it out there. The block is the manager's: it is filled and copied
        // before anything here allocates what could run Python code.
        std::string& block = m_Block;
        std::vector<uint32_t>& lengths = d->lengths;
        block.clear();
        lengths.resize(3 * entries.size());
        for (size_t k = 0; k < entries.size(); ++k) {
            const YFciParamInfo& e = *entries[k];
            size_t start = block.size();
            if (e.ParamMeaning() == eFciMeaningArrayPos && !e.HexText().empty()) {
                // An array position's text is not its bytes: the bytes in hex.
                static const char kDigits[] = "0123456789ABCDEF";
                for (uint8_t b : e.Data()) {
                    block.push_back(kDigits[b >> 4]);
                    block.push_back(kDigits[b & 0xF]);
                }
            } else {
                block += e.HexText();
            }
            lengths[3 * k] = static_cast<uint32_t>(block.size() - start);
            block += e.DecimalText();
            lengths[3 * k + 1] = static_cast<uint32_t>(e.DecimalText().size());
            start = block.size();
            if (!e.ValueText().empty() || e.ParamType() == eFciParamString)
                YFciUserInput::AppendEntryValueText(block, e);
            lengths[3 * k + 2] = static_cast<uint32_t>(block.size() - start);
        }
        if (block.size() > 0xFFFFFFFFu) throw std::bad_alloc();
        py::object text = py::reinterpret_steal<py::object>(
            PyBytes_FromStringAndSize(block.data(), static_cast<Py_ssize_t>(block.size())));
        if (!text) throw py::error_already_set();

        py::object params =
            py::reinterpret_steal<py::object>(PyTuple_New(static_cast<Py_ssize_t>(entries.size())));
        if (!params) throw py::error_already_set();
        if (d->names.size() < entries.size()) {
            d->names.resize(entries.size());
            d->units.resize(entries.size());
        }
        Py_ssize_t i = 0;
        uint32_t at = 0;
        for (const YFciParamInfo* e : entries) {
            ParamFields f;
            const std::string& suffix = e->NameSuffix();
            f.name = suffix.empty() ? Text(e->Name(), d->names[i]) : Text(e->FullName());
            f.unit = Text(e->UnitText(), d->units[i]);
            f.text = text.ptr();
            for (int k = 0; k < 3; ++k) {
                f.offsets[k] = at;
                f.lengths[k] = lengths[3 * static_cast<size_t>(i) + k];
                at += f.lengths[k];
            }
            f.numeric = 0;
            f.hasNumeric = e->NumericValue(f.numeric);
            f.kind = e->ParamType();
            f.level = e->Level();
            f.position = e->Position();
            f.remarks = YFciUserInput::EntryRemarks(*e);
            PyObject* p = NewParam(f);
            if (!p) throw py::error_already_set();
            PyTuple_SET_ITEM(params.ptr(), i++, p);
        }
        out.data = payload.Bytes();
        out.fblock = d->fblock.inc_ref().ptr();
        out.instance = d->instance.inc_ref().ptr();
        out.function = d->function.inc_ref().ptr();
        out.operation = d->operation.inc_ref().ptr();
        out.error = d->error.inc_ref().ptr();
        out.device = d->device.inc_ref().ptr();
        out.instanceFallback = d->fallback;
        // The tuple holds only Params, which refer to nothing: no cycle can
        // pass through it, so the garbage collector need not look at it.
        PyObject_GC_UnTrack(params.ptr());
        out.params = params.release().ptr();
        PyObject* message = NewMessage(out);
        if (!message) throw py::error_already_set();
        return message;
    }

    py::bytes Encode(py::handle fblock, py::handle instance, py::handle function,
                     py::handle operation, py::handle values, py::handle channel, py::handle raw) {
        uint32_t fb = Unsigned(fblock, "fblock", 0xFF);
        uint32_t inst = Unsigned(instance, "instance", 0xFF);
        uint32_t fkt = Unsigned(function, "function", 0xFFF);
        uint32_t op = Unsigned(operation, "operation", 0xF);
        uint32_t ch = Unsigned(channel, "channel", kMaxChannel);
        if (!PyBool_Check(raw.ptr()))
            throw py::type_error(std::string("raw must be a bool, not ") +
                                 Py_TYPE(raw.ptr())->tp_name);
        // Name and text pairs in the caller's order: a selector set first
        // decides which stream case a later name reaches.
        std::vector<std::pair<std::string, std::string>> pairs;
        if (!values.is_none()) {
            if (!PyMapping_Check(values.ptr()) || PyUnicode_Check(values.ptr()))
                throw py::type_error(std::string("values must be a mapping of parameter names "
                                                 "to texts, not ") +
                                     Py_TYPE(values.ptr())->tp_name);
            PyObject* items = PyMapping_Items(values.ptr());
            if (!items) throw py::error_already_set();
            for (py::handle item : py::reinterpret_steal<py::list>(items)) {
                py::tuple kv = py::reinterpret_borrow<py::tuple>(item);
                if (!PyUnicode_Check(kv[0].ptr()))
                    throw py::type_error(std::string("parameter names must be str, not ") +
                                         Py_TYPE(kv[0].ptr())->tp_name);
                std::string name = InputText(kv[0], "a parameter name");
                pairs.emplace_back(name, InputText(kv[1], name));
            }
        }
        YFciFCatManager& m = Live();

        // Instance fallback 1: an instance the FBlock lacks takes the layout
        // of its lowest instance (and is warned about). Decode option 1: an
        // operation without payload starts from its defaults.
        std::unique_ptr<YFciMessage> message(
            m.CreateMessage(static_cast<uint16_t>(ch), "", fb, inst, 1, fkt, op, 1));
        if (!message) RaiseError("the library could not make a message", MOSTFCAT_INVALID);
        if (!message->IsOperationValid() || !message->OperationNode()) {
            auto [reason, status] = UnknownReason(*message);
            if (reason.empty()) reason = "unknown message";
            Raise("EncodeError",
                  py::make_tuple(reason + " (" + Format("%02X.%02X.", fb, inst) +
                                     Format("%03X.%X", fkt, op) + ")",
                                 py::none(), status ? status : MOSTFCAT_NO_OPERATION));
        }
        std::unique_ptr<YFciMesgInfo> info(
            m.CreateMesgInfo(static_cast<uint16_t>(ch), fb, inst, fkt, op));
        if (info) {
            info->SetInstFallback(1);
            std::string text = YFciUserInput::InstanceFallbackText(*info);
            size_t word = text.find("decoded with");
            if (word != std::string::npos) text.replace(word, 12, "encoded with");
            if (!text.empty()) Warn("InstanceFallbackWarning", text);
        }

        YFciUserInput::Bytes payload;
        std::vector<std::string> unset;
        std::string param, error;
        if (!YFciUserInput::EncodeValues(*message, pairs, raw.ptr() == Py_True, payload, unset,
                                         param, error)) {
            // A name that selects no parameter, or a value that does not fit.
            uint32_t status = !param.empty() && !message->GetParamBySymID(param) ? MOSTFCAT_NO_PARAM
                                                                                 : MOSTFCAT_INVALID;
            Raise("EncodeError",
                  py::make_tuple(Utf8(error),
                                 param.empty() ? py::object(py::none()) : py::object(Utf8(param)),
                                 status));
        }
        if (!unset.empty()) {
            std::string list;
            for (const std::string& name : unset)
                list += (list.empty() ? "" : ", ") + YFciUserInput::Latin1ToUtf8(name);
            Warn("UnsetValuesWarning", "not set (written as zero bytes): " + list);
        }
        return py::bytes(reinterpret_cast<const char*>(payload.data()), payload.size());
    }

private:
    // A message description kept per message kind, as hosts that decode a
    // trace do: the coordinates resolve once and the entries' storage is
    // reused. The names are kept as Python texts.
    struct Description {
        std::unique_ptr<YFciMesgInfo> info;
        // The names the coordinates resolved to. Every change of the
        // manager's catalogs drops the descriptions, so the names hold as
        // long as the description.
        py::object fblock, instance, function, operation, error, device;
        // True when the FBlock lacks the instance and another one's layout
        // stands in.
        bool fallback = false;
        // The name and unit texts of the entries of the last decoding, by
        // entry: most messages of a kind have the same layout every time.
        std::vector<std::pair<std::string, py::object>> names, units;
        // The lengths of the hex, decimal and value texts of the entries
        // being copied, three an entry.
        std::vector<uint32_t> lengths;
        bool busy = false;
    };
    // The descriptions by message kind: an open-addressing table in one
    // block, since a lookup per message is on the hot path and a table of
    // scattered nodes costs a cache miss more. A kind that finds no place
    // near its own replaces the one there.
    struct Slot {
        uint64_t key = kNoKey;
        std::shared_ptr<Description> d;
    };
    static constexpr uint64_t kNoKey = ~uint64_t(0);
    static constexpr size_t kSlots = 8192; // a power of two
    static constexpr size_t kProbes = 8;

    static size_t SlotOf(uint64_t key) {
        return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 51) & (kSlots - 1);
    }

    std::shared_ptr<Description> NewDescription(const MessageFields& at) {
        auto d = std::make_shared<Description>();
        d->info.reset(m_Manager->CreateMesgInfo(static_cast<uint16_t>(at.channel), at.fblockId,
                                                at.instanceId, at.functionId, at.opType));
        if (!d->info)
            RaiseError("the library could not make a message description", MOSTFCAT_INVALID);
        // An instance the FBlock lacks is decoded with the layout of its
        // lowest instance, as the command-line tool does.
        d->info->SetInstFallback(1);
        Name(*d);
        return d;
    }

    static void Name(Description& d) {
        YFciMesgInfo& info = *d.info;
        d.fblock = Latin1(info.FBlockName());
        d.fallback = !YFciUserInput::InstanceFallbackText(info).empty();
        d.instance = Latin1(InstanceLabel(info));
        d.device = Latin1(DeviceName(info, d.fallback));
        d.function = Latin1(info.FunctionName());
        d.operation = Latin1(info.OperationName());
        std::string reason = UnknownReason(info).first;
        d.error = reason.empty() ? py::object(py::none()) : py::object(Latin1(reason));
    }

    std::shared_ptr<Description> DescriptionFor(uint64_t key, const MessageFields& at) {
        if (m_Slots.empty()) m_Slots.resize(kSlots);
        size_t home = SlotOf(key), free = kSlots;
        for (size_t n = 0; n < kProbes; ++n) {
            Slot& slot = m_Slots[(home + n) & (kSlots - 1)];
            if (slot.key == key) return slot.d;
            if (slot.key == kNoKey && free == kSlots) free = (home + n) & (kSlots - 1);
        }
        std::shared_ptr<Description> d = NewDescription(at);
        Slot& slot = m_Slots[free != kSlots ? free : home];
        slot.key = key;
        slot.d = d;
        return d;
    }

    // Descriptions resolved against the catalogs of the moment are stale once
    // a catalog opens or closes; so are those of the trace decoders. (One in use by a call keeps
    // living through that call's reference.)
    void ForgetDescriptions() {
        DropTraceDecoders();
        m_Sink.stale = false;
        std::vector<Slot> old;
        old.swap(m_Slots);
    }

public:
    YFciFCatManager& Live() {
        if (!m_Manager) Raise("ManagerClosed", py::make_tuple());
        return *m_Manager;
    }

    // Trace decoders keep descriptions of the manager's catalogs: they are
    // dropped before the catalogs change or the manager closes.
    void AddTraceDecoder(TraceDecoder* d) { m_TraceDecoders.push_back(d); }
    void RemoveTraceDecoder(TraceDecoder* d) {
        for (size_t i = 0; i < m_TraceDecoders.size(); ++i)
            if (m_TraceDecoders[i] == d) {
                m_TraceDecoders.erase(m_TraceDecoders.begin() + static_cast<ptrdiff_t>(i));
                return;
            }
    }
    // True when the catalogs changed since the descriptions were dropped
    // last (also when another manager sharing a catalog loaded it anew).
    bool CatalogsChanged() const { return m_Sink.stale; }
    // Drops what was resolved against catalogs that changed since.
    void Refresh() {
        if (m_Sink.stale) ForgetDescriptions();
    }
    void DropTraceDecoders();

private:
    // A payload from bytes or any other object with the buffer interface
    // (bytearray, memoryview, array); None and text are refused.
    class Payload {
    public:
        explicit Payload(PyObject* o) : m_Object(o) {
            if (!o) throw py::type_error("decode() missing required argument 'data'");
            if (PyBytes_Check(o)) {
                bytes = reinterpret_cast<const uint8_t*>(PyBytes_AS_STRING(o));
                size = PyBytes_GET_SIZE(o);
            } else {
                if (!PyObject_CheckBuffer(o))
                    throw py::type_error(
                        std::string("data must be bytes or another bytes-like object, not ") +
                        Py_TYPE(o)->tp_name +
                        (PyUnicode_Check(o) ? " (for hex text use bytes.fromhex)" : ""));
                if (PyObject_GetBuffer(o, &m_View, PyBUF_SIMPLE) != 0)
                    throw py::error_already_set();
                m_HasView = true;
                bytes = static_cast<const uint8_t*>(m_View.buf);
                size = m_View.len;
            }
            if (static_cast<unsigned long long>(size) > 0xFFFFFFFFull)
                throw py::value_error("data is longer than 4 GiB");
            length = static_cast<uint32_t>(size);
        }
        ~Payload() {
            if (m_HasView) PyBuffer_Release(&m_View);
        }
        Payload(const Payload&) = delete;
        Payload& operator=(const Payload&) = delete;

        // The payload as bytes (a new reference; the object itself when it is bytes).
        PyObject* Bytes() const {
            if (!m_HasView) {
                Py_INCREF(m_Object);
                return m_Object;
            }
            return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(bytes), size);
        }

        const uint8_t* bytes = nullptr;
        Py_ssize_t size = 0;
        uint32_t length = 0;

    private:
        PyObject* m_Object;
        Py_buffer m_View{};
        bool m_HasView = false;
    };

    // A catalog text as str (a new reference; the shared empty str for "").
    static PyObject* Text(const std::string& text) {
        if (text.empty()) return EmptyText();
        return PyUnicode_DecodeLatin1(text.data(), static_cast<Py_ssize_t>(text.size()), nullptr);
    }
    // The same, reusing the str of the last text seen at this place.
    static PyObject* Text(const std::string& text, std::pair<std::string, py::object>& last) {
        if (!last.second || last.first != text) {
            PyObject* made = Text(text);
            if (!made) return nullptr;
            last.first = text;
            last.second = py::reinterpret_steal<py::object>(made);
        }
        return last.second.inc_ref().ptr();
    }

    // The children of a node of the given item kind (the list has empty
    // places: it is indexed by ID).
    static std::vector<uint64_t> Children(uint64_t node, uint32_t kind) {
        uint64_t* items = nullptr;
        uint32_t count = 0;
        std::vector<uint64_t> out;
        if (gFctGetSubItemList(node, kind, &items, &count) != MOSTFCAT_OK || !items) return out;
        for (uint32_t i = 0; i < count; ++i) {
            uint32_t itemKind = 0;
            if (items[i] && gFctGetAttrInt(items[i], 0, &itemKind) == MOSTFCAT_OK &&
                itemKind == kind)
                out.push_back(items[i]);
        }
        return out;
    }
    static uint32_t Int(uint64_t node, uint32_t attribute) {
        uint32_t v = 0;
        gFctGetAttrInt(node, attribute, &v);
        return v;
    }
    static py::str Str(uint64_t node, uint32_t attribute) {
        const char* s = nullptr;
        if (gFctGetAttrStr(node, attribute, &s) != MOSTFCAT_OK || !s) return py::str("");
        return Latin1(s);
    }

    uint64_t m_Handle = 0;
    YFciFCatManager* m_Manager = nullptr;
    ChangeSink m_Sink;
    std::vector<Slot> m_Slots;
    // The texts of the message being decoded, before they become one bytes
    // object (kept for its storage).
    std::string m_Block;
    std::vector<TraceDecoder*> m_TraceDecoders;
};

// The library's trace decoder on a manager: decodes trace lines into the
// exact text or JSON lines `mostfcat decode` writes. It refuses to go on
// once the manager's catalogs changed or the manager closed.
class TraceDecoder {
public:
    TraceDecoder(py::object owner, Manager& manager, uint16_t channel, uint32_t options, bool json)
        : m_Owner(std::move(owner)), m_Manager(&manager) {
        m_Decoder.reset(
            new YFciTraceDecoder(&manager.Live(), channel, options,
                                 json ? YFciTraceDecoder::eJson : YFciTraceDecoder::eText));
        manager.AddTraceDecoder(this);
    }
    ~TraceDecoder() {
        Drop();
        if (m_Manager) m_Manager->RemoveTraceDecoder(this);
    }
    TraceDecoder(const TraceDecoder&) = delete;
    TraceDecoder& operator=(const TraceDecoder&) = delete;

    void Drop() { m_Decoder.reset(); }

    // One line (without its line end) decoded into the output lines, UTF-8.
    py::bytes Line(py::buffer line) {
        YFciTraceDecoder& d = Live();
        py::buffer_info b = line.request();
        if (b.ndim != 1 || b.itemsize != 1)
            throw py::type_error("line must be bytes or another bytes-like object");
        std::string out;
        d.DecodeLine(static_cast<const char*>(b.ptr), static_cast<size_t>(b.size), out);
        return py::bytes(out);
    }

    py::str Summary() {
        if (!m_Decoder) Live();
        return Utf8(m_Decoder->Summary());
    }

private:
    YFciTraceDecoder& Live() {
        m_Manager->Live();
        if (m_Manager->CatalogsChanged()) Drop();
        if (!m_Decoder)
            RaiseError("the manager's catalogs changed since this trace decoder was made",
                       MOSTFCAT_INVALID);
        return *m_Decoder;
    }

    py::object m_Owner; // keeps the manager alive
    Manager* m_Manager;
    std::unique_ptr<YFciTraceDecoder> m_Decoder;
};

void Manager::DropTraceDecoders() {
    for (TraceDecoder* d : m_TraceDecoders)
        d->Drop();
}

// The Manager behind self (an instance of _Manager or of a subclass, as the
// method descriptor ensures). A plain pybind11 instance holds the pointer in
// its first slot; anything else goes the general way, which also raises for
// an instance whose __init__ did not run.
Manager& Self(PyObject* self) {
    auto* inst = reinterpret_cast<py::detail::instance*>(self);
    if (inst->simple_layout && inst->simple_holder_constructed && inst->simple_value_holder[0])
        return *static_cast<Manager*>(inst->simple_value_holder[0]);
    try {
        return py::handle(self).cast<Manager&>();
    } catch (py::cast_error&) {
        throw py::type_error("this Manager was not initialised (its __init__ did not call "
                             "Manager.__init__)");
    }
}

// Manager.decode, the call a trace makes for every message: bound without
// pybind11's general argument handling, which would cost more than the
// decoding of a short message.
const char* const kNames[] = {"fblock", "instance", "function", "operation",
                              "data",   "channel",  "options"};
constexpr Py_ssize_t kCount = 7, kRequired = 5;
PyObject* g_DecodeNames[kCount] = {};

PyObject* DecodeMethod(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
    try {
        PyObject* values[kCount] = {};
        if (nargs > kCount)
            throw py::type_error("decode() takes at most 7 arguments (" + std::to_string(nargs) +
                                 " given)");
        for (Py_ssize_t i = 0; i < nargs; ++i)
            values[i] = args[i];
        Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
        for (Py_ssize_t k = 0; k < nkw; ++k) {
            PyObject* key = PyTuple_GET_ITEM(kwnames, k);
            // Keyword names are interned, as are ours: identities match first.
            Py_ssize_t j = 0;
            while (j < kCount && key != g_DecodeNames[j])
                ++j;
            if (j == kCount) { // a name made at run time: compare the texts
                j = 0;
                while (j < kCount && PyUnicode_CompareWithASCIIString(key, kNames[j]) != 0)
                    ++j;
            }
            if (j == kCount)
                throw py::type_error("decode() got an unexpected keyword argument '" +
                                     py::str(key).cast<std::string>() + "'");
            if (values[j])
                throw py::type_error(std::string("decode() got multiple values for argument '") +
                                     kNames[j] + "'");
            values[j] = args[nargs + k];
        }
        for (Py_ssize_t j = 0; j < kRequired; ++j)
            if (!values[j] && j != 4)
                throw py::type_error(std::string("decode() missing required argument '") +
                                     kNames[j] + "'");
        // data defaults to an empty payload.
        py::bytes empty;
        if (!values[4]) values[4] = empty.ptr();
        return Self(self).Decode(values);
    } catch (py::error_already_set& e) {
        e.restore();
    } catch (py::builtin_exception& e) {
        e.set_error();
    } catch (std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (std::exception& e) {
        PyErr_SetString(PyExc_RuntimeError, e.what());
    }
    return nullptr;
}

PyMethodDef kDecodeMethod = {
    "decode", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(DecodeMethod)),
    METH_FASTCALL | METH_KEYWORDS,
    "decode($self, fblock, instance, function, operation, data=b'', channel=0,\n"
    "       options=0xFFFFFFFF)\n"
    "--\n\n"
    "Decodes a payload into its parameters.\n\n"
    "fblock, instance, function and operation are the message's coordinates (FBlock ID\n"
    "0..0xFF, instance ID 0..0xFF, function ID 0..0xFFF, OpType 0..0xF); data is the\n"
    "payload (bytes-like); channel the bus channel (1..16, 0: every channel); options the\n"
    "decode option word (all bits: every text and every diagnostic). Returns a\n"
    "DecodedMessage; coordinates that select no operation give a message whose error says\n"
    "why."};

} // namespace

PYBIND11_MODULE(_mostfcat, m) {
    m.doc() = "The compiled part of mostfcat; use the package mostfcat instead.";
    m.attr("__version__") = MOSTFCAT_VERSION;

    if (!InitResultTypes()) throw py::error_already_set();
    for (Py_ssize_t j = 0; j < kCount; ++j)
        if (!(g_DecodeNames[j] = PyUnicode_InternFromString(kNames[j])))
            throw py::error_already_set();
    m.attr("Param") = py::handle(reinterpret_cast<PyObject*>(ParamType()));
    m.attr("DecodedMessage") = py::handle(reinterpret_cast<PyObject*>(MessageType()));

    py::class_<Manager> manager(m, "_Manager");
    manager.def(py::init<const std::string&>(), "name"_a = "python")
        .def("close", &Manager::Close,
             "Closes the manager and its catalogs; later calls raise ManagerClosed. "
             "Closing twice is harmless.")
        .def_property_readonly("closed", &Manager::Closed, "True once close() was called.")
        .def("_open", &Manager::Open, "path"_a, "channel"_a, "name"_a, "log_path"_a)
        .def("_close_catalog", &Manager::CloseCatalog, "channel"_a, "name"_a)
        .def("_catalog_names", &Manager::CatalogNames, "channel"_a)
        .def("_tree", &Manager::Tree, "channel"_a, "name"_a)
        .def("compile_layouts", &Manager::CompileLayouts, "channel"_a = 0,
             R"(Compiles the layout of every operation of the catalogs open on a
channel (0: every catalog) now, instead of at the first decode of each, so
that no later decode pays for it. Returns how many operations have their
layout ready. Catalogs opened later compile on first use again.)")
        .def("encode", &Manager::Encode, "fblock"_a, "instance"_a, "function"_a, "operation"_a,
             "values"_a = py::none(), "channel"_a = 0, "raw"_a = false,
             R"(Builds the payload of a message from values set by name.

values maps symbolic parameter names ('Volume', 'Tone.Bass',
'List.Entry[2].Level', 'ErrorInfo(6).ParamNo') to values as decode shows
them: numbers physical (60, '-1.0'; exactly on the catalog's step grid and
inside its range), enumerations by value name or defined code, strings as
str, raw bytes as hex text. A float is written in its shortest exact form
(nan and infinity are refused with ValueError). raw=True takes numbers as
raw integers and any enumeration code that fits. Values are applied in
order, starting from the operation's default payload; array elements are
added as the names need them. Returns the payload as bytes.

Raises EncodeError (with param) when a name is given twice or does not
exist, or a value does not fit. Warns UnsetValuesWarning naming the
parameters left without a value (written as zero bytes), and
InstanceFallbackWarning when the FBlock lacks the instance (the layout of
its lowest instance is used).)")
        .def(
            "_trace_decoder",
            [](py::object self, py::handle channel, py::handle options, bool json) {
                Manager& m = self.cast<Manager&>();
                m.Live();
                // Catalogs opened before are those the decoder works with.
                m.Refresh();
                uint32_t ch = Unsigned(channel, "channel", kMaxChannel);
                uint32_t opt = Unsigned(options, "options", 0xFFFFFFFFu);
                return std::make_unique<TraceDecoder>(self, m, static_cast<uint16_t>(ch), opt,
                                                      json);
            },
            "channel"_a = 0, "options"_a = 0xFFFFFFFFu, "json"_a = true,
            "A decoder of trace lines into the lines `mostfcat decode` writes.");
    py::class_<TraceDecoder>(m, "_TraceDecoder")
        .def("line", &TraceDecoder::Line, "line"_a,
             "Decodes one trace line (bytes, without its line end) into output lines (UTF-8).")
        .def("summary", &TraceDecoder::Summary,
             "'N of M messages could not be decoded (...)', or '' when all were.");
    // Telegrams put together into messages: a line (bytes) in, a list of
    // results out, each ("message", fblock, instance, function, operation,
    // payload, time, source, telegrams) or ("fault", error, input).
    py::class_<YFciTelegrams>(m, "_Telegrams")
        .def(py::init([](bool most150) {
                 return std::make_unique<YFciTelegrams>(most150 ? YFciTelegrams::eMost150
                                                                : YFciTelegrams::eMost50);
             }),
             "most150"_a = false)
        .def(
            "feed",
            [](YFciTelegrams& t, const py::bytes& line, bool finish) {
                std::vector<YFciTelegrams::Result> out;
                if (finish) {
                    t.Finish(out);
                } else {
                    std::string text = line;
                    t.FeedLine(text.data(), text.size(), out);
                }
                py::list results;
                for (const YFciTelegrams::Result& r : out) {
                    if (r.fault) {
                        results.append(py::make_tuple("fault", r.error,
                                                      py::bytes(r.input.data(), r.input.size())));
                        continue;
                    }
                    py::object time = py::none(), source = py::none();
                    if (!r.time.empty()) time = py::float_(std::stod(r.time));
                    if (r.source >= 0) source = py::int_(r.source);
                    results.append(
                        py::make_tuple("message", r.fblock, r.instance, r.function, r.operation,
                                       py::bytes(reinterpret_cast<const char*>(r.payload.data()),
                                                 r.payload.size()),
                                       time, source, r.telegrams));
                }
                return results;
            },
            "line"_a, "finish"_a = false)
        .def_property_readonly("pending", &YFciTelegrams::Pending);
    // Two catalogs compared: the JSON object of `mostfcat diff --json`.
    m.def(
        "_diff_json",
        [](Manager& a, uint16_t ca, const std::string& na, Manager& b, uint16_t cb,
           const std::string& nb) {
            std::vector<YFciCatalogDiff::Change> changes;
            std::string error;
            if (!YFciCatalogDiff::Compare(a.Live(), ca, na, b.Live(), cb, nb, changes, error))
                throw py::value_error(error);
            return YFciCatalogDiff::Json(changes);
        },
        "old"_a, "old_channel"_a, "old_name"_a, "new"_a, "new_channel"_a, "new_name"_a);
    PyObject* decode =
        PyDescr_NewMethod(reinterpret_cast<PyTypeObject*>(manager.ptr()), &kDecodeMethod);
    if (!decode) throw py::error_already_set();
    manager.attr("decode") = py::reinterpret_steal<py::object>(decode);
}
