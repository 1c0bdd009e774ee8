#include "swf/actionscript/parser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <utility>

namespace swf::as {

namespace {

// Binding power of the binary operators, by punctuator id; 0 for anything else.
struct PrecedenceTable {
    std::array<std::uint8_t, std::size(kPunctuators)> of{};
};
constexpr PrecedenceTable MakePrecedenceTable() {
    PrecedenceTable t;
    const std::pair<int, int> table[] = {
        {PunctId("||"), 1},  {PunctId("&&"), 2},  {PunctId("|"), 3},   {PunctId("^"), 4},  {PunctId("&"), 5},
        {PunctId("=="), 6},  {PunctId("!="), 6},  {PunctId("==="), 6}, {PunctId("!=="), 6},
        {PunctId("<"), 7},   {PunctId(">"), 7},   {PunctId("<="), 7},  {PunctId(">="), 7},
        {PunctId("<<"), 8},  {PunctId(">>"), 8},  {PunctId(">>>"), 8}, {PunctId("+"), 9},  {PunctId("-"), 9},
        {PunctId("*"), 10},  {PunctId("/"), 10},  {PunctId("%"), 10}};
    for (auto& [op, prec] : table) t.of[static_cast<std::size_t>(op)] = static_cast<std::uint8_t>(prec);
    return t;
}
constexpr PrecedenceTable kPrecedence = MakePrecedenceTable();

int Precedence(const Token& t, bool noIn) {
    if (t.kind == Tok::Keyword) {
        if (t.id == KeywordId("instanceof")) return 7;
        if (t.id == KeywordId("in")) return noIn ? 0 : 7;
        return 0;
    }
    if (t.kind != Tok::Punct) return 0;
    return kPrecedence.of[static_cast<std::size_t>(t.id)];
}

bool IsAssignOp(const Token& t) {
    if (t.kind != Tok::Punct) return false;
    switch (t.id) {
        case PunctId("="): case PunctId("+="): case PunctId("-="): case PunctId("*="): case PunctId("/="):
        case PunctId("%="): case PunctId("<<="): case PunctId(">>="): case PunctId(">>>="): case PunctId("&="):
        case PunctId("|="): case PunctId("^="):
            return true;
        default:
            return false;
    }
}

bool IsReference(const Expr* e) {
    return e->kind == ExprKind::Name || e->kind == ExprKind::Member || e->kind == ExprKind::Index;
}

std::string NumberKey(double v) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

}  // namespace

Parser::DepthGuard::DepthGuard(Parser& parser, SourcePos pos) : p(parser) {
    if (++p.depth_ > kMaxNesting) {
        --p.depth_;
        p.Fail(pos, "nesting too deep (more than " + std::to_string(kMaxNesting) + " levels)");
    }
}

Parser::Parser(std::string_view source) : lexer_(source) { cur_ = lexer_.Next(); }

void Parser::Fail(SourcePos pos, const std::string& message) const { throw SyntaxError{pos, message}; }

// Tokens are read into the two held ones in place, so that their texts keep their storage.
void Parser::Advance() {
    if (hasNext_) {
        std::swap(cur_, next_);
        hasNext_ = false;
    } else {
        lexer_.Next(cur_);
    }
}

const Token& Parser::PeekNext() {
    if (!hasNext_) {
        lexer_.Next(next_);
        hasNext_ = true;
    }
    return next_;
}

std::string Parser::Describe(const Token& tok) const {
    switch (tok.kind) {
        case Tok::End: return "end of script";
        case Tok::Number: return "number";
        case Tok::String: return "string";
        default: return "'" + tok.text + "'";
    }
}

bool Parser::Accept(Punct p) {
    if (!Is(p)) return false;
    Advance();
    return true;
}

void Parser::Expect(Punct p) {
    if (!Accept(p))
        Fail(cur_.pos, "expected '" + std::string(kPunctuators[p.id]) + "' but found " + Describe(cur_));
}

std::string Parser::ExpectName(const char* what) {
    if (cur_.kind != Tok::Name) Fail(cur_.pos, std::string("expected ") + what + " but found " + Describe(cur_));
    std::string name = std::move(cur_.text);
    Advance();
    return name;
}

void Parser::ConsumeSemicolon() {
    if (Accept(";")) return;
    if (Is("}") || cur_.kind == Tok::End || cur_.newlineBefore) return;
    Fail(cur_.pos, "expected ';' but found " + Describe(cur_));
}

void Parser::SkipTypeAnnotation() {
    if (!Accept(":")) return;
    ExpectName("a type name");
    while (Accept(".")) ExpectName("a type name");
}

void Parser::CountNode(SourcePos pos) {
    if (++nodes_ > kMaxNodesPerStatement)
        Fail(pos, "statement too large (more than " + std::to_string(kMaxNodesPerStatement) + " parts)");
}

Expr* Parser::NewExpr(ExprKind kind, SourcePos pos) {
    CountNode(pos);
    Expr& e = exprs_.emplace_back();
    e.kind = kind;
    e.pos = pos;
    return &e;
}

Stmt* Parser::NewStmt(StmtKind kind, SourcePos pos) {
    CountNode(pos);
    Stmt& s = stmts_.emplace_back();
    s.kind = kind;
    s.pos = pos;
    return &s;
}

Expr* Parser::Finish(Expr* e) {
    int h = 0;
    for (Expr* child : {e->a, e->b, e->c})
        if (child) h = std::max(h, child->height);
    for (Expr* child : e->list)
        if (child) h = std::max(h, child->height);
    e->height = h + 1;
    if (e->height > kMaxNesting)
        Fail(e->pos, "expression too deeply nested (more than " + std::to_string(kMaxNesting) + " levels)");
    return e;
}

void Parser::Declare(const std::string& name) {
    if (fn_ && fn_->localSet.insert(name).second) fn_->locals.push_back(name);
}

void Parser::Reference(const std::string& name) {
    if (!fn_) return;
    fn_->ownRefs.insert(name);
    if (std::string_view(name) == "arguments") fn_->usesArguments = true;
}

Stmt* Parser::ParseTopLevel() {
    exprs_.clear();
    stmts_.clear();
    functions_.clear();
    nodes_ = 0;
    return ParseStatement();
}

Stmt* Parser::ParseStatement() {
    SourcePos pos = cur_.pos;
    DepthGuard guard(*this, pos);
    if (cur_.kind == Tok::Name && PeekNext().kind == Tok::Punct && next_.id == PunctId(":")) {
        std::string label = cur_.text;
        Advance();
        Advance();
        Stmt* s = ParseStatement();
        s->labels.insert(s->labels.begin(), label);
        return s;
    }
    if (cur_.kind == Tok::Punct) {
        if (Accept("{")) return ParseBlockBody(pos);
        if (Accept(";")) return NewStmt(StmtKind::Empty, pos);
    }
    if (cur_.kind == Tok::Keyword) {
        const int kw = cur_.id;
        if (kw == KeywordId("var")) {
            Advance();
            Stmt* s = ParseVar(pos, false);
            ConsumeSemicolon();
            return s;
        }
        if (kw == KeywordId("function") && PeekNext().kind == Tok::Name) {
            Advance();
            Stmt* s = NewStmt(StmtKind::Function, pos);
            s->fn = ParseFunction(pos, true);
            return s;
        }
        if (kw == KeywordId("if")) {
            Advance();
            return ParseIf(pos);
        }
        if (kw == KeywordId("while")) {
            Advance();
            Stmt* s = NewStmt(StmtKind::While, pos);
            s->e1 = ParseParenthesized();
            s->s1 = ParseStatement();
            return s;
        }
        if (kw == KeywordId("do")) {
            Advance();
            Stmt* s = NewStmt(StmtKind::DoWhile, pos);
            s->s1 = ParseStatement();
            if (!IsKw("while")) Fail(cur_.pos, "expected 'while' after the body of 'do' but found " + Describe(cur_));
            Advance();
            s->e1 = ParseParenthesized();
            Accept(";");
            return s;
        }
        if (kw == KeywordId("for")) {
            Advance();
            return ParseFor(pos);
        }
        if (kw == KeywordId("break") || kw == KeywordId("continue")) {
            Advance();
            Stmt* s = NewStmt(kw == KeywordId("break") ? StmtKind::Break : StmtKind::Continue, pos);
            if (cur_.kind == Tok::Name && !cur_.newlineBefore) {
                s->label = cur_.text;
                Advance();
            }
            ConsumeSemicolon();
            return s;
        }
        if (kw == KeywordId("return")) {
            Advance();
            if (!fn_) Fail(pos, "'return' outside a function");
            Stmt* s = NewStmt(StmtKind::Return, pos);
            if (!Is(";") && !Is("}") && cur_.kind != Tok::End && !cur_.newlineBefore) s->e1 = ParseExpression();
            ConsumeSemicolon();
            return s;
        }
        if (kw == KeywordId("throw")) {
            Advance();
            Stmt* s = NewStmt(StmtKind::Throw, pos);
            if (cur_.newlineBefore) Fail(cur_.pos, "'throw' needs a value on the same line");
            s->e1 = ParseExpression();
            ConsumeSemicolon();
            return s;
        }
        if (kw == KeywordId("switch")) {
            Advance();
            return ParseSwitch(pos);
        }
        if (kw == KeywordId("with")) {
            Advance();
            Stmt* s = NewStmt(StmtKind::With, pos);
            if (fn_) fn_->dynamicScope = true;
            s->e1 = ParseParenthesized();
            s->s1 = ParseStatement();
            return s;
        }
        if (kw == KeywordId("class") || kw == KeywordId("interface"))
            Fail(pos, "classes and interfaces are not supported");
        if (kw == KeywordId("try")) Fail(pos, "'try' is not supported");
        if (kw == KeywordId("import")) Fail(pos, "'import' is not supported");
        if (kw == KeywordId("else")) Fail(pos, "'else' without 'if'");
        if (kw == KeywordId("case") || kw == KeywordId("default")) Fail(pos, "'" + cur_.text + "' outside 'switch'");
    }
    Stmt* s = NewStmt(StmtKind::Expr, pos);
    s->e1 = ParseExpression();
    ConsumeSemicolon();
    return s;
}

Stmt* Parser::ParseBlockBody(SourcePos pos) {
    Stmt* s = NewStmt(StmtKind::Block, pos);
    while (!Accept("}")) {
        if (cur_.kind == Tok::End) Fail(pos, "'{' is never closed");
        s->body.push_back(ParseStatement());
    }
    return s;
}

Stmt* Parser::ParseVar(SourcePos pos, bool noIn) {
    Stmt* s = NewStmt(StmtKind::Var, pos);
    do {
        VarDecl d;
        d.pos = cur_.pos;
        CountNode(d.pos);
        d.name = ExpectName("a variable name");
        SkipTypeAnnotation();
        Declare(d.name);
        if (Accept("=")) d.init = ParseAssignment(noIn);
        s->vars.push_back(std::move(d));
    } while (Accept(","));
    return s;
}

Stmt* Parser::ParseIf(SourcePos pos) {
    Stmt* s = NewStmt(StmtKind::If, pos);
    s->e1 = ParseParenthesized();
    s->s1 = ParseStatement();
    if (IsKw("else")) {
        Advance();
        s->s2 = ParseStatement();
    }
    return s;
}

Stmt* Parser::ParseFor(SourcePos pos) {
    Expect("(");
    Stmt* init = nullptr;
    Expr* initExpr = nullptr;
    if (IsKw("var")) {
        SourcePos varPos = cur_.pos;
        Advance();
        init = ParseVar(varPos, true);
        if (IsKw("in")) {
            if (init->vars.size() != 1 || init->vars[0].init)
                Fail(cur_.pos, "'for ... in' takes one variable without a value");
            Advance();
            Stmt* s = NewStmt(StmtKind::ForIn, pos);
            s->s1 = init;
            s->e2 = ParseExpression();
            Expect(")");
            s->s2 = ParseStatement();
            return s;
        }
    } else if (!Is(";")) {
        initExpr = ParseExpression(true);
        if (IsKw("in")) {
            if (!IsReference(initExpr)) Fail(initExpr->pos, "'for ... in' needs a variable or member before 'in'");
            Advance();
            Stmt* s = NewStmt(StmtKind::ForIn, pos);
            s->e1 = initExpr;
            s->e2 = ParseExpression();
            Expect(")");
            s->s2 = ParseStatement();
            return s;
        }
    }
    Stmt* s = NewStmt(StmtKind::For, pos);
    s->s2 = init;
    s->e1 = initExpr;
    Expect(";");
    if (!Is(";")) s->e2 = ParseExpression();
    Expect(";");
    if (!Is(")")) s->e3 = ParseExpression();
    Expect(")");
    s->s1 = ParseStatement();
    return s;
}

Stmt* Parser::ParseSwitch(SourcePos pos) {
    Stmt* s = NewStmt(StmtKind::Switch, pos);
    s->e1 = ParseParenthesized();
    Expect("{");
    bool hasDefault = false;
    while (!Accept("}")) {
        SwitchCase c;
        CountNode(cur_.pos);
        if (IsKw("case")) {
            Advance();
            c.test = ParseExpression();
        } else if (IsKw("default")) {
            if (hasDefault) Fail(cur_.pos, "a 'switch' has one 'default' at most");
            hasDefault = true;
            Advance();
        } else {
            Fail(cur_.pos, "expected 'case', 'default' or '}' in 'switch' but found " + Describe(cur_));
        }
        Expect(":");
        while (!IsKw("case") && !IsKw("default") && !Is("}")) {
            if (cur_.kind == Tok::End) Fail(pos, "'switch' is never closed");
            c.body.push_back(ParseStatement());
        }
        s->cases.push_back(std::move(c));
    }
    return s;
}

Function* Parser::ParseFunction(SourcePos pos, bool declaration) {
    CountNode(pos);
    Function* f = &functions_.emplace_back();
    f->pos = pos;
    if (cur_.kind == Tok::Name) {
        f->name = cur_.text;
        Advance();
    } else if (declaration) {
        Fail(cur_.pos, "expected a function name but found " + Describe(cur_));
    }
    if (declaration) Declare(f->name);
    f->parent = fn_;
    fn_ = f;
    Expect("(");
    if (!Is(")")) {
        do {
            SourcePos ppos = cur_.pos;
            CountNode(ppos);
            std::string p = ExpectName("a parameter name");
            if (!f->paramSet.insert(p).second) Fail(ppos, "parameter '" + p + "' is named twice");
            f->params.push_back(std::move(p));
            SkipTypeAnnotation();
        } while (Accept(","));
    }
    Expect(")");
    SkipTypeAnnotation();
    SourcePos bodyPos = cur_.pos;
    Expect("{");
    while (!Accept("}")) {
        if (cur_.kind == Tok::End) Fail(bodyPos, "the body of the function is never closed");
        f->body.push_back(ParseStatement());
    }
    fn_ = f->parent;
    // A function expression's own name is bound inside it only.
    if (!declaration && !f->name.empty() && !f->paramSet.count(f->name) && !f->localSet.count(f->name) &&
        (f->ownRefs.count(f->name) || f->innerRefs.count(f->name) || f->dynamicScope || f->innerDynamic)) {
        f->bindsOwnName = true;
        f->usesArguments = true;
        f->localSet.insert(f->name);
        f->locals.push_back(f->name);
    }
    if (fn_) {
        fn_->innerRefs.insert(f->ownRefs.begin(), f->ownRefs.end());
        fn_->innerRefs.insert(f->innerRefs.begin(), f->innerRefs.end());
        if (f->dynamicScope || f->innerDynamic) fn_->innerDynamic = true;
    }
    return f;
}

Expr* Parser::ParseParenthesized() {
    Expect("(");
    Expr* e = ParseExpression();
    Expect(")");
    return e;
}

Expr* Parser::ParseExpression(bool noIn) {
    Expr* e = ParseAssignment(noIn);
    while (Is(",")) {
        SourcePos pos = cur_.pos;
        Advance();
        Expr* b = NewExpr(ExprKind::Binary, pos);
        b->text = ",";
        b->a = e;
        b->b = ParseAssignment(noIn);
        e = Finish(b);
    }
    return e;
}

Expr* Parser::ParseAssignment(bool noIn) {
    DepthGuard guard(*this, cur_.pos);
    Expr* target = ParseConditional(noIn);
    if (!IsAssignOp(cur_)) return target;
    if (!IsReference(target)) Fail(cur_.pos, "the left side of '" + cur_.text + "' cannot be assigned to");
    Expr* e = NewExpr(ExprKind::Assign, cur_.pos);
    e->text = cur_.text;
    Advance();
    e->a = target;
    e->b = ParseAssignment(noIn);
    return Finish(e);
}

Expr* Parser::ParseConditional(bool noIn) {
    Expr* cond = ParseBinary(1, noIn);
    if (!Is("?")) return cond;
    Expr* e = NewExpr(ExprKind::Conditional, cur_.pos);
    Advance();
    e->a = cond;
    e->b = ParseAssignment(false);
    Expect(":");
    e->c = ParseAssignment(noIn);
    return Finish(e);
}

Expr* Parser::ParseBinary(int minPrec, bool noIn) {
    Expr* left = ParseUnary();
    for (;;) {
        int prec = Precedence(cur_, noIn);
        if (prec < minPrec || prec == 0) return left;
        Expr* e = NewExpr(ExprKind::Binary, cur_.pos);
        e->text = cur_.text;
        Advance();
        e->a = left;
        e->b = ParseBinary(prec + 1, noIn);
        left = Finish(e);
    }
}

Expr* Parser::ParseUnary() {
    SourcePos pos = cur_.pos;
    bool unaryPunct = Is("-") || Is("+") || Is("!") || Is("~");
    bool unaryKw = IsKw("typeof") || IsKw("void") || IsKw("delete");
    if (unaryPunct || unaryKw) {
        DepthGuard guard(*this, pos);
        Expr* e = NewExpr(ExprKind::Unary, pos);
        e->text = cur_.text;
        Advance();
        e->a = ParseUnary();
        if (std::string_view(e->text) == "delete" && !IsReference(e->a)) Fail(e->a->pos, "'delete' needs a variable or member");
        return Finish(e);
    }
    if (Is("++") || Is("--")) {
        DepthGuard guard(*this, pos);
        Expr* e = NewExpr(ExprKind::Update, pos);
        e->text = cur_.text;
        e->flag = true;
        Advance();
        e->a = ParseUnary();
        if (!IsReference(e->a)) Fail(e->a->pos, "'" + e->text + "' needs a variable or member");
        return Finish(e);
    }
    return ParsePostfix();
}

Expr* Parser::ParsePostfix() {
    Expr* e = ParseCallOrMember(true);
    if ((Is("++") || Is("--")) && !cur_.newlineBefore) {
        if (!IsReference(e)) Fail(cur_.pos, "'" + cur_.text + "' needs a variable or member");
        Expr* u = NewExpr(ExprKind::Update, cur_.pos);
        u->text = cur_.text;
        u->flag = false;
        u->a = e;
        Advance();
        return Finish(u);
    }
    return e;
}

std::vector<Expr*> Parser::ParseArguments() {
    std::vector<Expr*> args;
    Expect("(");
    if (!Is(")")) {
        do args.push_back(ParseAssignment(false));
        while (Accept(","));
    }
    Expect(")");
    return args;
}

Expr* Parser::ParseCallOrMember(bool allowCall) {
    Expr* e;
    if (IsKw("new")) {
        SourcePos pos = cur_.pos;
        DepthGuard guard(*this, pos);
        Advance();
        e = NewExpr(ExprKind::New, pos);
        e->a = ParseCallOrMember(false);
        if (Is("(")) e->list = ParseArguments();
        e = Finish(e);
    } else {
        e = ParsePrimary();
    }
    for (;;) {
        SourcePos pos = cur_.pos;
        if (Accept(".")) {
            if (cur_.kind != Tok::Name && cur_.kind != Tok::Keyword)
                Fail(cur_.pos, "expected a member name after '.' but found " + Describe(cur_));
            Expr* m = NewExpr(ExprKind::Member, pos);
            m->a = e;
            m->text = cur_.text;
            Advance();
            e = Finish(m);
        } else if (Accept("[")) {
            Expr* m = NewExpr(ExprKind::Index, pos);
            m->a = e;
            m->b = ParseExpression();
            Expect("]");
            e = Finish(m);
        } else if (allowCall && Is("(")) {
            Expr* c = NewExpr(ExprKind::Call, pos);
            c->a = e;
            c->list = ParseArguments();
            if (e->kind == ExprKind::Name && std::string_view(e->text) == "eval" && fn_) fn_->dynamicScope = true;
            e = Finish(c);
        } else {
            return e;
        }
    }
}

Expr* Parser::ParsePrimary() {
    SourcePos pos = cur_.pos;
    switch (cur_.kind) {
        case Tok::Number: {
            Expr* e = NewExpr(ExprKind::Number, pos);
            e->number = cur_.number;
            Advance();
            return e;
        }
        case Tok::String: {
            Expr* e = NewExpr(ExprKind::String, pos);
            e->text = std::move(cur_.text);
            Advance();
            return e;
        }
        case Tok::Name: {
            Expr* e = NewExpr(ExprKind::Name, pos);
            e->text = std::move(cur_.text);
            Advance();
            if (std::string_view(e->text) == "newline") {  // the line-break constant of the language
                e->kind = ExprKind::String;
                e->text = "\n";
                return e;
            }
            Reference(e->text);
            return e;
        }
        case Tok::Keyword: {
            const int kw = cur_.id;
            if (kw == KeywordId("true") || kw == KeywordId("false")) {
                Expr* e = NewExpr(ExprKind::Bool, pos);
                e->flag = kw == KeywordId("true");
                Advance();
                return e;
            }
            if (kw == KeywordId("null") || kw == KeywordId("undefined")) {
                Advance();
                return NewExpr(kw == KeywordId("null") ? ExprKind::Null : ExprKind::Undefined, pos);
            }
            if (kw == KeywordId("this")) {
                Advance();
                if (fn_) fn_->usesThis = true;
                return NewExpr(ExprKind::This, pos);
            }
            if (kw == KeywordId("function")) {
                Advance();
                Expr* e = NewExpr(ExprKind::Function, pos);
                e->fn = ParseFunction(pos, false);
                return e;
            }
            Fail(pos, "unexpected '" + cur_.text + "'");
        }
        case Tok::Punct:
            if (Accept("(")) {
                Expr* e = ParseExpression();
                Expect(")");
                return e;
            }
            if (Accept("[")) {
                Expr* e = NewExpr(ExprKind::Array, pos);
                while (!Accept("]")) {
                    if (Is(",")) {
                        CountNode(cur_.pos);
                        Advance();
                        e->list.push_back(nullptr);
                        continue;
                    }
                    e->list.push_back(ParseAssignment(false));
                    if (!Is("]")) Expect(",");
                }
                return Finish(e);
            }
            if (Accept("{")) {
                Expr* e = NewExpr(ExprKind::Object, pos);
                while (!Accept("}")) {
                    if (cur_.kind == Tok::Name || cur_.kind == Tok::Keyword || cur_.kind == Tok::String)
                        e->keys.push_back(cur_.text);
                    else if (cur_.kind == Tok::Number)
                        e->keys.push_back(NumberKey(cur_.number));
                    else
                        Fail(cur_.pos, "expected a property name but found " + Describe(cur_));
                    Advance();
                    Expect(":");
                    e->list.push_back(ParseAssignment(false));
                    if (!Is("}")) Expect(",");
                }
                return Finish(e);
            }
            break;
        default:
            break;
    }
    Fail(pos, "unexpected " + Describe(cur_));
}

}  // namespace swf::as
