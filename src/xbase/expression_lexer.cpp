#include <charconv>
#include <cstdio>

#include "expression_parser.h"
#include "expression_values.h"
#include "xbase/error.h"

namespace xbase::expr {

namespace {

// Long expressions (a report of many selected names) are cut in messages, and control
// bytes are shown as blanks so that a message box shows the whole line.
constexpr size_t kQuotedLength = 200;

std::string quoted(std::string_view expression) {
    std::string text(expression.substr(0, kQuotedLength));
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    if (expression.size() > kQuotedLength) text += "...";
    return text;
}

[[noreturn]] void throwError(std::string_view expression, int number, const std::string& problem) {
    throw Error(ErrorKind::Expression, number,
                "Invalid expression \"" + quoted(expression) + "\": " + problem);
}

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isNameChar(char c) {
    return isLetter(c) || isDigit(c);
}

bool sameWord(std::string_view word, std::string_view upper) {
    if (word.size() != upper.size()) return false;
    for (size_t i = 0; i < word.size(); ++i) {
        if (upperAscii(word[i]) != upper[i]) return false;
    }
    return true;
}

}  // namespace

Token Tokenizer::next() {
    skipBlanks();
    const char c = peek();
    if (at_ >= source_.size()) return Token{TokenKind::End, source_.size(), {}, 0};
    switch (c) {
        case '"':
        case '\'':
            return quotedText(c);
        case '[':
            return quotedText(']');
        case '(':
            return make(TokenKind::LeftParen, 1);
        case ')':
            return make(TokenKind::RightParen, 1);
        case ',':
            return make(TokenKind::Comma, 1);
        case '+':
            return make(TokenKind::Plus, 1);
        case '-':
            return make(TokenKind::Minus, 1);
        case '*':
            return make(TokenKind::Star, 1);
        case '/':
            return make(TokenKind::Slash, 1);
        case '$':
            return make(TokenKind::Dollar, 1);
        case '#':
            return make(TokenKind::NotEqual, 1);
        case '=':
            return peek(1) == '=' ? make(TokenKind::ExactEqual, 2) : make(TokenKind::Equal, 1);
        case '<':
            if (peek(1) == '>') return make(TokenKind::NotEqual, 2);
            if (peek(1) == '=') return make(TokenKind::LessOrEqual, 2);
            return make(TokenKind::Less, 1);
        case '>':
            if (peek(1) == '=') return make(TokenKind::GreaterOrEqual, 2);
            return make(TokenKind::Greater, 1);
        case '!':
            return peek(1) == '=' ? make(TokenKind::NotEqual, 2) : make(TokenKind::Not, 1);
        case '.':
            return isDigit(peek(1)) ? number() : dottedWord();
        default:
            break;
    }
    if (isDigit(c)) return number();
    if (isLetter(c)) return name();
    unexpected();
}

void Tokenizer::skipBlanks() {
    while (at_ < source_.size()) {
        const char c = source_[at_];
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') break;
        ++at_;
    }
}

Token Tokenizer::make(TokenKind kind, size_t length) {
    Token token{kind, at_, source_.substr(at_, length), 0};
    at_ += length;
    return token;
}

Token Tokenizer::quotedText(char closing) {
    const size_t start = at_;
    const size_t end = source_.find(closing, start + 1);
    if (end == std::string_view::npos) {
        throwSyntaxError(source_, std::string("the text that starts") + atPosition(source_, start) +
                                      " has no closing " + closing);
    }
    Token token{TokenKind::Text, start, source_.substr(start + 1, end - start - 1), 0};
    at_ = end + 1;
    return token;
}

Token Tokenizer::number() {
    const size_t start = at_;
    while (isDigit(peek())) ++at_;
    // A dot belongs to the number only when a digit follows: "1.AND." is 1 .AND.
    if (peek() == '.' && isDigit(peek(1))) {
        ++at_;
        while (isDigit(peek())) ++at_;
    }
    if ((peek() == 'e' || peek() == 'E') &&
        (isDigit(peek(1)) || ((peek(1) == '-' || peek(1) == '+') && isDigit(peek(2))))) {
        at_ += 2;
        while (isDigit(peek())) ++at_;
    }
    Token token{TokenKind::Number, start, source_.substr(start, at_ - start), 0};
    const auto [end, error] =
        std::from_chars(token.text.data(), token.text.data() + token.text.size(), token.number);
    // Only an exponent beyond the range of a double can fail here.
    if (error != std::errc()) {
        throwSyntaxError(source_, "the number " + std::string(token.text) +
                                      atPosition(source_, start) + " is too large");
    }
    return token;
}

Token Tokenizer::dottedWord() {
    size_t end = at_ + 1;
    while (end < source_.size() && isLetter(source_[end])) ++end;
    if (end < source_.size() && source_[end] == '.' && end > at_ + 1) {
        const std::string_view word = source_.substr(at_ + 1, end - at_ - 1);
        const size_t length = end - at_ + 1;
        if (sameWord(word, "T")) return make(TokenKind::True, length);
        if (sameWord(word, "F")) return make(TokenKind::False, length);
        if (sameWord(word, "AND")) return make(TokenKind::And, length);
        if (sameWord(word, "OR")) return make(TokenKind::Or, length);
        if (sameWord(word, "NOT")) return make(TokenKind::Not, length);
        throwSyntaxError(source_,
                         "unknown word ." + std::string(word) + "." + atPosition(source_, at_));
    }
    unexpected();
}

Token Tokenizer::name() {
    size_t end = at_;
    while (end < source_.size() && isNameChar(source_[end])) ++end;
    const std::string_view word = source_.substr(at_, end - at_);
    if (sameWord(word, "AND")) return make(TokenKind::And, word.size());
    if (sameWord(word, "OR")) return make(TokenKind::Or, word.size());
    if (sameWord(word, "NOT")) return make(TokenKind::Not, word.size());
    return make(TokenKind::Name, word.size());
}

void Tokenizer::unexpected() const {
    const auto byte = static_cast<unsigned char>(peek());
    if (byte > 0x20 && byte < 0x7F) {
        throwSyntaxError(source_, std::string("unexpected \"") + static_cast<char>(byte) + "\"" +
                                      atPosition(source_, at_));
    }
    char code[8];
    std::snprintf(code, sizeof code, "0x%02X", byte);
    throwSyntaxError(source_,
                     std::string("unexpected character ") + code + atPosition(source_, at_));
}

void throwSyntaxError(std::string_view expression, const std::string& problem) {
    throwError(expression, code::ExpressionSyntax, problem);
}

void throwTypeError(std::string_view expression, const std::string& problem) {
    throwError(expression, code::ExpressionType, problem);
}

std::string atPosition(std::string_view expression, size_t offset) {
    if (offset >= expression.size()) return " at the end";
    return " at position " + std::to_string(offset + 1);
}

}  // namespace xbase::expr
