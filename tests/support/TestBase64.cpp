#include "tests/support/TestBase64.h"

#include <cstring>

namespace standin {

static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Base64Encode(const std::string& bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned long group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[(group >> 18) & 63];
        out += kAlphabet[(group >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(group >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kAlphabet[group & 63] : '=';
    }
    return out;
}

std::string Base64RequestText(const std::string& bytes)
{
    const std::string text = Base64Encode(bytes);
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        switch (text[i]) {
        case '+':
            out += "&#43;";
            break;
        case '/':
            out += "&#47;";
            break;
        case '=':
            out += "&#61;";
            break;
        default:
            out += text[i];
        }
        if (i % 64 == 63 || i + 1 == text.size())
            out += '\n';
    }
    return out;
}

std::string Base64Decode(const std::string& text)
{
    std::string out;
    unsigned long group = 0;
    int bits = 0;
    for (char c : text) {
        const char* at = c ? strchr(kAlphabet, c) : nullptr;
        if (!at)
            continue; // padding and line ends
        group = (group << 6) | static_cast<unsigned long>(at - kAlphabet);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((group >> bits) & 0xFF);
        }
    }
    return out;
}

} // namespace standin
