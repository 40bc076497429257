// CRegExp: a regular expression in the syntax template values are checked
// with, matched by backtracking over narrow text.
//
//   .          any character
//   [abc] [^a-z]  a character of (not of) the set; "\x" inside is x
//   ^  $       start and end of the text
//   ( )        a group; { } a group whose match is kept (a capture)
//   a|b        either
//   ? * +      zero or one, any number, one or more, as many as will do;
//   ?? *? +?   the same, as few as will do
//   \a \b \c \d \h \n \q \w \z   a letter or digit, a blank or tab, a
//              letter, a digit, a hex digit, a line end, a quoted string,
//              a word of letters, a number of digits
//   \x         any other character x as itself
//
// Match looks for the first position of the text where the expression
// matches (so without ^ and $ a part of the text may match).
#pragma once

#include <memory>
#include <utility>
#include <vector>

class CRegExp {
public:
    enum class ParseError {
        None,
        MissingParen,    // a "(" or "{" not closed, or a ")" or "}" not opened
        MissingBracket,  // a "[" not closed
        EmptySet,        // "[]" or "[^]"
        BadRange,        // "[z-a]"
        NothingToRepeat, // "?", "*" or "+" after nothing
        TrailingEscape,  // "\" at the end
    };

    struct MatchInfo {
        int begin = -1; // offsets into the text; end is one past the last
        int end = -1;
        // One pair per "{ }" in pattern order; -1, -1 when it took no part.
        std::vector<std::pair<int, int>> captures;
    };

    CRegExp();
    CRegExp(const CRegExp&) = delete;
    CRegExp& operator=(const CRegExp&) = delete;
    ~CRegExp();

    // Compiles pattern in place of what was compiled before. Without case
    // sensitivity a letter matches in either case.
    ParseError Parse(const char* pattern, bool caseSensitive = true);
    bool IsParsed() const { return m_root != nullptr; }
    int GetCaptureCount() const { return m_captureCount; }

    // True when the expression matches somewhere in text; match (may be
    // null) says where. False without a parsed expression.
    bool Match(const char* text, MatchInfo* match = nullptr) const;

    struct Node;

private:
    std::unique_ptr<Node> m_root;
    int m_captureCount = 0;
    bool m_caseSensitive = true;
};
