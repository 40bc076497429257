#include "classlib/com/CRegScript.h"

#include <cctype>
#include <cstring>
#include <optional>
#include <shlwapi.h>

#include "classlib/win32/CRegKey.h"
#include "classlib/win32/LastError.h"

namespace {

const HRESULT kScriptError = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

bool SameNoCase(const std::string& a, const char* b)
{
    return lstrcmpiA(a.c_str(), b) == 0;
}

struct Token {
    enum Kind { Word, Quoted, Open, Close, Equals } kind;
    std::string text;
};

// One key or named value of the script.
struct Node {
    enum Removal { Normal, NoRemove, ForceRemove };
    bool isValue = false;
    Removal removal = Normal;
    std::string name;
    // The key's default value, or the named value's data.
    bool hasData = false;
    DWORD type = REG_SZ;
    std::string text;
    DWORD number = 0;
    std::vector<Node> children;

    bool KeepsSomethingBelow() const
    {
        for (const Node& child : children)
            if (!child.isValue && (child.removal == NoRemove || child.KeepsSomethingBelow()))
                return true;
        return false;
    }
};

struct Root {
    HKEY key;
    std::vector<Node> children;
};

class Parser {
public:
    Parser(const char* script, const std::vector<std::pair<std::string, std::string>>& replacements)
        : m_text(script), m_replacements(replacements)
    {}

    // Every root of the script, or nothing when it has an error.
    std::optional<std::vector<Root>> Parse()
    {
        if (!Tokenize())
            return std::nullopt;
        std::vector<Root> roots;
        while (m_next < m_tokens.size()) {
            const Token& name = m_tokens[m_next++];
            std::optional<HKEY> key = name.kind == Token::Word ? RootKey(name.text) : std::nullopt;
            if (!key || !Expect(Token::Open))
                return std::nullopt;
            Root root{*key, {}};
            if (!ParseBody(root.children, false))
                return std::nullopt;
            roots.push_back(std::move(root));
        }
        return roots;
    }

private:
    static std::optional<HKEY> RootKey(const std::string& name)
    {
        if (SameNoCase(name, "HKCR") || SameNoCase(name, "HKEY_CLASSES_ROOT"))
            return HKEY_CLASSES_ROOT;
        if (SameNoCase(name, "HKCU") || SameNoCase(name, "HKEY_CURRENT_USER"))
            return HKEY_CURRENT_USER;
        if (SameNoCase(name, "HKLM") || SameNoCase(name, "HKEY_LOCAL_MACHINE"))
            return HKEY_LOCAL_MACHINE;
        return std::nullopt;
    }

    bool Tokenize()
    {
        const char* p = m_text;
        // A script saved with a UTF-8 mark still starts with its first root.
        if (std::strncmp(p, "\xEF\xBB\xBF", 3) == 0)
            p += 3;
        while (*p) {
            const unsigned char ch = static_cast<unsigned char>(*p);
            if (std::isspace(ch)) {
                ++p;
            } else if (ch == '{' || ch == '}' || ch == '=') {
                m_tokens.push_back({ch == '{'   ? Token::Open
                                    : ch == '}' ? Token::Close
                                                : Token::Equals,
                                    std::string(1, *p)});
                ++p;
            } else if (ch == '\'') {
                // Quoted text; a doubled quote stands for one quote.
                std::string raw;
                ++p;
                for (;;) {
                    if (!*p)
                        return false;
                    if (*p == '\'' && p[1] == '\'') {
                        raw += '\'';
                        p += 2;
                    } else if (*p == '\'') {
                        ++p;
                        break;
                    } else {
                        raw += *p++;
                    }
                }
                std::string text;
                if (!Replace(raw, text))
                    return false;
                m_tokens.push_back({Token::Quoted, std::move(text)});
            } else {
                std::string raw;
                while (*p && !std::isspace(static_cast<unsigned char>(*p)) && *p != '{' &&
                       *p != '}' && *p != '=' && *p != '\'')
                    raw += *p++;
                std::string text;
                if (!Replace(raw, text))
                    return false;
                m_tokens.push_back({Token::Word, std::move(text)});
            }
        }
        return true;
    }

    bool Replace(const std::string& raw, std::string& text) const
    {
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '%') {
                text += raw[i];
                continue;
            }
            const size_t end = raw.find('%', i + 1);
            if (end == std::string::npos)
                return false;
            const std::string name = raw.substr(i + 1, end - i - 1);
            if (name.empty()) {
                text += '%';
            } else {
                bool found = false;
                for (const auto& [key, value] : m_replacements) {
                    if (SameNoCase(key, name.c_str())) {
                        text += value;
                        found = true;
                        break;
                    }
                }
                if (!found)
                    return false;
            }
            i = end;
        }
        return true;
    }

    bool Expect(Token::Kind kind)
    {
        if (m_next >= m_tokens.size() || m_tokens[m_next].kind != kind)
            return false;
        ++m_next;
        return true;
    }

    const Token* Peek() const { return m_next < m_tokens.size() ? &m_tokens[m_next] : nullptr; }

    bool ParseName(std::string& name)
    {
        const Token* token = Peek();
        if (!token || (token->kind != Token::Word && token->kind != Token::Quoted) ||
            token->text.empty())
            return false;
        name = token->text;
        ++m_next;
        return true;
    }

    // "= s 'text'" or "= d 'n'", the '=' already read.
    bool ParseData(Node& node)
    {
        const Token* type = Peek();
        if (!type || type->kind != Token::Word)
            return false;
        const bool isText = SameNoCase(type->text, "s");
        if (!isText && !SameNoCase(type->text, "d"))
            return false;
        ++m_next;
        const Token* data = Peek();
        if (!data || (data->kind != Token::Word && data->kind != Token::Quoted))
            return false;
        ++m_next;
        node.hasData = true;
        if (isText) {
            node.type = REG_SZ;
            node.text = data->text;
            return true;
        }
        node.type = REG_DWORD;
        return ParseNumber(data->text, node.number);
    }

    // Decimal, or hexadecimal after "0x"; the whole of it must fit 32 bits.
    static bool ParseNumber(const std::string& text, DWORD& number)
    {
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        const size_t first = hex ? 2 : 0;
        if (text.size() <= first)
            return false;
        unsigned long long value = 0;
        for (size_t i = first; i < text.size(); ++i) {
            const char ch = text[i];
            int digit;
            if (ch >= '0' && ch <= '9')
                digit = ch - '0';
            else if (hex && ch >= 'a' && ch <= 'f')
                digit = ch - 'a' + 10;
            else if (hex && ch >= 'A' && ch <= 'F')
                digit = ch - 'A' + 10;
            else
                return false;
            value = value * (hex ? 16 : 10) + digit;
            if (value > 0xFFFFFFFFull)
                return false;
        }
        number = static_cast<DWORD>(value);
        return true;
    }

    // Keys (and, below a key, named values) up to the closing brace.
    bool ParseBody(std::vector<Node>& children, bool valuesAllowed)
    {
        for (;;) {
            const Token* token = Peek();
            if (!token)
                return false;
            if (token->kind == Token::Close) {
                ++m_next;
                return true;
            }
            Node node;
            if (token->kind == Token::Word && SameNoCase(token->text, "val")) {
                if (!valuesAllowed)
                    return false;
                ++m_next;
                node.isValue = true;
                if (!ParseName(node.name) || !Expect(Token::Equals) || !ParseData(node))
                    return false;
                children.push_back(std::move(node));
                continue;
            }
            if (token->kind == Token::Word && SameNoCase(token->text, "NoRemove")) {
                node.removal = Node::NoRemove;
                ++m_next;
            } else if (token->kind == Token::Word && SameNoCase(token->text, "ForceRemove")) {
                node.removal = Node::ForceRemove;
                ++m_next;
            }
            if (!ParseName(node.name))
                return false;
            const Token* after = Peek();
            if (after && after->kind == Token::Equals) {
                ++m_next;
                if (!ParseData(node))
                    return false;
                after = Peek();
            }
            if (after && after->kind == Token::Open) {
                ++m_next;
                if (!ParseBody(node.children, true))
                    return false;
            }
            children.push_back(std::move(node));
        }
    }

    const char* m_text;
    const std::vector<std::pair<std::string, std::string>>& m_replacements;
    std::vector<Token> m_tokens;
    size_t m_next = 0;
};

HRESULT FromRegistry(LONG result)
{
    return result == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(result);
}

LONG WriteData(const CRegKey& key, const char* name, const Node& node)
{
    if (node.type == REG_DWORD)
        return key.SetValue(name, REG_DWORD, &node.number, sizeof node.number);
    return key.SetValue(name, REG_SZ, node.text.c_str(), static_cast<DWORD>(node.text.size() + 1));
}

HRESULT RegisterKey(HKEY parent, const Node& node)
{
    if (node.removal == Node::ForceRemove) {
        const LONG removed = SHDeleteKeyA(parent, node.name.c_str());
        if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND)
            return FromRegistry(removed);
    }
    CRegKey key;
    LONG result = key.Create(parent, node.name.c_str(), nullptr, KEY_ALL_ACCESS);
    if (result != ERROR_SUCCESS)
        return FromRegistry(result);
    if (node.hasData && (result = WriteData(key, nullptr, node)) != ERROR_SUCCESS)
        return FromRegistry(result);
    for (const Node& child : node.children) {
        if (child.isValue) {
            if ((result = WriteData(key, child.name.c_str(), child)) != ERROR_SUCCESS)
                return FromRegistry(result);
        } else if (HRESULT hr = RegisterKey(key.Get(), child); FAILED(hr)) {
            return hr;
        }
    }
    return S_OK;
}

bool IsMissing(LONG result)
{
    return result == ERROR_FILE_NOT_FOUND || result == ERROR_PATH_NOT_FOUND;
}

HRESULT UnregisterKey(HKEY parent, const Node& node)
{
    const bool keepsSomething = node.KeepsSomethingBelow();
    if (node.removal != Node::NoRemove && !keepsSomething) {
        const LONG removed = SHDeleteKeyA(parent, node.name.c_str());
        return IsMissing(removed) ? S_OK : FromRegistry(removed);
    }
    HRESULT first = S_OK;
    {
        CRegKey key;
        const LONG opened = key.Open(parent, node.name.c_str(), KEY_ALL_ACCESS);
        if (opened != ERROR_SUCCESS)
            return IsMissing(opened) ? S_OK : FromRegistry(opened);
        for (const Node& child : node.children) {
            HRESULT hr = S_OK;
            if (child.isValue) {
                const LONG deleted = key.DeleteValue(child.name.c_str());
                hr = IsMissing(deleted) ? S_OK : FromRegistry(deleted);
            } else {
                hr = UnregisterKey(key.Get(), child);
            }
            if (FAILED(hr) && first == S_OK)
                first = hr;
        }
    }
    // A removable key that holds a kept key goes only when nothing is left
    // below it; otherwise it stays, which is no failure.
    if (node.removal != Node::NoRemove) {
        CRegKey key;
        DWORD subkeys = 1;
        if (key.Open(parent, node.name.c_str(), KEY_READ) == ERROR_SUCCESS &&
            RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            subkeys == 0) {
            key.Close();
            const LONG removed = SHDeleteKeyA(parent, node.name.c_str());
            if (!IsMissing(removed) && removed != ERROR_SUCCESS && first == S_OK)
                first = FromRegistry(removed);
        }
    }
    return first;
}

} // namespace

void CRegScript::AddReplacement(const char* name, const char* value)
{
    m_replacements.emplace_back(name ? name : "", value ? value : "");
}

HRESULT CRegScript::Register(const char* script) const
{
    return Run(script, true);
}

HRESULT CRegScript::Unregister(const char* script) const
{
    return Run(script, false);
}

HRESULT CRegScript::Run(const char* script, bool registering) const
{
    if (!script)
        return E_POINTER;
    std::optional<std::vector<Root>> roots = Parser(script, m_replacements).Parse();
    if (!roots)
        return kScriptError;
    HRESULT first = S_OK;
    for (const Root& root : *roots) {
        for (const Node& node : root.children) {
            const HRESULT hr =
                registering ? RegisterKey(root.key, node) : UnregisterKey(root.key, node);
            if (FAILED(hr)) {
                if (registering)
                    return hr;
                if (first == S_OK)
                    first = hr;
            }
        }
    }
    return first;
}

bool CRegScript::LoadScript(HMODULE module, UINT id, std::string& script)
{
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), "REGISTRY");
    if (!found)
        return false;
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return false;
    // The resource is not zero-terminated: its size says where it ends.
    script.assign(static_cast<const char*>(bytes), SizeofResource(module, found));
    return true;
}

HRESULT CRegScript::RunResource(HMODULE module, UINT id, bool registering) const
{
    std::string script;
    if (!LoadScript(module, id, script))
        return HResultFromLastError();
    // A zero inside the resource would end the text early; take it as the end.
    return Run(script.c_str(), registering);
}
