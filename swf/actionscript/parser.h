#pragma once
// Recursive-descent parser. The script is read one top-level statement at a time so that
// memory stays bounded by the largest statement, not by the whole text.
#include <deque>
#include <string_view>

#include "swf/actionscript/ast.h"
#include "swf/actionscript/lexer.h"

namespace swf::as {

// Deepest nesting of statements and expressions accepted; deeper text is an error, which
// keeps the parser's and the code generator's recursion within a small stack (at the limit
// about 256 KB in an optimised build, 2 MB with the address sanitizer).
inline constexpr int kMaxNesting = 200;
// Parts (expressions and statements) one top-level statement may have.
inline constexpr std::size_t kMaxNodesPerStatement = 400000;

class Parser {
public:
    explicit Parser(std::string_view source);

    bool AtEnd() const { return cur_.kind == Tok::End; }
    // Parses the next top-level statement. Its nodes stay valid until the next call.
    Stmt* ParseTopLevel();

private:
    struct DepthGuard {
        Parser& p;
        DepthGuard(Parser& parser, SourcePos pos);
        ~DepthGuard() { --p.depth_; }
    };

    // A punctuator or keyword written in the parser, turned into its id when compiled.
    struct Punct {
        int id;
        consteval Punct(const char* text) : id(PunctId(text)) {}
    };
    struct Keyword {
        int id;
        consteval Keyword(const char* text) : id(KeywordId(text)) {}
    };

    [[noreturn]] void Fail(SourcePos pos, const std::string& message) const;
    void Advance();
    const Token& PeekNext();
    bool Is(Punct p) const { return cur_.kind == Tok::Punct && cur_.id == p.id; }
    bool IsKw(Keyword k) const { return cur_.kind == Tok::Keyword && cur_.id == k.id; }
    bool Accept(Punct p);
    void Expect(Punct p);
    std::string ExpectName(const char* what);
    void ConsumeSemicolon();
    void SkipTypeAnnotation();
    std::string Describe(const Token& tok) const;

    Expr* NewExpr(ExprKind kind, SourcePos pos);
    Stmt* NewStmt(StmtKind kind, SourcePos pos);
    Expr* Finish(Expr* e);  // computes the height and enforces the nesting limit
    void CountNode(SourcePos pos);

    void Declare(const std::string& name);
    void Reference(const std::string& name);

    Stmt* ParseStatement();
    Stmt* ParseBlockBody(SourcePos pos);
    Stmt* ParseVar(SourcePos pos, bool noIn);
    Stmt* ParseIf(SourcePos pos);
    Stmt* ParseFor(SourcePos pos);
    Stmt* ParseSwitch(SourcePos pos);
    Function* ParseFunction(SourcePos pos, bool declaration);

    Expr* ParseParenthesized();  // ( expression )
    Expr* ParseExpression(bool noIn = false);
    Expr* ParseAssignment(bool noIn = false);
    Expr* ParseConditional(bool noIn);
    Expr* ParseBinary(int minPrec, bool noIn);
    Expr* ParseUnary();
    Expr* ParsePostfix();
    Expr* ParseCallOrMember(bool allowCall);
    Expr* ParsePrimary();
    std::vector<Expr*> ParseArguments();

    Lexer lexer_;
    Token cur_;
    Token next_;
    bool hasNext_ = false;
    int depth_ = 0;
    std::size_t nodes_ = 0;
    Function* fn_ = nullptr;  // function being parsed, nullptr at top level
    std::deque<Expr> exprs_;
    std::deque<Stmt> stmts_;
    std::deque<Function> functions_;
};

}  // namespace swf::as
