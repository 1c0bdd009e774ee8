#pragma once
// Writes AVM1 action records: merges consecutive pushes, shares strings through the
// constant pool and fixes up branch offsets once their labels are placed.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "swf/actionscript/lexer.h"

namespace swf::as {

namespace op {
inline constexpr std::uint8_t NextFrame = 0x04, PrevFrame = 0x05, Play = 0x06, Stop = 0x07,
    StopSounds = 0x09, Subtract = 0x0B, Multiply = 0x0C, Divide = 0x0D, Not = 0x12, Pop = 0x17,
    ToInteger = 0x18, GetVariable = 0x1C, SetVariable = 0x1D, Trace = 0x26, Throw = 0x2A,
    RandomNumber = 0x30, GetTime = 0x34, MBCharToAscii = 0x36, MBAsciiToChar = 0x37, Delete = 0x3A,
    Delete2 = 0x3B, DefineLocal = 0x3C, CallFunction = 0x3D, Return = 0x3E, Modulo = 0x3F,
    NewObject = 0x40, DefineLocal2 = 0x41, InitArray = 0x42, InitObject = 0x43, TypeOf = 0x44,
    TargetPath = 0x45, Add2 = 0x47, Less2 = 0x48, Equals2 = 0x49, ToNumber = 0x4A, ToString = 0x4B,
    PushDuplicate = 0x4C, StackSwap = 0x4D, GetMember = 0x4E, SetMember = 0x4F, Increment = 0x50,
    Decrement = 0x51, CallMethod = 0x52, NewMethod = 0x53, InstanceOf = 0x54, Enumerate2 = 0x55,
    BitAnd = 0x60, BitOr = 0x61, BitXor = 0x62, BitLShift = 0x63, BitRShift = 0x64, BitURShift = 0x65,
    StrictEquals = 0x66, Greater = 0x67,
    // Records with a length and data.
    GotoFrame = 0x81, GetURL = 0x83, StoreRegister = 0x87, ConstantPool = 0x88, GoToLabel = 0x8C,
    DefineFunction2 = 0x8E, With = 0x94, Push = 0x96, Jump = 0x99, GetURL2 = 0x9A, If = 0x9D,
    GotoFrame2 = 0x9F;
}  // namespace op

// Strings shared by index; a full pool leaves further strings to be pushed inline.
class ConstantPool {
public:
    int Index(const std::string& s);  // -1 when the pool cannot take it
    bool Empty() const { return strings_.empty(); }
    void Write(std::vector<std::uint8_t>& out) const;  // the ConstantPool record

private:
    std::unordered_map<std::string, int> index_;
    std::vector<const std::string*> strings_;
    std::size_t bytes_ = 2;  // record data: the count and the strings with their zeros
};

class Emitter {
public:
    explicit Emitter(ConstantPool& pool) : pool_(pool) {}

    std::vector<std::uint8_t>& Bytes() { return bytes_; }
    std::size_t Size() const { return bytes_.size(); }

    void Op(std::uint8_t code);  // an action without data
    // An action with data: Begin writes code and length, End patches the length.
    std::size_t Begin(std::uint8_t code);
    void End(std::size_t record);
    void U8(std::uint8_t v) { bytes_.push_back(v); }
    void U16(std::uint16_t v);
    void Str(std::string_view s);  // with its terminating zero
    void PatchU16(std::size_t at, std::uint16_t v);
    void PatchU8(std::size_t at, std::uint8_t v) { bytes_[at] = v; }

    void PushString(const std::string& s);
    void PushNumber(double v);
    void PushBool(bool v);
    void PushNull();
    void PushUndefined();
    void PushRegister(int reg);
    void StoreRegister(int reg);

    int NewLabel();
    void Bind(int label);
    void Branch(std::uint8_t code, int label, SourcePos pos);  // Jump or If
    // Writes every branch offset; a branch out of reach is an error at its statement.
    void Resolve();

private:
    void PushValue(std::uint8_t type, const std::uint8_t* data, std::size_t n);

    struct Fixup {
        std::size_t at;
        int label;
        SourcePos pos;
    };
    ConstantPool& pool_;
    std::vector<std::uint8_t> bytes_;
    std::size_t openPush_ = SIZE_MAX;  // record of the Push that later pushes may join
    std::vector<std::size_t> labels_;
    std::vector<Fixup> fixups_;
};

}  // namespace swf::as
