// The JSON of the stand-in service's control interface: a reader of whole
// values for its answers and the quoting of strings for the requests.
#pragma once

#include <string>
#include <vector>

namespace standin {

// A JSON value, parsed from the control interface's answers. Strings are
// UTF-8; a missing member or index reads as a null value.
class Json {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    // Null (and *ok false) when the text is not one complete JSON value.
    static Json Parse(const std::string& text, bool* ok = nullptr);

    Type GetType() const { return m_type; }
    bool IsNull() const { return m_type == Type::Null; }
    bool Bool() const { return m_bool; }
    double Number() const { return m_number; }
    int Int() const { return static_cast<int>(m_number); }
    const std::string& Str() const { return m_string; }
    size_t Size() const { return m_items.size(); }
    const Json& operator[](size_t index) const;
    const Json& operator[](const char* key) const;
    bool Has(const char* key) const;
    const std::vector<Json>& Items() const { return m_items; }
    const std::vector<std::string>& Keys() const { return m_keys; }

private:
    friend class JsonReader;
    Type m_type = Type::Null;
    bool m_bool = false;
    double m_number = 0;
    std::string m_string;
    std::vector<Json> m_items;       // array items, or object member values
    std::vector<std::string> m_keys; // object member names, beside m_items
};

// A JSON string literal (quotes included) of UTF-8 text.
std::string JsonQuote(const std::string& text);

} // namespace standin
