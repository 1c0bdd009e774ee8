#pragma once
// Turns statements into AVM1 actions. Top-level function declarations are collected
// ahead of the other code so that a script may call a function defined later in its text.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "swf/actionscript/ast.h"
#include "swf/actionscript/emitter.h"

namespace swf::as {

class CodeGen {
public:
    CodeGen();
    void TopLevel(Stmt* s);
    std::vector<std::uint8_t> Finish();

private:
    // Registers and names of the function whose body is being written.
    struct Scope {
        Function* fn = nullptr;
        std::map<std::string, int> regs;
        int thisReg = 0;
        int argsReg = 0;
        int tempBase = 0;
        int maxReg = 0;
        bool dynamic = false;
    };
    // An enclosing statement that break, continue or return must know about.
    struct Control {
        enum Kind { Loop, ForIn, Switch, With, Labelled } kind;
        std::vector<std::string> labels;
        int breakLabel = -1;
        int continueLabel = -1;
        bool breakUsed = false;
    };
    // A place an assignment writes to.
    struct Ref {
        enum Kind { Register, Name, Member } kind;
        int reg = 0;
    };

    Emitter& Out() { return *out_; }
    int Temp(int i);

    void Statement(Stmt* s);
    void Statements(const std::vector<Stmt*>& list);
    void Hoist(const std::vector<Stmt*>& list);
    void Loop(Stmt* s);
    void ForIn(Stmt* s);
    void Switch(Stmt* s);
    void Jump(Stmt* s);
    void Return(Stmt* s);
    void PopEnumeration();
    void Condition(Expr* cond, int falseLabel);

    void Function(::swf::as::Function* f, bool named);
    void StoreDeclared(const std::string& name, SourcePos pos);

    void Value(Expr* e, bool discard = false);
    void Call(Expr* e, bool discard);
    bool Builtin(Expr* e, bool discard);
    void New(Expr* e);
    void Unary(Expr* e);
    void Binary(Expr* e);
    void Logical(Expr* e);
    void In(Expr* e);
    void Assign(Expr* e, bool discard);
    void Update(Expr* e, bool discard);
    void Callee(Expr* callee, std::uint8_t byName, std::uint8_t byMethod);

    Ref Prepare(Expr* target, bool willLoad);
    void Load(const Ref& ref, Expr* target);
    void Store(const Ref& ref, bool keepValue);
    int RegisterOf(const std::string& name) const;
    void PushString(const std::string& s, SourcePos pos);

    ConstantPool pool_;
    Emitter prologue_;
    Emitter main_;
    Emitter* out_;
    Scope* scope_ = nullptr;
    std::vector<Control> controls_;
};

}  // namespace swf::as
