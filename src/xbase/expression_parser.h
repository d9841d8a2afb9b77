#pragma once
// Turning the text of an expression into a checked tree: the tokenizer and the parser,
// and the one way both report what is wrong with a text.

#include <cstddef>
#include <string>
#include <string_view>

#include "expression_nodes.h"
#include "xbase/expression.h"

namespace xbase::expr {

enum class TokenKind {
    End,
    Text,    // "..." '...' [...]; `text` is what lies between the delimiters
    Number,  // 12, 3.5, .5, 1e3
    True,    // .T.
    False,   // .F.
    Name,    // a field or function name
    LeftParen,
    RightParen,
    Comma,
    Plus,
    Minus,
    Star,
    Slash,
    Equal,       // =
    ExactEqual,  // ==
    NotEqual,    // <> # !=
    Less,
    LessOrEqual,
    Greater,
    GreaterOrEqual,
    Dollar,
    Not,  // NOT .NOT. !
    And,  // AND .AND.
    Or,   // OR .OR.
};

struct Token {
    TokenKind kind = TokenKind::End;
    size_t position = 0;    // byte offset in the expression
    std::string_view text;  // the token as written (for Text: its contents)
    double number = 0;
};

// Reads tokens one at a time, so that a fault is reported where reading first meets it.
// next() throws Error on a text without its closing quote or a character the language
// does not use, and returns End tokens once the text is used up.
class Tokenizer {
  public:
    explicit Tokenizer(std::string_view expression) : source_(expression) {}
    Token next();

  private:
    void skipBlanks();
    char peek(size_t ahead = 0) const {
        return at_ + ahead < source_.size() ? source_[at_ + ahead] : '\0';
    }
    Token make(TokenKind kind, size_t length);
    Token quotedText(char closing);
    Token number();
    Token dottedWord();
    Token name();
    [[noreturn]] void unexpected() const;

    std::string_view source_;
    size_t at_ = 0;
};

// Parses and checks `expression` against the fields of `schema`.
NodePtr parse(std::string_view expression, const RecordSource& schema);

// "Invalid expression "<expression>": <problem>", as an Error of kind Expression.
[[noreturn]] void throwSyntaxError(std::string_view expression, const std::string& problem);
[[noreturn]] void throwTypeError(std::string_view expression, const std::string& problem);

// " at position N" (counting from 1), or " at the end" for the end of the text.
std::string atPosition(std::string_view expression, size_t offset);

}  // namespace xbase::expr
