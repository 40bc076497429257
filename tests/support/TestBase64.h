// The tests' own base64 (RFC 4648, "+/" with "=" padding), for what the
// stand-in service hands over encoded. Kept apart from the system's
// Base64Coder on purpose: where a test decodes what the system encoded, a
// fault of the coder must not hide by agreeing with itself.
#pragma once

#include <string>

namespace standin {

std::string Base64Encode(const std::string& bytes);
// A document as a request carries it: its base64 in lines of 64 characters,
// each closed by "\n", with "+", "/" and "=" as the references "&#43;",
// "&#47;" and "&#61;".
std::string Base64RequestText(const std::string& bytes);
// Skips whatever is not of the alphabet (padding, line ends).
std::string Base64Decode(const std::string& text);

} // namespace standin
