#include "classlib/strings/CRegExp.h"

#include <bitset>
#include <cstring>
#include <string>

struct CRegExp::Node {
    enum class Kind { Char, Set, Any, Begin, End, Sequence, Either, Group, Repeat };
    explicit Node(Kind k) : kind(k) {}

    Kind kind;
    unsigned char ch = 0;
    std::bitset<256> set;
    int capture = -1; // Group: the capture's index, -1 for a plain group
    int min = 0;      // Repeat: least and most times (-1: no limit)
    int max = -1;
    bool lazy = false;
    std::vector<std::unique_ptr<Node>> children;
};

namespace {

using Node = CRegExp::Node;
using Kind = CRegExp::Node::Kind;
using ParseError = CRegExp::ParseError;

unsigned char Lower(unsigned char ch)
{
    return ch >= 'A' && ch <= 'Z' ? static_cast<unsigned char>(ch - 'A' + 'a') : ch;
}

unsigned char Upper(unsigned char ch)
{
    return ch >= 'a' && ch <= 'z' ? static_cast<unsigned char>(ch - 'a' + 'A') : ch;
}

// What the abbreviations stand for, written in the syntax itself (the
// control characters as themselves).
const char* Abbreviation(char letter)
{
    switch (letter) {
    case 'a':
        return "[a-zA-Z0-9]";
    case 'b':
        return "[ \t]";
    case 'c':
        return "[a-zA-Z]";
    case 'd':
        return "[0-9]";
    case 'h':
        return "[0-9a-fA-F]";
    case 'n':
        return "(\r|(\r?\n))";
    case 'q':
        return "((\"[^\"]*\")|('[^']*'))";
    case 'w':
        return "([a-zA-Z]+)";
    case 'z':
        return "([0-9]+)";
    default:
        return nullptr;
    }
}

class Parser {
public:
    Parser(const char* pattern, bool caseSensitive, int& captures)
        : m_text(pattern), m_at(0), m_fold(!caseSensitive), m_captures(captures)
    {}

    std::unique_ptr<Node> ParseWhole(ParseError& error)
    {
        auto root = ParseEither();
        if (m_error == ParseError::None && m_text[m_at] != '\0')
            m_error = ParseError::MissingParen; // a ")" or "}" nobody opened
        error = m_error;
        return m_error == ParseError::None ? std::move(root) : nullptr;
    }

private:
    char Peek() const { return m_text[m_at]; }
    bool Failed() const { return m_error != ParseError::None; }
    void Fail(ParseError error)
    {
        if (!Failed())
            m_error = error;
    }

    std::unique_ptr<Node> ParseEither()
    {
        auto either = std::make_unique<Node>(Kind::Either);
        either->children.push_back(ParseSequence());
        while (!Failed() && Peek() == '|') {
            ++m_at;
            either->children.push_back(ParseSequence());
        }
        return either;
    }

    std::unique_ptr<Node> ParseSequence()
    {
        auto sequence = std::make_unique<Node>(Kind::Sequence);
        while (!Failed()) {
            char ch = Peek();
            if (ch == '\0' || ch == '|' || ch == ')' || ch == '}')
                break;
            if (ch == '?' || ch == '*' || ch == '+') {
                Fail(ParseError::NothingToRepeat);
                break;
            }
            auto atom = ParseAtom();
            if (!atom)
                break;
            sequence->children.push_back(ParseRepeat(std::move(atom)));
        }
        return sequence;
    }

    std::unique_ptr<Node> ParseRepeat(std::unique_ptr<Node> atom)
    {
        char ch = Peek();
        if (ch != '?' && ch != '*' && ch != '+')
            return atom;
        ++m_at;
        auto repeat = std::make_unique<Node>(Kind::Repeat);
        repeat->min = ch == '+' ? 1 : 0;
        repeat->max = ch == '?' ? 1 : -1;
        if (Peek() == '?') {
            repeat->lazy = true;
            ++m_at;
        }
        repeat->children.push_back(std::move(atom));
        // A repeat of a repeat ("a**") repeats nothing new.
        if (Peek() == '?' || Peek() == '*' || Peek() == '+')
            Fail(ParseError::NothingToRepeat);
        return repeat;
    }

    std::unique_ptr<Node> ParseAtom()
    {
        char ch = m_text[m_at++];
        switch (ch) {
        case '.':
            return std::make_unique<Node>(Kind::Any);
        case '^':
            return std::make_unique<Node>(Kind::Begin);
        case '$':
            return std::make_unique<Node>(Kind::End);
        case '(':
        case '{': {
            auto group = std::make_unique<Node>(Kind::Group);
            if (ch == '{')
                group->capture = m_captures++;
            group->children.push_back(ParseEither());
            if (Failed())
                return nullptr;
            if (Peek() != (ch == '(' ? ')' : '}')) {
                Fail(ParseError::MissingParen);
                return nullptr;
            }
            ++m_at;
            return group;
        }
        case '[':
            return ParseSet();
        case '\\': {
            char escaped = m_text[m_at];
            if (escaped == '\0') {
                Fail(ParseError::TrailingEscape);
                return nullptr;
            }
            ++m_at;
            if (const char* expansion = Abbreviation(escaped)) {
                int unused = 0;
                Parser inner(expansion, !m_fold, unused);
                ParseError error = ParseError::None;
                auto group = std::make_unique<Node>(Kind::Group);
                group->children.push_back(inner.ParseWhole(error));
                return group;
            }
            return Literal(static_cast<unsigned char>(escaped));
        }
        default:
            return Literal(static_cast<unsigned char>(ch));
        }
    }

    std::unique_ptr<Node> Literal(unsigned char ch)
    {
        auto node = std::make_unique<Node>(Kind::Char);
        node->ch = m_fold ? Lower(ch) : ch;
        return node;
    }

    // After "[": the set up to its "]".
    std::unique_ptr<Node> ParseSet()
    {
        auto node = std::make_unique<Node>(Kind::Set);
        bool negate = false;
        if (Peek() == '^') {
            negate = true;
            ++m_at;
        }
        bool any = false;
        while (Peek() != ']') {
            if (Peek() == '\0') {
                Fail(ParseError::MissingBracket);
                return nullptr;
            }
            unsigned char first = 0;
            if (!SetChar(first))
                return nullptr;
            unsigned char last = first;
            // A "-" first or last in the set is itself.
            if (Peek() == '-' && m_text[m_at + 1] != ']' && m_text[m_at + 1] != '\0') {
                ++m_at;
                if (!SetChar(last))
                    return nullptr;
                if (last < first) {
                    Fail(ParseError::BadRange);
                    return nullptr;
                }
            }
            for (unsigned value = first; value <= last; ++value) {
                const auto ch = static_cast<unsigned char>(value);
                node->set.set(ch);
                if (m_fold) {
                    node->set.set(Lower(ch));
                    node->set.set(Upper(ch));
                }
            }
            any = true;
        }
        ++m_at;
        if (!any) {
            Fail(ParseError::EmptySet);
            return nullptr;
        }
        if (negate)
            node->set.flip();
        return node;
    }

    bool SetChar(unsigned char& ch)
    {
        char next = m_text[m_at++];
        if (next == '\\') {
            next = m_text[m_at++];
            if (next == '\0') {
                Fail(ParseError::TrailingEscape);
                return false;
            }
        }
        ch = static_cast<unsigned char>(next);
        return true;
    }

    const char* m_text;
    size_t m_at;
    bool m_fold;
    int& m_captures;
    ParseError m_error = ParseError::None;
};

// Backtracking: each node matches at a position and hands every end it can
// reach, in the order it prefers, to the rest of the expression (k) until
// the rest matches too.
class Matcher {
public:
    template <class F>
    class Ref; // a non-owning callable view, cheaper than std::function

    using Rest = Ref<bool(int)>;

    Matcher(const char* text, bool fold, int captures)
        : m_text(reinterpret_cast<const unsigned char*>(text)),
          m_length(static_cast<int>(std::strlen(text))), m_fold(fold),
          m_captures(static_cast<size_t>(captures), {-1, -1})
    {}

    int Length() const { return m_length; }
    const std::vector<std::pair<int, int>>& Captures() const { return m_captures; }

    bool Run(const Node& node, int at, Rest rest);

private:
    bool Sequence(const Node& node, size_t index, int at, Rest rest);
    bool Repeat(const Node& node, int count, int at, Rest rest);

    const unsigned char* m_text;
    int m_length;
    bool m_fold;
    std::vector<std::pair<int, int>> m_captures;
};

template <class R, class... Args>
class Matcher::Ref<R(Args...)> {
public:
    template <class F>
    Ref(const F& f)
        : m_object(&f), m_call([](const void* o, Args... args) -> R {
              return (*static_cast<const F*>(o))(args...);
          })
    {}
    R operator()(Args... args) const { return m_call(m_object, args...); }

private:
    const void* m_object;
    R (*m_call)(const void*, Args...);
};

bool Matcher::Run(const Node& node, int at, Rest rest)
{
    switch (node.kind) {
    case Kind::Char: {
        if (at >= m_length)
            return false;
        unsigned char ch = m_fold ? Lower(m_text[at]) : m_text[at];
        return ch == node.ch && rest(at + 1);
    }
    case Kind::Set:
        return at < m_length && node.set.test(m_text[at]) && rest(at + 1);
    case Kind::Any:
        return at < m_length && rest(at + 1);
    case Kind::Begin:
        return at == 0 && rest(at);
    case Kind::End:
        return at == m_length && rest(at);
    case Kind::Sequence:
        return Sequence(node, 0, at, rest);
    case Kind::Either:
        for (const auto& branch : node.children) {
            if (Run(*branch, at, rest))
                return true;
        }
        return false;
    case Kind::Group: {
        if (node.capture < 0)
            return Run(*node.children[0], at, rest);
        const auto index = static_cast<size_t>(node.capture);
        auto then = [&](int end) {
            auto saved = m_captures[index];
            m_captures[index] = {at, end};
            if (rest(end))
                return true;
            m_captures[index] = saved;
            return false;
        };
        return Run(*node.children[0], at, then);
    }
    case Kind::Repeat:
        return Repeat(node, 0, at, rest);
    }
    return false;
}

bool Matcher::Sequence(const Node& node, size_t index, int at, Rest rest)
{
    if (index == node.children.size())
        return rest(at);
    auto then = [&](int end) { return Sequence(node, index + 1, end, rest); };
    return Run(*node.children[index], at, then);
}

bool Matcher::Repeat(const Node& node, int count, int at, Rest rest)
{
    const bool mayStop = count >= node.min;
    const bool mayGo = node.max < 0 || count < node.max;
    auto again = [&](int end) {
        // A turn that took nothing once the least is reached would turn
        // for ever.
        if (end == at && mayStop)
            return false;
        return Repeat(node, count + 1, end, rest);
    };
    if (node.lazy) {
        if (mayStop && rest(at))
            return true;
        return mayGo && Run(*node.children[0], at, again);
    }
    if (mayGo && Run(*node.children[0], at, again))
        return true;
    return mayStop && rest(at);
}

} // namespace

CRegExp::CRegExp() = default;
CRegExp::~CRegExp() = default;

CRegExp::ParseError CRegExp::Parse(const char* pattern, bool caseSensitive)
{
    m_root.reset();
    m_captureCount = 0;
    m_caseSensitive = caseSensitive;
    int captures = 0;
    Parser parser(pattern ? pattern : "", caseSensitive, captures);
    ParseError error = ParseError::None;
    auto root = parser.ParseWhole(error);
    if (error != ParseError::None)
        return error;
    m_root = std::move(root);
    m_captureCount = captures;
    return ParseError::None;
}

bool CRegExp::Match(const char* text, MatchInfo* match) const
{
    if (!m_root || !text)
        return false;
    Matcher matcher(text, !m_caseSensitive, m_captureCount);
    for (int start = 0; start <= matcher.Length(); ++start) {
        int end = -1;
        auto found = [&end](int at) {
            end = at;
            return true;
        };
        if (matcher.Run(*m_root, start, found)) {
            if (match) {
                match->begin = start;
                match->end = end;
                match->captures = matcher.Captures();
            }
            return true;
        }
    }
    return false;
}
