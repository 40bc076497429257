// The addresses a template's placeholder signers carry. They stand for "the
// sending user" and "the mail's recipient" and are replaced when a request
// is made from the template; example.com is reserved, so they never reach
// anyone.
#pragma once

inline constexpr const char* kSampleSenderAddress = "sender@example.com";
inline constexpr const char* kSampleRecipientAddress = "recipient@example.com";
