#include "swf/actionscript/codegen.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace swf::as {

namespace {

constexpr int kMaxRegisters = 255;  // registers are numbered by a byte
constexpr int kTopLevelTemps = 0;   // the timeline's own registers 0 and 1 serve as scratch
constexpr std::size_t kMaxInlineString = 65000;

// DefineFunction2 flags.
constexpr std::uint16_t kPreloadThis = 0x0001, kSuppressThis = 0x0002, kPreloadArguments = 0x0004,
                        kSuppressArguments = 0x0008, kSuppressSuper = 0x0020;

std::uint8_t BinaryOpcode(std::string_view op, bool& negate) {
    negate = false;
    static const std::pair<std::string_view, std::uint8_t> table[] = {
        {"+", op::Add2},         {"-", op::Subtract},      {"*", op::Multiply},     {"/", op::Divide},
        {"%", op::Modulo},       {"<<", op::BitLShift},    {">>", op::BitRShift},   {">>>", op::BitURShift},
        {"&", op::BitAnd},       {"|", op::BitOr},         {"^", op::BitXor},       {"==", op::Equals2},
        {"===", op::StrictEquals}, {"<", op::Less2},       {">", op::Greater},      {"instanceof", op::InstanceOf}};
    for (auto& [name, code] : table)
        if (name == op) return code;
    negate = true;
    if (op == "!=") return op::Equals2;
    if (op == "!==") return op::StrictEquals;
    if (op == "<=") return op::Greater;
    if (op == ">=") return op::Less2;
    return 0;
}

bool IsLiteral(const Expr* e, ExprKind kind) { return e && e->kind == kind; }

[[noreturn]] void Fail(SourcePos pos, const std::string& message) { throw SyntaxError{pos, message}; }

}  // namespace

CodeGen::CodeGen() : prologue_(pool_), main_(pool_), out_(&main_) {}

int CodeGen::Temp(int i) {
    if (!scope_) return kTopLevelTemps + i;
    int reg = scope_->tempBase + i;
    scope_->maxReg = std::max(scope_->maxReg, reg);
    return reg;
}

void CodeGen::PushString(const std::string& s, SourcePos pos) {
    if (s.size() > kMaxInlineString) Fail(pos, "string too long (more than 65000 bytes)");
    Out().PushString(s);
}

int CodeGen::RegisterOf(const std::string& name) const {
    if (!scope_) return 0;
    auto it = scope_->regs.find(name);
    return it == scope_->regs.end() ? 0 : it->second;
}

void CodeGen::TopLevel(Stmt* s) { Statement(s); }

std::vector<std::uint8_t> CodeGen::Finish() {
    prologue_.Resolve();
    main_.Resolve();
    std::vector<std::uint8_t> out;
    if (!pool_.Empty()) pool_.Write(out);
    out.insert(out.end(), prologue_.Bytes().begin(), prologue_.Bytes().end());
    out.insert(out.end(), main_.Bytes().begin(), main_.Bytes().end());
    return out;
}

// ---------------------------------------------------------------- statements

void CodeGen::Statements(const std::vector<Stmt*>& list) {
    for (Stmt* s : list) Statement(s);
}

void CodeGen::Statement(Stmt* s) {
    bool loop = s->kind == StmtKind::While || s->kind == StmtKind::DoWhile || s->kind == StmtKind::For ||
                s->kind == StmtKind::ForIn || s->kind == StmtKind::Switch;
    if (!s->labels.empty() && !loop) {
        Control c{Control::Labelled, s->labels, Out().NewLabel()};
        controls_.push_back(c);
        s->labels.clear();
        Statement(s);
        Out().Bind(controls_.back().breakLabel);
        controls_.pop_back();
        return;
    }
    switch (s->kind) {
        case StmtKind::Empty: break;
        case StmtKind::Expr: Value(s->e1, true); break;
        case StmtKind::Block: Statements(s->body); break;
        case StmtKind::Var:
            for (VarDecl& d : s->vars) {
                int reg = RegisterOf(d.name);
                if (reg) {
                    if (d.init) {
                        Value(d.init);
                        Out().StoreRegister(reg);
                        Out().Op(op::Pop);
                    }
                } else if (d.init) {
                    PushString(d.name, d.pos);
                    Value(d.init);
                    Out().Op(op::DefineLocal);
                } else if (!scope_) {
                    // Inside a function the names were declared on entry.
                    PushString(d.name, d.pos);
                    Out().Op(op::DefineLocal2);
                }
            }
            break;
        case StmtKind::Function:
            if (!scope_) {
                // Written ahead of the script's other code, so it exists before any call.
                Emitter* saved = out_;
                out_ = &prologue_;
                Function(s->fn, true);
                out_ = saved;
            }
            break;  // inside a function: written on entry to it (Hoist)
        case StmtKind::Return: Return(s); break;
        case StmtKind::If: {
            int elseLabel = Out().NewLabel();
            Condition(s->e1, elseLabel);
            Statement(s->s1);
            if (s->s2) {
                int end = Out().NewLabel();
                Out().Branch(op::Jump, end, s->pos);
                Out().Bind(elseLabel);
                Statement(s->s2);
                Out().Bind(end);
            } else {
                Out().Bind(elseLabel);
            }
            break;
        }
        case StmtKind::While:
        case StmtKind::DoWhile:
        case StmtKind::For: Loop(s); break;
        case StmtKind::ForIn: ForIn(s); break;
        case StmtKind::Switch: Switch(s); break;
        case StmtKind::Break:
        case StmtKind::Continue: Jump(s); break;
        case StmtKind::With: {
            Value(s->e1);
            std::size_t record = Out().Begin(op::With);
            std::size_t sizeAt = Out().Size();
            Out().U16(0);
            Out().End(record);
            controls_.push_back(Control{Control::With, {}});
            Statement(s->s1);
            controls_.pop_back();
            std::size_t size = Out().Size() - sizeAt - 2;
            if (size > 0xFFFF) Fail(s->pos, "the body of 'with' is too large (more than 64 KB of code)");
            Out().PatchU16(sizeAt, static_cast<std::uint16_t>(size));
            Out().Bind(Out().NewLabel());  // the body ends here: later pushes start a new record
            break;
        }
        case StmtKind::Throw:
            Value(s->e1);
            Out().Op(op::Throw);
            break;
    }
}

void CodeGen::Condition(Expr* cond, int falseLabel) {
    Value(cond);
    Out().Op(op::Not);
    Out().Branch(op::If, falseLabel, cond->pos);
}

void CodeGen::Loop(Stmt* s) {
    Control c{Control::Loop, s->labels, Out().NewLabel(), Out().NewLabel()};
    if (s->kind == StmtKind::For) {
        if (s->s2) Statement(s->s2);
        if (s->e1) Value(s->e1, true);
    }
    int top = Out().NewLabel();
    controls_.push_back(c);
    if (s->kind == StmtKind::DoWhile) {
        Out().Bind(top);
        Statement(s->s1);
        Out().Bind(c.continueLabel);
        Value(s->e1);
        Out().Branch(op::If, top, s->pos);
    } else if (s->kind == StmtKind::While) {
        Out().Bind(c.continueLabel);
        Condition(s->e1, c.breakLabel);
        Statement(s->s1);
        Out().Branch(op::Jump, c.continueLabel, s->pos);
    } else {
        Out().Bind(top);
        if (s->e2) Condition(s->e2, c.breakLabel);
        Statement(s->s1);
        Out().Bind(c.continueLabel);
        if (s->e3) Value(s->e3, true);
        Out().Branch(op::Jump, top, s->pos);
    }
    controls_.pop_back();
    Out().Bind(c.breakLabel);
}

// Enumerate2 leaves a null and then the property names on the stack; each turn takes one
// name, and a jump out of the loop must first drop the names left.
void CodeGen::ForIn(Stmt* s) {
    Value(s->e2);
    Out().Op(op::Enumerate2);
    Control c{Control::ForIn, s->labels, Out().NewLabel(), Out().NewLabel()};
    int done = Out().NewLabel();
    int end = Out().NewLabel();
    Out().Bind(c.continueLabel);
    Out().Op(op::PushDuplicate);
    Out().PushNull();
    Out().Op(op::Equals2);
    Out().Branch(op::If, done, s->pos);
    // Store the name, which is on top of the stack, into the loop variable.
    Expr* target = s->e1;
    if (s->s1) {
        const VarDecl& d = s->s1->vars[0];
        if (int reg = RegisterOf(d.name)) {
            Out().StoreRegister(reg);
            Out().Op(op::Pop);
        } else {
            PushString(d.name, d.pos);
            Out().Op(op::StackSwap);
            Out().Op(scope_ ? op::SetVariable : op::DefineLocal);
        }
    } else if (target->kind == ExprKind::Name) {
        if (int reg = RegisterOf(target->text)) {
            Out().StoreRegister(reg);
            Out().Op(op::Pop);
        } else {
            PushString(target->text, target->pos);
            Out().Op(op::StackSwap);
            Out().Op(op::SetVariable);
        }
    } else {
        Value(target->a);
        Out().Op(op::StackSwap);
        if (target->kind == ExprKind::Member)
            PushString(target->text, target->pos);
        else
            Value(target->b);
        Out().Op(op::StackSwap);
        Out().Op(op::SetMember);
    }
    controls_.push_back(c);
    Statement(s->s2);
    bool breakUsed = controls_.back().breakUsed;
    controls_.pop_back();
    Out().Branch(op::Jump, c.continueLabel, s->pos);
    if (breakUsed) {
        Out().Bind(c.breakLabel);
        PopEnumeration();
        Out().Branch(op::Jump, end, s->pos);
    }
    Out().Bind(done);
    Out().Op(op::Pop);
    Out().Bind(end);
}

void CodeGen::PopEnumeration() {
    int again = Out().NewLabel();
    Out().Bind(again);
    Out().PushNull();
    Out().Op(op::Equals2);
    Out().Op(op::Not);
    Out().Branch(op::If, again, {});
}

void CodeGen::Switch(Stmt* s) {
    Control c{Control::Switch, s->labels, Out().NewLabel()};
    Value(s->e1);
    std::vector<int> bodies, matches;
    int defaultBody = -1;
    for (SwitchCase& k : s->cases) {
        bodies.push_back(Out().NewLabel());
        if (!k.test) {
            defaultBody = bodies.back();
            matches.push_back(-1);
            continue;
        }
        matches.push_back(Out().NewLabel());
        Out().Op(op::PushDuplicate);
        Value(k.test);
        Out().Op(op::StrictEquals);
        Out().Branch(op::If, matches.back(), k.test->pos);
    }
    Out().Op(op::Pop);
    Out().Branch(op::Jump, defaultBody >= 0 ? defaultBody : c.breakLabel, s->pos);
    for (std::size_t i = 0; i < s->cases.size(); ++i) {
        if (matches[i] < 0) continue;
        Out().Bind(matches[i]);
        Out().Op(op::Pop);
        Out().Branch(op::Jump, bodies[i], s->pos);
    }
    controls_.push_back(c);
    for (std::size_t i = 0; i < s->cases.size(); ++i) {
        Out().Bind(bodies[i]);
        Statements(s->cases[i].body);
    }
    controls_.pop_back();
    Out().Bind(c.breakLabel);
}

void CodeGen::Jump(Stmt* s) {
    bool isBreak = s->kind == StmtKind::Break;
    const char* word = isBreak ? "break" : "continue";
    int target = -1;
    for (int i = static_cast<int>(controls_.size()) - 1; i >= 0; --i) {
        const Control& c = controls_[i];
        if (!s->label.empty()) {
            if (std::find(c.labels.begin(), c.labels.end(), s->label) == c.labels.end()) continue;
            if (!isBreak && c.continueLabel < 0)
                Fail(s->pos, "'continue " + s->label + "' names a statement that is not a loop");
            target = i;
            break;
        }
        if (c.kind == Control::Loop || c.kind == Control::ForIn || (isBreak && c.kind == Control::Switch)) {
            target = i;
            break;
        }
    }
    if (target < 0) {
        if (!s->label.empty()) Fail(s->pos, "no enclosing statement is labelled '" + s->label + "'");
        Fail(s->pos, std::string("'") + word + "' outside a loop" + (isBreak ? " or switch" : ""));
    }
    for (int i = static_cast<int>(controls_.size()) - 1; i > target; --i) {
        if (controls_[i].kind == Control::With) Fail(s->pos, std::string("'") + word + "' cannot leave a 'with' body");
        if (controls_[i].kind == Control::ForIn) PopEnumeration();
    }
    Control& c = controls_[target];
    if (isBreak) c.breakUsed = true;
    Out().Branch(op::Jump, isBreak ? c.breakLabel : c.continueLabel, s->pos);
}

void CodeGen::Return(Stmt* s) {
    if (s->e1)
        Value(s->e1);
    else
        Out().PushUndefined();
    bool enumerating = std::any_of(controls_.begin(), controls_.end(),
                                   [](const Control& c) { return c.kind == Control::ForIn; });
    if (enumerating) {
        // Drop the names of every loop being enumerated, keeping the value aside.
        int t = Temp(0);
        Out().StoreRegister(t);
        Out().Op(op::Pop);
        for (const Control& c : controls_)
            if (c.kind == Control::ForIn) PopEnumeration();
        Out().PushRegister(t);
    }
    Out().Op(op::Return);
}

// ---------------------------------------------------------------- functions

void CodeGen::Hoist(const std::vector<Stmt*>& list) {
    for (Stmt* s : list) {
        switch (s->kind) {
            case StmtKind::Function:
                if (int reg = RegisterOf(s->fn->name)) {
                    Function(s->fn, false);
                    Out().StoreRegister(reg);
                    Out().Op(op::Pop);
                } else {
                    Function(s->fn, true);
                }
                break;
            case StmtKind::Block: Hoist(s->body); break;
            case StmtKind::If:
                Hoist({s->s1});
                if (s->s2) Hoist({s->s2});
                break;
            case StmtKind::While:
            case StmtKind::DoWhile:
            case StmtKind::With: Hoist({s->s1}); break;
            case StmtKind::For: Hoist({s->s1}); break;
            case StmtKind::ForIn: Hoist({s->s2}); break;
            case StmtKind::Switch:
                for (SwitchCase& c : s->cases) Hoist(c.body);
                break;
            default: break;
        }
    }
}

void CodeGen::Function(::swf::as::Function* f, bool named) {
    Scope scope;
    scope.fn = f;
    scope.dynamic = f->dynamicScope || f->innerDynamic;
    int next = 1;
    std::uint16_t flags = 0;
    if (!scope.dynamic) {
        if (f->usesThis) {
            scope.thisReg = next++;
            flags |= kPreloadThis;
        } else {
            flags |= kSuppressThis;
        }
        if (f->usesArguments) {
            scope.argsReg = next++;
            flags |= kPreloadArguments;
        } else {
            flags |= kSuppressArguments;
        }
        flags |= kSuppressSuper;
    }
    // A name a nested function uses must stay in the scope chain for it; the others may
    // live in registers, which are much faster.
    auto canRegister = [&](const std::string& name) {
        return !scope.dynamic && next < kMaxRegisters - 2 && !f->innerRefs.count(name) && name != "arguments" &&
               !scope.regs.count(name);
    };
    std::vector<int> paramRegs;
    for (const std::string& p : f->params) {
        int reg = 0;
        if (canRegister(p)) {
            reg = next++;
            scope.regs[p] = reg;
        }
        paramRegs.push_back(reg);
    }
    std::vector<std::string> named_locals;
    const std::set<std::string> params(f->params.begin(), f->params.end());
    for (const std::string& name : f->locals) {
        if (scope.regs.count(name) || params.count(name)) continue;
        if (canRegister(name))
            scope.regs[name] = next++;
        else
            named_locals.push_back(name);
    }
    scope.tempBase = next;
    scope.maxReg = next - 1;

    Emitter& out = Out();
    std::size_t record = out.Begin(op::DefineFunction2);
    out.Str(named ? f->name : std::string());
    out.U16(static_cast<std::uint16_t>(f->params.size()));
    std::size_t countAt = out.Size();
    out.U8(0);
    out.U16(flags);
    for (std::size_t i = 0; i < f->params.size(); ++i) {
        out.U8(static_cast<std::uint8_t>(paramRegs[i]));
        out.Str(f->params[i]);
    }
    std::size_t sizeAt = out.Size();
    out.U16(0);
    if (f->params.size() > 0xFFFF || sizeAt + 2 - (record + 3) > 0xFFFF)
        Fail(f->pos, "function header too large: too many or too long parameter names");
    out.End(record);

    Expr arguments, calleeOf;  // arguments.callee
    arguments.kind = ExprKind::Name;
    arguments.text = "arguments";
    calleeOf.kind = ExprKind::Member;
    calleeOf.text = "callee";
    calleeOf.a = &arguments;

    Scope* savedScope = scope_;
    std::vector<Control> savedControls;
    savedControls.swap(controls_);
    scope_ = &scope;
    // Declared on entry, so that an assignment before the `var` line stays local; the
    // hoisted function declarations define their own names right after.
    for (const std::string& name : named_locals) {
        PushString(name, f->pos);
        out.Op(op::DefineLocal2);
    }
    if (f->bindsOwnName) {
        // The name of a function expression is the function itself: arguments.callee.
        Value(&calleeOf);
        if (int reg = RegisterOf(f->name)) {
            out.StoreRegister(reg);
            out.Op(op::Pop);
        } else {
            PushString(f->name, f->pos);
            out.Op(op::StackSwap);
            out.Op(op::DefineLocal);
        }
    }
    Hoist(f->body);
    Statements(f->body);
    scope_ = savedScope;
    controls_.swap(savedControls);

    std::size_t size = out.Size() - sizeAt - 2;
    if (size > 0xFFFF)
        Fail(f->pos, "function too large: its code exceeds 64 KB; split it into smaller functions");
    out.PatchU16(sizeAt, static_cast<std::uint16_t>(size));
    out.PatchU8(countAt, static_cast<std::uint8_t>(scope.maxReg + 1));
    out.Bind(out.NewLabel());  // the body ends here: later pushes start a new record
}

// ---------------------------------------------------------------- expressions

void CodeGen::Value(Expr* e, bool discard) {
    switch (e->kind) {
        case ExprKind::Call: Call(e, discard); return;
        case ExprKind::Assign: Assign(e, discard); return;
        case ExprKind::Update: Update(e, discard); return;
        case ExprKind::Binary:
            if (e->text == ",") {
                Value(e->a, true);
                Value(e->b, discard);
                return;
            }
            break;
        default: break;
    }
    switch (e->kind) {
        case ExprKind::Number: Out().PushNumber(e->number); break;
        case ExprKind::String: PushString(e->text, e->pos); break;
        case ExprKind::Bool: Out().PushBool(e->flag); break;
        case ExprKind::Null: Out().PushNull(); break;
        case ExprKind::Undefined: Out().PushUndefined(); break;
        case ExprKind::Name:
            if (scope_ && scope_->argsReg && e->text == "arguments") {
                Out().PushRegister(scope_->argsReg);
            } else if (int reg = RegisterOf(e->text)) {
                Out().PushRegister(reg);
            } else {
                PushString(e->text, e->pos);
                Out().Op(op::GetVariable);
            }
            break;
        case ExprKind::This:
            if (scope_ && scope_->thisReg) {
                Out().PushRegister(scope_->thisReg);
            } else {
                Out().PushString("this");
                Out().Op(op::GetVariable);
            }
            break;
        case ExprKind::Member:
            Value(e->a);
            PushString(e->text, e->pos);
            Out().Op(op::GetMember);
            break;
        case ExprKind::Index:
            Value(e->a);
            Value(e->b);
            Out().Op(op::GetMember);
            break;
        case ExprKind::New: New(e); break;
        case ExprKind::Unary: Unary(e); break;
        case ExprKind::Binary: Binary(e); break;
        case ExprKind::Conditional: {
            int yes = Out().NewLabel(), end = Out().NewLabel();
            Value(e->a);
            Out().Branch(op::If, yes, e->pos);
            Value(e->c);
            Out().Branch(op::Jump, end, e->pos);
            Out().Bind(yes);
            Value(e->b);
            Out().Bind(end);
            break;
        }
        case ExprKind::Array:
            for (auto it = e->list.rbegin(); it != e->list.rend(); ++it) {
                if (*it)
                    Value(*it);
                else
                    Out().PushUndefined();
            }
            Out().PushNumber(static_cast<double>(e->list.size()));
            Out().Op(op::InitArray);
            break;
        case ExprKind::Object:
            for (std::size_t i = 0; i < e->list.size(); ++i) {
                PushString(e->keys[i], e->pos);
                Value(e->list[i]);
            }
            Out().PushNumber(static_cast<double>(e->list.size()));
            Out().Op(op::InitObject);
            break;
        case ExprKind::Function: Function(e->fn, false); break;
        default: Fail(e->pos, "internal error: unexpected expression");
    }
    if (discard) Out().Op(op::Pop);
}

void CodeGen::Callee(Expr* callee, std::uint8_t byName, std::uint8_t byMethod) {
    if (callee->kind == ExprKind::Name && !RegisterOf(callee->text) &&
        !(scope_ && scope_->argsReg && callee->text == "arguments")) {
        PushString(callee->text, callee->pos);
        Out().Op(byName);
    } else if (callee->kind == ExprKind::Member) {
        Value(callee->a);
        PushString(callee->text, callee->pos);
        Out().Op(byMethod);
    } else if (callee->kind == ExprKind::Index) {
        Value(callee->a);
        Value(callee->b);
        Out().Op(byMethod);
    } else {
        // A function value: an empty method name calls or constructs the value itself.
        Value(callee);
        Out().PushUndefined();
        Out().Op(byMethod);
    }
}

void CodeGen::Call(Expr* e, bool discard) {
    if (e->a->kind == ExprKind::Name && Builtin(e, discard)) return;
    for (auto it = e->list.rbegin(); it != e->list.rend(); ++it) Value(*it);
    Out().PushNumber(static_cast<double>(e->list.size()));
    Callee(e->a, op::CallFunction, op::CallMethod);
    if (discard) Out().Op(op::Pop);
}

void CodeGen::New(Expr* e) {
    for (auto it = e->list.rbegin(); it != e->list.rend(); ++it) Value(*it);
    Out().PushNumber(static_cast<double>(e->list.size()));
    Callee(e->a, op::NewObject, op::NewMethod);
}

// The global functions that are actions of their own.
bool CodeGen::Builtin(Expr* e, bool discard) {
    struct GlobalAction {
        std::string_view name;
        std::uint8_t code;
        int args;
        bool pushes;
    };
    static const GlobalAction table[] = {
        {"trace", op::Trace, 1, false},         {"play", op::Play, 0, false},
        {"stop", op::Stop, 0, false},           {"nextFrame", op::NextFrame, 0, false},
        {"prevFrame", op::PrevFrame, 0, false}, {"stopAllSounds", op::StopSounds, 0, false},
        {"getTimer", op::GetTime, 0, true},     {"int", op::ToInteger, 1, true},
        {"Number", op::ToNumber, 1, true},      {"String", op::ToString, 1, true},
        {"chr", op::MBAsciiToChar, 1, true},    {"ord", op::MBCharToAscii, 1, true},
        {"random", op::RandomNumber, 1, true},  {"targetPath", op::TargetPath, 1, true},
        {"eval", op::GetVariable, 1, true},     {"getURL", op::GetURL2, -1, false},
        {"gotoAndPlay", op::GotoFrame2, -1, false}, {"gotoAndStop", op::GotoFrame2, -1, false},
    };
    const std::string& name = e->a->text;
    const GlobalAction* action = nullptr;
    for (const GlobalAction& s : table)
        if (s.name == name) action = &s;
    if (!action || RegisterOf(name)) return false;
    const auto& args = e->list;
    auto argError = [&](const std::string& expected) {
        Fail(e->pos, "'" + name + "' takes " + expected);
    };
    if (action->args >= 0) {
        if (static_cast<int>(args.size()) != action->args)
            argError(action->args == 0 ? "no arguments" : "1 argument");
        if (action->args == 1) Value(args[0]);
        Out().Op(action->code);
    } else if (name == "getURL") {
        if (args.empty() || args.size() > 3) argError("1 to 3 arguments (url, window, method)");
        std::uint8_t method = 0;
        if (args.size() == 3) {
            std::string m = IsLiteral(args[2], ExprKind::String) ? args[2]->text : "";
            std::transform(m.begin(), m.end(), m.begin(), [](unsigned char c) { return std::toupper(c); });
            if (m == "GET")
                method = 0x40;
            else if (m == "POST")
                method = 0x80;
            else
                Fail(args[2]->pos, "the method of 'getURL' must be \"GET\" or \"POST\"");
        }
        bool constant = method == 0 && IsLiteral(args[0], ExprKind::String) &&
                        (args.size() == 1 || IsLiteral(args[1], ExprKind::String)) &&
                        args[0]->text.size() + (args.size() > 1 ? args[1]->text.size() : 0) < kMaxInlineString;
        if (constant) {
            std::size_t r = Out().Begin(op::GetURL);
            Out().Str(args[0]->text);
            Out().Str(args.size() > 1 ? args[1]->text : "");
            Out().End(r);
        } else {
            Value(args[0]);
            if (args.size() > 1)
                Value(args[1]);
            else
                Out().PushString("");
            std::size_t r = Out().Begin(op::GetURL2);
            Out().U8(method);
            Out().End(r);
        }
    } else {  // gotoAndPlay, gotoAndStop
        if (args.size() != 1) argError("1 argument (a frame number or label); scenes are not supported");
        bool play = name == "gotoAndPlay";
        Expr* frame = args[0];
        if (frame->kind == ExprKind::Number && frame->number >= 1 && frame->number <= 65536 &&
            frame->number == std::trunc(frame->number)) {
            std::size_t r = Out().Begin(op::GotoFrame);
            Out().U16(static_cast<std::uint16_t>(frame->number - 1));
            Out().End(r);
            if (play) Out().Op(op::Play);
        } else if (frame->kind == ExprKind::String && frame->text.size() < kMaxInlineString) {
            std::size_t r = Out().Begin(op::GoToLabel);
            Out().Str(frame->text);
            Out().End(r);
            if (play) Out().Op(op::Play);
        } else {
            Value(frame);
            std::size_t r = Out().Begin(op::GotoFrame2);
            Out().U8(play ? 1 : 0);
            Out().End(r);
        }
    }
    if (action->pushes && discard) Out().Op(op::Pop);
    if (!action->pushes && !discard) Out().PushUndefined();
    return true;
}

void CodeGen::Unary(Expr* e) {
    const std::string& o = e->text;
    if (o == "-" && e->a->kind == ExprKind::Number) {
        Out().PushNumber(-e->a->number);
        return;
    }
    if (o == "delete") {
        Expr* t = e->a;
        if (t->kind == ExprKind::Name) {
            if (RegisterOf(t->text)) {
                Out().PushBool(false);  // a declared variable cannot be deleted
            } else {
                PushString(t->text, t->pos);
                Out().Op(op::Delete2);
            }
        } else {
            Value(t->a);
            if (t->kind == ExprKind::Member)
                PushString(t->text, t->pos);
            else
                Value(t->b);
            Out().Op(op::Delete);
        }
        return;
    }
    if (o == "void") {
        Value(e->a, true);
        Out().PushUndefined();
        return;
    }
    Value(e->a);
    if (o == "-") {
        Out().PushNumber(-1);  // times -1 keeps the sign of zero right
        Out().Op(op::Multiply);
    } else if (o == "+") {
        Out().Op(op::ToNumber);
    } else if (o == "!") {
        Out().Op(op::Not);
    } else if (o == "~") {
        Out().PushNumber(-1);
        Out().Op(op::BitXor);
    } else if (o == "typeof") {
        Out().Op(op::TypeOf);
    }
}

void CodeGen::Binary(Expr* e) {
    if (e->text == "&&" || e->text == "||") return Logical(e);
    if (e->text == "in") return In(e);
    bool negate;
    std::uint8_t code = BinaryOpcode(e->text, negate);
    Value(e->a);
    Value(e->b);
    Out().Op(code);
    if (negate) Out().Op(op::Not);
}

void CodeGen::Logical(Expr* e) {
    int end = Out().NewLabel();
    Value(e->a);
    Out().Op(op::PushDuplicate);
    if (e->text == "&&") Out().Op(op::Not);
    Out().Branch(op::If, end, e->pos);
    Out().Op(op::Pop);
    Value(e->b);
    Out().Bind(end);
}

// `key in object`: true when the object or its prototypes have the property. There is no
// action for it: a defined value answers at once, else hasOwnProperty tells a property
// that holds undefined from a missing one.
void CodeGen::In(Expr* e) {
    Value(e->a);
    Value(e->b);
    int key = Temp(0), object = Temp(1);
    int end = Out().NewLabel();
    Out().StoreRegister(object);
    Out().Op(op::Pop);
    Out().StoreRegister(key);
    Out().Op(op::Pop);
    Out().PushRegister(object);
    Out().PushRegister(key);
    Out().Op(op::GetMember);
    Out().PushUndefined();
    Out().Op(op::StrictEquals);
    Out().Op(op::Not);
    Out().Op(op::PushDuplicate);
    Out().Branch(op::If, end, e->pos);
    Out().Op(op::Pop);
    Out().PushRegister(key);
    Out().PushNumber(1);
    Out().PushRegister(object);
    Out().PushString("hasOwnProperty");
    Out().Op(op::CallMethod);
    Out().Op(op::Not);
    Out().Op(op::Not);
    Out().Bind(end);
}

// ---------------------------------------------------------------- assignment

CodeGen::Ref CodeGen::Prepare(Expr* target, bool willLoad) {
    if (target->kind == ExprKind::Name) {
        if (int reg = RegisterOf(target->text)) return {Ref::Register, reg};
        if (scope_ && scope_->argsReg && target->text == "arguments") return {Ref::Register, scope_->argsReg};
        PushString(target->text, target->pos);
        return {Ref::Name};
    }
    Value(target->a);
    if (target->kind == ExprKind::Member) {
        if (!willLoad) PushString(target->text, target->pos);
    } else {
        Value(target->b);
        if (willLoad) {
            Out().StoreRegister(Temp(0));
            Out().Op(op::Pop);
        }
    }
    return {Ref::Member};
}

// Pushes the current value, leaving the reference's own parts below it (object and key).
void CodeGen::Load(const Ref& ref, Expr* target) {
    switch (ref.kind) {
        case Ref::Register: Out().PushRegister(ref.reg); break;
        case Ref::Name:
            Out().Op(op::PushDuplicate);
            Out().Op(op::GetVariable);
            break;
        case Ref::Member: {
            auto pushKey = [&] {
                if (target->kind == ExprKind::Member)
                    PushString(target->text, target->pos);
                else
                    Out().PushRegister(Temp(0));
            };
            Out().Op(op::PushDuplicate);
            pushKey();
            Out().Op(op::GetMember);
            pushKey();
            Out().Op(op::StackSwap);
            break;
        }
    }
}

void CodeGen::Store(const Ref& ref, bool keepValue) {
    if (ref.kind == Ref::Register) {
        Out().StoreRegister(ref.reg);
        if (!keepValue) Out().Op(op::Pop);
        return;
    }
    std::uint8_t code = ref.kind == Ref::Name ? op::SetVariable : op::SetMember;
    if (keepValue) {
        int t = Temp(0);
        Out().StoreRegister(t);
        Out().Op(code);
        Out().PushRegister(t);
    } else {
        Out().Op(code);
    }
}

void CodeGen::Assign(Expr* e, bool discard) {
    bool compound = e->text != "=";
    Ref ref = Prepare(e->a, compound);
    if (compound) {
        Load(ref, e->a);
        Value(e->b);
        bool negate;
        Out().Op(BinaryOpcode(std::string_view(e->text).substr(0, e->text.size() - 1), negate));
    } else {
        Value(e->b);
    }
    Store(ref, !discard);
}

void CodeGen::Update(Expr* e, bool discard) {
    Ref ref = Prepare(e->a, true);
    Load(ref, e->a);
    std::uint8_t code = e->text == "++" ? op::Increment : op::Decrement;
    if (e->flag || discard) {
        Out().Op(code);
        Store(ref, !discard);
        return;
    }
    // Postfix with its value used: the old value, as a number, is the result.
    int t = Temp(1);
    Out().Op(op::ToNumber);
    Out().StoreRegister(t);
    Out().Op(code);
    Store(ref, false);
    Out().PushRegister(t);
}

}  // namespace swf::as
