#include "tests/support/Json.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace standin {

namespace {
const Json& NullJson()
{
    static const Json null;
    return null;
}

void AppendUtf8(std::string& out, unsigned long code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}
} // namespace

class JsonReader {
public:
    explicit JsonReader(const std::string& text) : m_text(text) {}

    bool Value(Json& out, int depth = 0)
    {
        Skip();
        if (m_pos >= m_text.size() || depth > 64)
            return false;
        char c = m_text[m_pos];
        if (c == '{')
            return Object(out, depth);
        if (c == '[')
            return Array(out, depth);
        if (c == '"') {
            out.m_type = Json::Type::String;
            return String(out.m_string);
        }
        if (Word("true")) {
            out.m_type = Json::Type::Bool;
            out.m_bool = true;
            return true;
        }
        if (Word("false")) {
            out.m_type = Json::Type::Bool;
            return true;
        }
        if (Word("null"))
            return true;
        return Number(out);
    }

    bool AtEnd()
    {
        Skip();
        return m_pos == m_text.size();
    }

private:
    void Skip()
    {
        while (m_pos < m_text.size() && strchr(" \t\r\n", m_text[m_pos]) && m_text[m_pos])
            ++m_pos;
    }

    bool Word(const char* word)
    {
        size_t n = strlen(word);
        if (m_text.compare(m_pos, n, word) != 0)
            return false;
        m_pos += n;
        return true;
    }

    bool Number(Json& out)
    {
        const char* start = m_text.c_str() + m_pos;
        char* end = nullptr;
        double value = strtod(start, &end);
        if (end == start)
            return false;
        m_pos += static_cast<size_t>(end - start);
        out.m_type = Json::Type::Number;
        out.m_number = value;
        return true;
    }

    bool Hex4(unsigned long& code)
    {
        if (m_pos + 4 > m_text.size())
            return false;
        code = 0;
        for (int i = 0; i < 4; ++i) {
            char c = m_text[m_pos++];
            code <<= 4;
            if (c >= '0' && c <= '9')
                code |= static_cast<unsigned long>(c - '0');
            else if (c >= 'a' && c <= 'f')
                code |= static_cast<unsigned long>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                code |= static_cast<unsigned long>(c - 'A' + 10);
            else
                return false;
        }
        return true;
    }

    bool String(std::string& out)
    {
        ++m_pos; // the opening quote
        while (m_pos < m_text.size()) {
            char c = m_text[m_pos++];
            if (c == '"')
                return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (m_pos >= m_text.size())
                return false;
            char e = m_text[m_pos++];
            switch (e) {
            case '"':
                out += '"';
                break;
            case '\\':
                out += '\\';
                break;
            case '/':
                out += '/';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'u': {
                unsigned long code = 0;
                if (!Hex4(code))
                    return false;
                if (code >= 0xD800 && code < 0xDC00 && m_text.compare(m_pos, 2, "\\u") == 0) {
                    m_pos += 2;
                    unsigned long low = 0;
                    if (!Hex4(low))
                        return false;
                    code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
                }
                AppendUtf8(out, code);
                break;
            }
            default:
                return false;
            }
        }
        return false;
    }

    bool Array(Json& out, int depth)
    {
        ++m_pos;
        out.m_type = Json::Type::Array;
        Skip();
        if (m_pos < m_text.size() && m_text[m_pos] == ']') {
            ++m_pos;
            return true;
        }
        for (;;) {
            out.m_items.emplace_back();
            if (!Value(out.m_items.back(), depth + 1))
                return false;
            Skip();
            if (m_pos >= m_text.size())
                return false;
            char c = m_text[m_pos++];
            if (c == ']')
                return true;
            if (c != ',')
                return false;
        }
    }

    bool Object(Json& out, int depth)
    {
        ++m_pos;
        out.m_type = Json::Type::Object;
        Skip();
        if (m_pos < m_text.size() && m_text[m_pos] == '}') {
            ++m_pos;
            return true;
        }
        for (;;) {
            Skip();
            if (m_pos >= m_text.size() || m_text[m_pos] != '"')
                return false;
            out.m_keys.emplace_back();
            if (!String(out.m_keys.back()))
                return false;
            Skip();
            if (m_pos >= m_text.size() || m_text[m_pos++] != ':')
                return false;
            out.m_items.emplace_back();
            if (!Value(out.m_items.back(), depth + 1))
                return false;
            Skip();
            if (m_pos >= m_text.size())
                return false;
            char c = m_text[m_pos++];
            if (c == '}')
                return true;
            if (c != ',')
                return false;
        }
    }

    const std::string& m_text;
    size_t m_pos = 0;
};

Json Json::Parse(const std::string& text, bool* ok)
{
    Json value;
    JsonReader reader(text);
    bool parsed = reader.Value(value) && reader.AtEnd();
    if (ok)
        *ok = parsed;
    return parsed ? value : Json();
}

const Json& Json::operator[](size_t index) const
{
    return m_type == Type::Array && index < m_items.size() ? m_items[index] : NullJson();
}

const Json& Json::operator[](const char* key) const
{
    for (size_t i = 0; i < m_keys.size(); ++i)
        if (m_keys[i] == key)
            return m_items[i];
    return NullJson();
}

bool Json::Has(const char* key) const
{
    for (const std::string& name : m_keys)
        if (name == key)
            return true;
    return false;
}

std::string JsonQuote(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

} // namespace standin
