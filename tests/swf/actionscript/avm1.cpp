#include "avm1.h"

#include <charconv>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <sstream>

namespace avm1 {

namespace {

const std::map<int, std::string>& Names() {
    static const std::map<int, std::string> names = {
        {0x04, "nextFrame"}, {0x05, "prevFrame"}, {0x06, "play"}, {0x07, "stop"}, {0x09, "stopSounds"},
        {0x0A, "add"}, {0x0B, "subtract"}, {0x0C, "multiply"}, {0x0D, "divide"}, {0x0E, "equals"},
        {0x0F, "less"}, {0x10, "and"}, {0x11, "or"}, {0x12, "not"}, {0x17, "pop"}, {0x18, "toInteger"},
        {0x1C, "getVariable"}, {0x1D, "setVariable"}, {0x21, "stringAdd"}, {0x26, "trace"}, {0x2A, "throw"},
        {0x30, "random"}, {0x34, "getTime"}, {0x36, "mbOrd"}, {0x37, "mbChr"}, {0x3A, "delete"},
        {0x3B, "delete2"}, {0x3C, "defineLocal"}, {0x3D, "callFunction"}, {0x3E, "return"}, {0x3F, "modulo"},
        {0x40, "new"}, {0x41, "defineLocal2"}, {0x42, "initArray"}, {0x43, "initObject"}, {0x44, "typeof"},
        {0x45, "targetPath"}, {0x47, "add2"}, {0x48, "less2"}, {0x49, "equals2"}, {0x4A, "toNumber"},
        {0x4B, "toString"}, {0x4C, "dup"}, {0x4D, "swap"}, {0x4E, "getMember"}, {0x4F, "setMember"},
        {0x50, "increment"}, {0x51, "decrement"}, {0x52, "callMethod"}, {0x53, "newMethod"},
        {0x54, "instanceof"}, {0x55, "enumerate2"}, {0x60, "bitAnd"}, {0x61, "bitOr"}, {0x62, "bitXor"},
        {0x63, "shl"}, {0x64, "shr"}, {0x65, "ushr"}, {0x66, "strictEquals"}, {0x67, "greater"},
        {0x81, "gotoFrame"}, {0x83, "getURL"}, {0x87, "store"}, {0x88, "constants"}, {0x8C, "gotoLabel"},
        {0x8E, "function2"}, {0x94, "with"}, {0x96, "push"}, {0x99, "jump"}, {0x9A, "getURL2"},
        {0x9D, "if"}, {0x9F, "gotoFrame2"}};
    return names;
}

struct Reader {
    const std::vector<std::uint8_t>& d;
    std::size_t pos;
    std::size_t end;
    bool ok = true;
    std::uint8_t U8() {
        if (pos >= end) { ok = false; return 0; }
        return d[pos++];
    }
    std::uint16_t U16() { int lo = U8(); return static_cast<std::uint16_t>(lo | (U8() << 8)); }
    std::uint32_t U32() { std::uint32_t lo = U16(); return lo | (static_cast<std::uint32_t>(U16()) << 16); }
    std::string Str() {
        std::string s;
        for (;;) {
            if (pos >= end) { ok = false; return s; }
            char c = static_cast<char>(d[pos++]);
            if (!c) return s;
            s += c;
        }
    }
};

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string Number(double v) {
    char buf[64];
    auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
    return std::string(buf, end);
}

}  // namespace

std::string Listing::Text() const {
    std::string out;
    for (const Action& a : actions) out += a.text + "\n";
    return out;
}

std::string Listing::Names() const {
    std::string out;
    for (const Action& a : actions) {
        if (!out.empty()) out += ' ';
        out += a.text.substr(0, a.text.find(' '));
    }
    return out;
}

Listing Read(const std::vector<std::uint8_t>& code) {
    Listing l;
    struct Block {
        std::size_t end;
        int registers;  // 4 at top level
    };
    std::vector<Block> blocks = {{code.size(), 4}};
    std::set<std::size_t> starts;
    struct Branch {
        std::size_t from, target, blockStart, blockEnd;
    };
    std::vector<Branch> branches;
    std::vector<std::size_t> blockStarts = {0};
    auto fail = [&](std::size_t at, const std::string& why) {
        if (l.error.empty()) l.error = "at " + std::to_string(at) + ": " + why;
    };
    std::size_t pos = 0;
    while (pos < code.size() && l.error.empty()) {
        while (blocks.size() > 1 && pos >= blocks.back().end) {
            if (pos > blocks.back().end) fail(pos, "function body ends inside a record");
            blocks.pop_back();
            blockStarts.pop_back();
        }
        starts.insert(pos);
        Action a;
        a.offset = pos;
        a.code = code[pos];
        std::size_t len = 0;
        std::size_t dataStart = pos + 1;
        if (a.code >= 0x80) {
            if (pos + 3 > code.size()) { fail(pos, "record header cut"); break; }
            len = code[pos + 1] | (code[pos + 2] << 8);
            dataStart = pos + 3;
            if (dataStart + len > code.size()) { fail(pos, "record data cut"); break; }
        }
        if (a.code == 0) fail(pos, "ActionEnd inside the actions");
        a.data.assign(code.begin() + dataStart, code.begin() + dataStart + len);
        auto nameIt = Names().find(a.code);
        if (nameIt == Names().end()) fail(pos, "unknown action " + std::to_string(a.code));
        a.text = nameIt == Names().end() ? "?" : nameIt->second;
        Reader r{code, dataStart, dataStart + len};
        int registers = blocks.back().registers;
        switch (a.code) {
            case 0x96:
                while (r.pos < r.end && r.ok) {
                    int type = r.U8();
                    switch (type) {
                        case 0: a.text += " " + Quote(r.Str()); break;
                        case 1: { std::uint32_t b = r.U32(); float f; std::memcpy(&f, &b, 4); a.text += " f" + Number(f); break; }
                        case 2: a.text += " null"; break;
                        case 3: a.text += " undefined"; break;
                        case 4: {
                            int reg = r.U8();
                            if (reg >= registers) fail(pos, "register " + std::to_string(reg) + " beyond the count");
                            a.text += " r:" + std::to_string(reg);
                            break;
                        }
                        case 5: a.text += r.U8() ? " true" : " false"; break;
                        case 6: {
                            std::uint64_t hi = r.U32(), lo = r.U32();
                            std::uint64_t bits = (hi << 32) | lo;
                            double v;
                            std::memcpy(&v, &bits, 8);
                            a.text += " d" + Number(v);
                            break;
                        }
                        case 7: a.text += " " + std::to_string(static_cast<std::int32_t>(r.U32())); break;
                        case 8:
                        case 9: {
                            std::size_t i = type == 8 ? r.U8() : r.U16();
                            if (i >= l.pool.size()) fail(pos, "constant " + std::to_string(i) + " beyond the pool");
                            else a.text += " " + Quote(l.pool[i]);
                            if (type == 9) a.text += "#16";
                            break;
                        }
                        default: fail(pos, "unknown push type " + std::to_string(type));
                    }
                }
                break;
            case 0x88: {
                int n = r.U16();
                for (int i = 0; i < n; ++i) l.pool.push_back(r.Str());
                a.text += " " + std::to_string(n);
                break;
            }
            case 0x87: {
                int reg = r.U8();
                if (reg >= registers) fail(pos, "register " + std::to_string(reg) + " beyond the count");
                a.text += " r:" + std::to_string(reg);
                break;
            }
            case 0x99:
            case 0x9D: {
                auto off = static_cast<std::int16_t>(r.U16());
                std::size_t target = dataStart + len + off;
                branches.push_back({pos, target, blockStarts.back(), blocks.back().end});
                a.text += " L" + std::to_string(target);
                break;
            }
            case 0x81: a.text += " " + std::to_string(r.U16()); break;
            case 0x8C: a.text += " " + Quote(r.Str()); break;
            case 0x83: {
                std::string url = r.Str();
                a.text += " " + Quote(url) + " " + Quote(r.Str());
                break;
            }
            case 0x9A:
            case 0x9F: a.text += " " + std::to_string(r.U8()); break;
            case 0x94: {
                std::size_t size = r.U16();
                a.text += " " + std::to_string(size);
                // The with body must end on a record boundary: checked as a branch.
                branches.push_back({pos, dataStart + len + size, blockStarts.back(), blocks.back().end});
                break;
            }
            case 0x8E: {
                std::string name = r.Str();
                int nparams = r.U16();
                int regs = r.U8();
                int flags = r.U16();
                a.text += " " + name + "(";
                for (int i = 0; i < nparams; ++i) {
                    int reg = r.U8();
                    std::string p = r.Str();
                    if (reg >= regs && reg != 0) fail(pos, "parameter register beyond the count");
                    a.text += (i ? "," : "") + (reg ? "r" + std::to_string(reg) + ":" : std::string()) + p;
                }
                std::size_t size = r.U16();
                char buf[16];
                std::snprintf(buf, sizeof buf, "0x%x", flags);
                a.text += ") regs=" + std::to_string(regs) + " flags=" + buf + " size=" + std::to_string(size);
                std::size_t bodyEnd = dataStart + len + size;
                if (bodyEnd > blocks.back().end) fail(pos, "function body runs past its block");
                blocks.push_back({bodyEnd, regs});
                blockStarts.push_back(dataStart + len);
                break;
            }
            default: break;
        }
        if (!r.ok) fail(pos, "record data cut short");
        if (r.pos != r.end && a.code != 0x96) fail(pos, "record data longer than read");
        l.actions.push_back(std::move(a));
        pos = dataStart + len;
    }
    starts.insert(code.size());
    for (const Branch& b : branches) {
        if (!starts.count(b.target)) fail(b.from, "branch to " + std::to_string(b.target) + " is not a record start");
        if (b.target < b.blockStart || b.target > b.blockEnd) fail(b.from, "branch leaves its function");
    }
    return l;
}

namespace {

// What the model knows of a stack value.
struct Value {
    enum Kind : char {
        Any,
        Int,       // a pushed integer: a count for calls and initialisers
        Null,
        Enum,      // the names an enumeration left (and its closing null)
        EnumCopy,  // a copy of the next of those, to test it
        EnumTest,  // whether the next of them is the closing null
    } kind = Any;
    long long n = 0;
    bool ofCopy = false;     // EnumTest: tests a copy (loop head), else takes the name (clean-up)
    bool trueIfNull = true;  // EnumTest
    bool operator==(const Value&) const = default;
};
using Stack = std::vector<Value>;

// Stack effect of the actions that take and give a fixed number of values.
bool FixedEffect(std::uint8_t code, int& pops, int& pushes) {
    static const std::map<int, std::pair<int, int>> effects = {
        {0x04, {0, 0}}, {0x05, {0, 0}}, {0x06, {0, 0}}, {0x07, {0, 0}}, {0x09, {0, 0}}, {0x0B, {2, 1}},
        {0x0C, {2, 1}}, {0x0D, {2, 1}}, {0x12, {1, 1}}, {0x17, {1, 0}}, {0x18, {1, 1}}, {0x1C, {1, 1}},
        {0x1D, {2, 0}}, {0x26, {1, 0}}, {0x30, {1, 1}}, {0x34, {0, 1}}, {0x36, {1, 1}}, {0x37, {1, 1}},
        {0x3A, {2, 1}}, {0x3B, {1, 1}}, {0x3C, {2, 0}}, {0x3F, {2, 1}}, {0x41, {1, 0}}, {0x44, {1, 1}},
        {0x45, {1, 1}}, {0x47, {2, 1}}, {0x48, {2, 1}}, {0x49, {2, 1}}, {0x4A, {1, 1}}, {0x4B, {1, 1}},
        {0x4E, {2, 1}}, {0x4F, {3, 0}}, {0x50, {1, 1}}, {0x51, {1, 1}}, {0x54, {2, 1}}, {0x60, {2, 1}},
        {0x61, {2, 1}}, {0x62, {2, 1}}, {0x63, {2, 1}}, {0x64, {2, 1}}, {0x65, {2, 1}}, {0x66, {2, 1}},
        {0x67, {2, 1}}, {0x81, {0, 0}}, {0x83, {0, 0}}, {0x88, {0, 0}}, {0x8C, {0, 0}}, {0x94, {1, 0}},
        {0x9A, {2, 0}}, {0x9F, {1, 0}}};
    auto it = effects.find(code);
    if (it == effects.end()) return false;
    pops = it->second.first;
    pushes = it->second.second;
    return true;
}

std::vector<Value> PushedValues(const std::vector<std::uint8_t>& d) {
    std::vector<Value> out;
    std::size_t i = 0;
    while (i < d.size()) {
        int type = d[i++];
        static const int sizes[] = {-1, 4, 0, 0, 1, 1, 8, 4, 1, 2};
        if (type == 7 && i + 4 <= d.size()) {
            std::uint32_t v = d[i] | (d[i + 1] << 8) | (d[i + 2] << 16) | (static_cast<std::uint32_t>(d[i + 3]) << 24);
            out.push_back({Value::Int, static_cast<std::int32_t>(v)});
        } else {
            out.push_back({type == 2 ? Value::Null : Value::Any});
        }
        if (type == 0) {
            while (i < d.size() && d[i]) ++i;
            ++i;
        } else if (type >= 1 && type <= 9) {
            i += sizes[type];
        }
    }
    return out;
}

struct StackChecker {
    const Listing& l;
    std::map<std::size_t, std::size_t> indexAt;  // record offset -> action index
    std::string error;
    std::set<std::size_t> bodiesChecked;

    std::size_t End(std::size_t i) const {  // offset just past action i
        const Action& a = l.actions[i];
        return a.offset + (a.code >= 0x80 ? 3 : 1) + a.data.size();
    }
    std::size_t Index(std::size_t offset) const {
        auto it = indexAt.find(offset);
        return it == indexAt.end() ? l.actions.size() : it->second;
    }
    void Fail(std::size_t offset, const std::string& why) {
        if (error.empty()) error = "at " + std::to_string(offset) + ": " + why;
    }

    // Checks the actions from index `first` up to the record offset `end`.
    void Block(std::size_t first, std::size_t end) {
        std::map<std::size_t, Stack> seen;
        std::vector<std::pair<std::size_t, Stack>> work = {{first, {}}};
        std::size_t steps = 0;
        while (!work.empty() && error.empty()) {
            if (++steps > 50 * (l.actions.size() + 10)) return Fail(end, "stack model does not settle");
            auto [i, st] = std::move(work.back());
            work.pop_back();
            std::size_t offset = i < l.actions.size() ? l.actions[i].offset : end;
            if (offset >= end) {
                if (!st.empty()) Fail(end, std::to_string(st.size()) + " values left on the stack at the end");
                continue;
            }
            auto known = seen.find(i);
            if (known != seen.end()) {
                if (known->second.size() != st.size())
                    return Fail(offset, "paths meet with stack depths " + std::to_string(known->second.size()) +
                                            " and " + std::to_string(st.size()));
                bool changed = false;
                for (std::size_t k = 0; k < st.size(); ++k)
                    if (known->second[k].kind != Value::Any && known->second[k] != st[k]) {
                        if (known->second[k].kind >= Value::Enum || st[k].kind >= Value::Enum)
                            return Fail(offset, "an enumeration meets another value");
                        known->second[k] = {};
                        changed = true;
                    }
                if (!changed) continue;
                st = known->second;
            } else {
                seen[i] = st;
            }
            Step(i, st, work);
        }
    }

    void Step(std::size_t i, Stack st, std::vector<std::pair<std::size_t, Stack>>& work) {
        const Action& a = l.actions[i];
        const std::string name = a.text.substr(0, a.text.find(' '));
        auto pop = [&](bool enumOk = false) -> Value {
            if (st.empty()) {
                Fail(a.offset, name + " takes a value from an empty stack");
                return {};
            }
            Value v = st.back();
            st.pop_back();
            if (!enumOk && v.kind >= Value::Enum) Fail(a.offset, name + " takes the names of an enumeration");
            return v;
        };
        auto popCount = [&](long long per) {
            Value n = pop();
            if (!error.empty()) return;
            if (n.kind != Value::Int || n.n < 0) return Fail(a.offset, "count not pushed as an integer");
            for (long long k = 0; k < n.n * per && error.empty(); ++k) pop();
        };
        // The state after a test of the next enumerated name came out as `isNull`.
        auto afterTest = [&](Stack s, const Value& test, bool isNull) {
            if (test.ofCopy) {  // loop head: the name (or the null) is now on top, taken next
                if (isNull)
                    s.back() = {Value::Null};
                else
                    s.push_back({});
            } else if (!isNull) {  // clean-up: a name was dropped, more may follow
                s.push_back({Value::Enum});
            }
            return s;
        };
        std::size_t next = i + 1;
        int pops = 0, pushes = 0;
        switch (a.code) {
            case 0x96:
                for (Value v : PushedValues(a.data)) st.push_back(v);
                break;
            case 0x4C: {
                Value v = pop(true);
                st.push_back(v);
                st.push_back(v.kind == Value::Enum ? Value{Value::EnumCopy} : v);
                break;
            }
            case 0x4D: {
                Value x = pop(), y = pop();
                st.push_back(x);
                st.push_back(y);
                break;
            }
            case 0x87:  // StoreRegister keeps its value
                if (st.empty() || st.back().kind >= Value::Enum) Fail(a.offset, "store of no value");
                break;
            case 0x55:  // Enumerate2
                pop();
                st.push_back({Value::Enum});
                break;
            case 0x49: {  // Equals2, also the test of an enumerated name against null
                Value y = pop(true), x = pop(true);
                bool enumTest = (x.kind == Value::Enum || x.kind == Value::EnumCopy) && y.kind == Value::Null;
                if (enumTest)
                    st.push_back({Value::EnumTest, 0, x.kind == Value::EnumCopy, true});
                else if (x.kind >= Value::Enum || y.kind >= Value::Enum)
                    Fail(a.offset, "equals takes the names of an enumeration");
                else
                    st.push_back({});
                break;
            }
            case 0x12: {  // Not
                Value v = pop(true);
                if (v.kind == Value::EnumTest) {
                    v.trueIfNull = !v.trueIfNull;
                    st.push_back(v);
                } else if (v.kind >= Value::Enum) {
                    Fail(a.offset, "not takes the names of an enumeration");
                } else {
                    st.push_back({});
                }
                break;
            }
            case 0x3D:  // CallFunction, NewObject: name, count, arguments
            case 0x40:
                pop();
                popCount(1);
                st.push_back({});
                break;
            case 0x52:  // CallMethod, NewMethod: name, object, count, arguments
            case 0x53:
                pop();
                pop();
                popCount(1);
                st.push_back({});
                break;
            case 0x42: popCount(1), st.push_back({}); break;
            case 0x43: popCount(2), st.push_back({}); break;
            case 0x3E:  // Return and Throw end the path
            case 0x2A:
                pop();
                if (a.code == 0x3E && !st.empty() && error.empty())
                    Fail(a.offset, std::to_string(st.size()) + " values left on the stack at return");
                return;
            case 0x99:
            case 0x9D: {
                std::size_t target = a.offset + 5 + static_cast<std::int16_t>(a.data[0] | (a.data[1] << 8));
                if (a.code == 0x99) {
                    work.push_back({Index(target), st});
                    return;
                }
                Value cond = pop(true);
                if (cond.kind == Value::EnumTest) {
                    work.push_back({Index(target), afterTest(st, cond, cond.trueIfNull)});
                    st = afterTest(st, cond, !cond.trueIfNull);
                } else {
                    if (cond.kind >= Value::Enum) Fail(a.offset, "if takes the names of an enumeration");
                    work.push_back({Index(target), st});
                }
                break;
            }
            case 0x8E: {  // DefineFunction2: the body is a block of its own
                std::size_t bodyEnd = End(i) + (a.data[a.data.size() - 2] | (a.data[a.data.size() - 1] << 8));
                if (bodiesChecked.insert(i).second) Block(i + 1, bodyEnd);
                next = Index(bodyEnd);
                if (!a.data.empty() && a.data[0] == 0) st.push_back({});  // no name: pushed
                break;
            }
            default:
                if (!FixedEffect(a.code, pops, pushes)) return Fail(a.offset, "no stack model for " + a.text);
                for (int k = 0; k < pops; ++k) pop();
                for (int k = 0; k < pushes; ++k) st.push_back({});
        }
        if (error.empty()) work.push_back({next, std::move(st)});
    }
};

}  // namespace

std::string CheckStack(const Listing& listing) {
    if (!listing.error.empty()) return "badly framed: " + listing.error;
    StackChecker c{listing, {}, {}, {}};
    for (std::size_t i = 0; i < listing.actions.size(); ++i) c.indexAt[listing.actions[i].offset] = i;
    std::size_t end = listing.actions.empty() ? 0 : c.End(listing.actions.size() - 1);
    c.Block(0, end);
    return c.error;
}

namespace {
void Tag(std::vector<std::uint8_t>& out, int code, const std::vector<std::uint8_t>& body) {
    if (body.size() < 63) {
        int h = (code << 6) | static_cast<int>(body.size());
        out.push_back(h & 0xFF);
        out.push_back(h >> 8);
    } else {
        int h = (code << 6) | 63;
        out.push_back(h & 0xFF);
        out.push_back(h >> 8);
        for (int i = 0; i < 4; ++i) out.push_back((body.size() >> (8 * i)) & 0xFF);
    }
    out.insert(out.end(), body.begin(), body.end());
}
}  // namespace

std::vector<std::uint8_t> MakeSwf(const std::vector<DoAction>& tags, int width, int height) {
    return MakeSwf(std::vector<Frame>{{tags, ""}}, width, height);
}

std::vector<std::uint8_t> MakeSwf(const std::vector<Frame>& frames, int width, int height) {
    std::vector<std::uint8_t> out = {'F', 'W', 'S', 8, 0, 0, 0, 0};
    // Stage rectangle: 15-bit fields for 0, width*20, 0, height*20.
    std::uint32_t fields[4] = {0, static_cast<std::uint32_t>(width * 20), 0, static_cast<std::uint32_t>(height * 20)};
    std::vector<bool> bits;
    for (int i = 4; i >= 0; --i) bits.push_back((15 >> i) & 1);
    for (auto f : fields)
        for (int i = 14; i >= 0; --i) bits.push_back((f >> i) & 1);
    while (bits.size() % 8) bits.push_back(false);
    for (std::size_t i = 0; i < bits.size(); i += 8) {
        std::uint8_t b = 0;
        for (int j = 0; j < 8; ++j) b = static_cast<std::uint8_t>((b << 1) | bits[i + j]);
        out.push_back(b);
    }
    out.insert(out.end(), {0, 12, static_cast<std::uint8_t>(frames.size() & 0xFF),
                           static_cast<std::uint8_t>(frames.size() >> 8)});  // 12 frames a second
    Tag(out, 69, {0, 0, 0, 0});             // FileAttributes: nothing special
    Tag(out, 9, {255, 255, 255});           // SetBackgroundColor
    for (const Frame& f : frames) {
        if (!f.label.empty()) {
            std::vector<std::uint8_t> name(f.label.begin(), f.label.end());
            name.push_back(0);
            Tag(out, 43, name);  // FrameLabel
        }
        for (const DoAction& d : f.actions) {
            std::vector<std::uint8_t> body = d.actions;
            body.push_back(0);
            Tag(out, 12, body);
        }
        Tag(out, 1, {});  // ShowFrame
    }
    Tag(out, 0, {});  // End
    std::uint32_t size = static_cast<std::uint32_t>(out.size());
    for (int i = 0; i < 4; ++i) out[4 + i] = (size >> (8 * i)) & 0xFF;
    return out;
}

}  // namespace avm1
