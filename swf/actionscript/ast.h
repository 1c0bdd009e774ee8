#pragma once
// Syntax tree of a script. Nodes live in the parser's pool and are plain data.
#include <set>
#include <string>
#include <vector>

#include "swf/actionscript/lexer.h"

namespace swf::as {

struct Stmt;
struct Function;

enum class ExprKind {
    Number, String, Bool, Null, Undefined,
    Name,         // text = the name
    This,
    Member,       // a.b (text = b) when b is a name, else a[b]
    Index,        // a[b]
    Call,         // a(list)
    New,          // new a(list)
    Unary,        // op a: "-", "+", "!", "~", "typeof", "void", "delete"
    Binary,       // a op b, including "&&", "||", ",", "in", "instanceof"
    Conditional,  // a ? b : c
    Assign,       // a op b with op "=", "+=", ...
    Update,       // ++a, a++ (prefix flag), op "++" or "--"
    Array,        // [list], holes are nullptr
    Object,       // {keys: list}
    Function,     // fn
};

struct Expr {
    ExprKind kind = ExprKind::Undefined;
    SourcePos pos;
    int height = 1;  // of the subtree; bounds the compiler's recursion
    std::string text;  // name, string value, member name or operator
    double number = 0;
    bool flag = false;  // boolean value; prefix for Update
    Expr* a = nullptr;
    Expr* b = nullptr;
    Expr* c = nullptr;
    std::vector<Expr*> list;        // arguments, elements, property values
    std::vector<std::string> keys;  // property names of an object literal
    Function* fn = nullptr;
};

struct VarDecl {
    std::string name;
    SourcePos pos;
    Expr* init = nullptr;
};

struct SwitchCase {
    Expr* test = nullptr;  // nullptr for default
    std::vector<Stmt*> body;
};

enum class StmtKind {
    Expr, Var, Function, Return, If, While, DoWhile, For, ForIn, Break, Continue,
    Switch, Block, Empty, With, Throw,
};

struct Stmt {
    StmtKind kind;
    SourcePos pos;
    std::vector<std::string> labels;  // labels written before the statement
    Expr* e1 = nullptr;  // expression; condition; for: init expression; for-in: target
    Expr* e2 = nullptr;  // for: test; for-in: object
    Expr* e3 = nullptr;  // for: update
    Stmt* s1 = nullptr;  // body; then; for: var init
    Stmt* s2 = nullptr;  // else
    std::vector<Stmt*> body;       // block statements
    std::vector<VarDecl> vars;     // var statement
    std::vector<SwitchCase> cases;
    std::string label;             // break/continue target
    Function* fn = nullptr;        // function declaration
};

struct Function {
    std::string name;
    SourcePos pos;
    std::vector<std::string> params;
    std::set<std::string> paramSet;
    std::vector<Stmt*> body;
    Function* parent = nullptr;
    // Gathered while parsing, for register allocation.
    std::vector<std::string> locals;    // var and function names declared inside, in order
    std::set<std::string> localSet;
    std::set<std::string> ownRefs;      // names read or written in this function's own code
    std::set<std::string> innerRefs;    // names used by functions nested in it
    bool bindsOwnName = false;          // a named function expression that uses its name
    bool usesThis = false;
    bool usesArguments = false;
    bool dynamicScope = false;          // with or eval: names must stay names
    bool innerDynamic = false;          // a nested function has a dynamic scope
};

}  // namespace swf::as
