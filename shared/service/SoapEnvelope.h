// The SOAP 1.1 request text every service method is sent in: the envelope
// head, the method element in the service namespace, one line per request
// element, and the closing markup.
#pragma once

#include "classlib/strings/CString.h"

// The namespace of the service's methods; every SOAPAction is this followed
// by the method name.
inline constexpr const char* kServiceNamespace = "http://secure.quillet.com/services/";

// The envelope and body start tags and the method's start tag, each line
// ending in "\n".
CString SoapEnvelopeHead(const char* method);
// "<m:name>value</m:name>\n" with the value escaped, so no value can break
// or alter the envelope.
CString SoapElement(const char* name, const char* value);
// The method's, the body's and the envelope's end tags.
CString SoapEnvelopeTail(const char* method);
// The SOAPAction of a method.
CString SoapActionOf(const char* method);
