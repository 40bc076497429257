#include "shared/service/SoapEnvelope.h"

#include "shared/xml/XmlEscape.h"

CString SoapEnvelopeHead(const char* method)
{
    CString head;
    head.Format("<SOAP-ENV:Envelope\n"
                "xmlns:SOAP-ENV=\"http://schemas.xmlsoap.org/soap/envelope/\"\n"
                "xmlns:SOAP-ENC=\"http://schemas.xmlsoap.org/soap/encoding/\"\n"
                "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"\n"
                "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"\n"
                "xmlns:m1=\"%s\">\n"
                "<SOAP-ENV:Body>\n"
                "<m:%s xmlns:m=\"%s\">\n",
                kServiceNamespace, method, kServiceNamespace);
    return head;
}

CString SoapElement(const char* name, const char* value)
{
    CString element;
    element.Format("<m:%s>%s</m:%s>\n", name, XmlEscaped(value).GetString(), name);
    return element;
}

CString SoapEnvelopeTail(const char* method)
{
    CString tail;
    tail.Format("</m:%s>\n</SOAP-ENV:Body>\n</SOAP-ENV:Envelope>\n", method);
    return tail;
}

CString SoapActionOf(const char* method)
{
    return CString(kServiceNamespace) + method;
}
