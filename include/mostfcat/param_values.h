// mostfcat: parameter values of message instances.
//
// A message instance (YFciMessage) holds its payload as a tree of value
// objects: one handle per parameter, of the class that fits the parameter's
// kind. Every handle forwards to an implementation object inside the
// library. The order of the virtual operations is part of the binary
// interface: YFciParam's operations come first, then those of the kind.
#ifndef MOSTFCAT_PARAM_VALUES_H
#define MOSTFCAT_PARAM_VALUES_H

#include <cstdint>
#include <string>
#include <vector>

#include "mostfcat/hexdump.h"

namespace mostfcat {
class YFciParamImpl;
}

// Kinds of parameter values (and of parameter descriptions).
enum YFciParamType {
    eFciParamDiagnostic = 1,
    eFciParamDetailedStream = 2,
    eFciParamStreamCase = 3,
    eFciParamArray = 4,
    eFciParamRecord = 5,
    eFciParamBool = 6,
    eFciParamBoolfield = 7,
    eFciParamNumber = 8,
    eFciParamEnum = 9,
    eFciParamString = 10,
    eFciParamBitfield = 11,
    eFciParamVoid = 12,
    eFciParamFktIDBitStream = 13,
    eFciParamRawStream = 14,
    eFciParamRemain = 15,
    eFciParamCStream = 16,
    eFciParamRawShortStream = 17,
    eFciParamSignal = 18,
    eFciParamDetailedShortStream = 19
};

// Display modes and meanings: the codes of the parameter definition.
enum YFciParamDispMode { eFciDispDecimal = 0, eFciDispLength = 1, eFciDispHex = 2 };
enum YFciParamMeaning {
    eFciMeaningNone = 0,
    eFciMeaningNodeAddress = 1,
    eFciMeaningFBlockID = 2,
    eFciMeaningNotifyFktID = 4,
    eFciMeaningOpType = 6,
    eFciMeaningArrayPos = 7,
    eFciMeaningArrayTag = 11,
    eFciMeaningArrayPosY = 12,
    eFciMeaningLength = 13,
    eFciMeaningListSize = 14,
    eFciMeaningFktIDBitStream = 16
};

// The character-set code of a string (its encoding byte).
typedef uint32_t YFciStringEncoding;

// UserInputStr modes: 0x1 numeric, 0x2 symbolic (both: "numeric: symbolic"),
// 0x10 hexadecimal, 0x20 with "0x" (together with 0x10).

class MOSTFCAT_CLASS YFciParam {
public:
    typedef std::vector<unsigned char> Bytes;

    YFciParam();
    YFciParam(const YFciParam& other);
    YFciParam& operator=(const YFciParam& other);

    virtual ~YFciParam();
    virtual YFciParamType ParamType();
    virtual YFciParamDispMode ParamDispMode();
    virtual YFciParamMeaning ParamMeaning();
    virtual bool IsDescriptionParam() const;
    virtual const std::string& Name() const;
    virtual std::string DescName(bool hex);
    virtual const std::string& Unit() const;
    virtual bool IsValueValid() const;
    virtual bool IsValueDefined() const;
    virtual Bytes ValueHexdump();
    virtual void SetValueHexdumpStr(const std::string& text);
    virtual std::string ValueHexdumpStr();
    virtual bool SetUserInputStr(const std::string& input, bool& changed);
    virtual std::string UserInputStr(unsigned long mode);
    virtual unsigned long Index() const;
    virtual bool IsActive() const;
    virtual const std::vector<YFciParam*>& SubParamList() const;
    virtual std::string ShortID();
    virtual std::string SymID();
    virtual std::string SymIDTail();
    virtual bool IsMultiplexorParam() const;
    virtual std::string GetParamDescription();
    virtual uint64_t FctNode() const;

    // Internal: the implementation object (shared by copies of the handle).
    mostfcat::YFciParamImpl* Impl() const { return m_Impl; }

protected:
    mostfcat::YFciParamImpl* m_Impl;
};

class MOSTFCAT_CLASS YFciParamNumber : public YFciParam {
public:
    enum NumberType { eU8 = 0, eU16 = 1, eU32 = 2, eS8 = 3, eS16 = 4, eS32 = 5 };
    enum WildcardType {
        eNoWildcard = 0,
        eWildcardN = 1,
        eWildcardG = 2,
        eWildcardP = 3,
        eWildcardPP = 4
    };

    YFciParamNumber();
    YFciParamNumber(const YFciParamNumber& other);
    YFciParamNumber& operator=(const YFciParamNumber& other);
    ~YFciParamNumber() override;
    YFciParamType ParamType() override;
    virtual bool SetValue(double value);
    virtual double Value() const;
    virtual NumberType ValueType();
    virtual double MinValue() const;
    virtual double MaxValue() const;
    virtual long Exponent() const;
    virtual WildcardType Wildcard();
    virtual bool UserInputStringToValue(const std::string& text, double& value) const;
};

class MOSTFCAT_CLASS YFciParamEnum : public YFciParam {
public:
    enum EnumType { eEnum8 = 0, eEnum16 = 1 };

    YFciParamEnum();
    YFciParamEnum(const YFciParamEnum& other);
    YFciParamEnum& operator=(const YFciParamEnum& other);
    ~YFciParamEnum() override;
    YFciParamType ParamType() override;
    virtual bool SetValue(long value);
    virtual long Value() const;
    virtual std::vector<std::string> ValueList(unsigned long mode);
    virtual EnumType ValueType();
    virtual long MaxValue() const;
    virtual bool UserInputStringToValue(const std::string& text, long& value) const;
};

class MOSTFCAT_CLASS YFciParamString : public YFciParam {
public:
    YFciParamString();
    YFciParamString(const YFciParamString& other);
    YFciParamString& operator=(const YFciParamString& other);
    ~YFciParamString() override;
    YFciParamType ParamType() override;
    virtual void SetValue(const std::string& text);
    virtual std::string Value();
    virtual unsigned long MaxSize() const;
    virtual bool HasEncodingByte() const;
    virtual void SetHexdump(const Bytes& bytes);
    virtual void SetEncoding(YFciStringEncoding encoding);
    virtual YFciStringEncoding Encoding();
};

class MOSTFCAT_CLASS YFciParamBoolfield : public YFciParam {
public:
    // 0: the bit is set (shows "1"), 1: the bit is clear (shows "0"), 2: undefined.
    enum BoolType { eBitSet = 0, eBitClear = 1, eBitUndefined = 2 };

    YFciParamBoolfield();
    YFciParamBoolfield(const YFciParamBoolfield& other);
    YFciParamBoolfield& operator=(const YFciParamBoolfield& other);
    ~YFciParamBoolfield() override;
    YFciParamType ParamType() override;
    virtual void SetValue(BoolType value);
    virtual BoolType Value();
    virtual std::vector<std::string> ValueList(unsigned long mode);
    virtual unsigned int BitPosition() const;
};

class MOSTFCAT_CLASS YFciParamBool : public YFciParam {
public:
    YFciParamBool();
    YFciParamBool(const YFciParamBool& other);
    YFciParamBool& operator=(const YFciParamBool& other);
    ~YFciParamBool() override;
    YFciParamType ParamType() override;
    virtual YFciParamNumber::NumberType ValueType();
    virtual uint64_t MinValue() const;
    virtual uint64_t MaxValue() const;
    virtual void SetValueHexdump(Bytes& bytes);
    virtual void SetValue(uint64_t value);
    virtual uint64_t Value() const;
    virtual bool UserInputStringToValue(const std::string& text, uint64_t& value) const;

protected:
    explicit YFciParamBool(mostfcat::YFciParamImpl* impl);
};

class MOSTFCAT_CLASS YFciParamBitfield : public YFciParamBool {
public:
    YFciParamBitfield();
    YFciParamBitfield(const YFciParamBitfield& other);
    YFciParamBitfield& operator=(const YFciParamBitfield& other);
    ~YFciParamBitfield() override;
    YFciParamType ParamType() override;
};

class MOSTFCAT_CLASS YFciParamSignal : public YFciParam {
public:
    union intUnion {
        int64_t s;
        uint64_t u;
    };

    YFciParamSignal();
    YFciParamSignal(const YFciParamSignal& other);
    YFciParamSignal& operator=(const YFciParamSignal& other);
    ~YFciParamSignal() override;
    YFciParamType ParamType() override;
    bool IsDescriptionParam() const override;
    virtual int64_t MinValue() const;
    virtual uint64_t MaxValue() const;
    virtual intUnion Value();
    virtual bool SetValue(intUnion value);
    virtual bool SetValueHexdump(const Bytes& bytes);
    virtual long BitLength() const;
    virtual bool IsSigned() const;
    virtual bool IsBigEndian() const;
};

class MOSTFCAT_CLASS YFciParamArray : public YFciParam {
public:
    YFciParamArray();
    YFciParamArray(const YFciParamArray& other);
    YFciParamArray& operator=(const YFciParamArray& other);
    ~YFciParamArray() override;
    YFciParamType ParamType() override;
    bool IsDescriptionParam() const override;
    virtual unsigned long GetSelectorValue() const;
    virtual bool InsertElem();
    virtual bool RemoveElem(YFciParam* element);
};

class MOSTFCAT_CLASS YFciParamRecord : public YFciParam {
public:
    YFciParamRecord();
    YFciParamRecord(const YFciParamRecord& other);
    YFciParamRecord& operator=(const YFciParamRecord& other);
    ~YFciParamRecord() override;
    YFciParamType ParamType() override;
    bool IsDescriptionParam() const override;
    virtual unsigned long GetSelectorValue() const;
};

class MOSTFCAT_CLASS YFciParamDetailedStream : public YFciParam {
public:
    YFciParamDetailedStream();
    YFciParamDetailedStream(const YFciParamDetailedStream& other);
    YFciParamDetailedStream& operator=(const YFciParamDetailedStream& other);
    ~YFciParamDetailedStream() override;
    YFciParamType ParamType() override;
    bool IsDescriptionParam() const override;
    virtual YFciParam* GetMultiplexorParam() const;
};

class MOSTFCAT_CLASS YFciParamDetailedShortStream : public YFciParam {
public:
    YFciParamDetailedShortStream();
    YFciParamDetailedShortStream(const YFciParamDetailedShortStream& other);
    YFciParamDetailedShortStream& operator=(const YFciParamDetailedShortStream& other);
    ~YFciParamDetailedShortStream() override;
    YFciParamType ParamType() override;
    bool IsDescriptionParam() const override;
    virtual YFciParam* GetMultiplexorParam() const;
};

class MOSTFCAT_CLASS YFciParamStreamCase : public YFciParam {
public:
    YFciParamStreamCase();
    YFciParamStreamCase(const YFciParamStreamCase& other);
    YFciParamStreamCase& operator=(const YFciParamStreamCase& other);
    ~YFciParamStreamCase() override;
    YFciParamType ParamType() override;
    bool IsDescriptionParam() const override;
    virtual bool HasSequence() const;
    virtual bool InsertSequence();
    virtual bool RemoveSequence(YFciParam* member);
};

class MOSTFCAT_CLASS YFciParamCStream : public YFciParam {
public:
    YFciParamCStream();
    YFciParamCStream(const YFciParamCStream& other);
    YFciParamCStream& operator=(const YFciParamCStream& other);
    ~YFciParamCStream() override;
    YFciParamType ParamType() override;
    bool IsDescriptionParam() const override;
    virtual unsigned long MaxLength() const;
};

class MOSTFCAT_CLASS YFciParamRawShortStream : public YFciParam {
public:
    YFciParamRawShortStream();
    YFciParamRawShortStream(const YFciParamRawShortStream& other);
    YFciParamRawShortStream& operator=(const YFciParamRawShortStream& other);
    ~YFciParamRawShortStream() override;
    YFciParamType ParamType() override;
    bool IsDescriptionParam() const override;
    virtual unsigned long MaxLength() const;
};

class MOSTFCAT_CLASS YFciParamRawStream : public YFciParam {
public:
    YFciParamRawStream();
    YFciParamRawStream(const YFciParamRawStream& other);
    YFciParamRawStream& operator=(const YFciParamRawStream& other);
    ~YFciParamRawStream() override;
    YFciParamType ParamType() override;
    virtual void SetHexdump(const Bytes& bytes);
    virtual unsigned long MaxLength() const;
};

class MOSTFCAT_CLASS YFciParamRemain : public YFciParam {
public:
    YFciParamRemain();
    YFciParamRemain(const YFciParamRemain& other);
    YFciParamRemain& operator=(const YFciParamRemain& other);
    ~YFciParamRemain() override;
    YFciParamType ParamType() override;
};

#endif // MOSTFCAT_PARAM_VALUES_H
