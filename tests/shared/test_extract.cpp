// ExtractElementText: cutting one element's text out of a string without
// parsing it, as the SOAP code does with responses it only scans.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "shared/xml/XMLDoc.h"

TEST(ExtractElementText, Cases)
{
    struct Case {
        const char* label;
        const char* source;
        const char* name;
        int offset;
        int result;
        // On 0 the expectations are the untouched "junk" / starting offset.
        const char* text;
        int offsetAfter;
        const char* attributes;
    };
    const Case cases[] = {
        {"plain", "<a><b>hello</b></a>", "b", 0, 1, "hello", 15, ""},
        {"attributes", R"(<r><item id="7" kind="x">v</item></r>)", "item", 0, 1, "v", 33,
         R"( id="7" kind="x")"},
        {"tab and line feed after the name", "<b\tx=\"1\">t</b><b\ny>u</b>", "b", 0, 1, "t", 14,
         "\tx=\"1\""},
        {"nested same name", "<b>1<b>2</b>3</b>tail", "b", 0, 1, "1<b>2</b>3", 17, ""},
        {"nested with attributes", "<b>1<b c=\"2\">2</b>3</b>", "b", 0, 1, "1<b c=\"2\">2</b>3", 23,
         ""},
        {"longer name sharing the start", "<book>no</book><b>yes</b>", "b", 0, 1, "yes", 25, ""},
        {"only the longer name", "<bx>no</bx>", "b", 0, 0, "junk", 0, "junk"},
        {"self-closing", "<r><b/></r>", "b", 0, 1, "", 6, "/"},
        {"self-closing with attributes", R"(<b id="1" />)", "b", 0, 1, "", 11, R"( id="1" /)"},
        {"self-closing nested inside", "<b>x<b/>y</b>z", "b", 0, 1, "x<b/>y", 13, ""},
        {"self-closing nested with attributes", "<b>x<b k=\"v\"/>y</b>", "b", 0, 1,
         "x<b k=\"v\"/>y", 19, ""},
        {"end tag before any start tag", "</b><b>x</b>", "b", 0, 1, "x", 12, ""},
        {"second occurrence by offset", "<b>1</b><b>2</b>", "b", 8, 1, "2", 16, ""},
        {"offset inside the first element", "<b>1</b><b>2</b>", "b", 1, 1, "2", 16, ""},
        {"empty text", "<b></b>", "b", 0, 1, "", 7, ""},
        {"not there", "<a>x</a>", "b", 0, 0, "junk", 0, "junk"},
        {"start tag cut short", "<b id=\"1\"", "b", 0, 0, "junk", 0, "junk"},
        {"name at the very end", "<a><b", "b", 0, 0, "junk", 0, "junk"},
        {"nested start tag cut short", "<b>x<b id", "b", 0, 0, "junk", 0, "junk"},
        {"no end tag", "<b>text", "b", 0, 0, "junk", 0, "junk"},
        {"end tag cut short", "<b>text</b", "b", 0, 0, "junk", 0, "junk"},
        {"nested element left open", "<b>1<b>2</b>", "b", 0, 0, "junk", 0, "junk"},
        {"offset at the end", "<b>x</b>", "b", 8, 0, "junk", 8, "junk"},
        {"offset past the end", "<b>x</b>", "b", 99, 0, "junk", 99, "junk"},
        {"negative offset", "<b>x</b>", "b", -1, 0, "junk", -1, "junk"},
        {"null source", nullptr, "b", 0, 0, "junk", 0, "junk"},
        {"null name", "<b>x</b>", nullptr, 0, 0, "junk", 0, "junk"},
        {"empty name", "<b>x</b>", "", 0, 0, "junk", 0, "junk"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        CString text("junk");
        CString attributes("junk");
        int offset = c.offset;
        EXPECT_EQ(ExtractElementText(c.source, c.name, text, &offset, &attributes), c.result);
        EXPECT_EQ(text.str(), c.text);
        EXPECT_EQ(offset, c.offsetAfter);
        EXPECT_EQ(attributes.str(), c.attributes);
    }
}

TEST(ExtractElementText, OffsetsChainThroughEveryOccurrence)
{
    const char* source = "<list><v>1</v><v a=\"b\"/><v>3</v><vv>no</vv></list>";
    std::vector<std::string> found;
    int offset = 0;
    CString text;
    while (ExtractElementText(source, "v", text, &offset) == 1 && found.size() < 10)
        found.push_back(text.str());
    EXPECT_EQ(found, (std::vector<std::string>{"1", "", "3"}));
}

TEST(ExtractElementText, OptionalOutputsMayBeLeftOut)
{
    CString text;
    EXPECT_EQ(ExtractElementText("<x><Status a=\"1\">ok</Status></x>", "Status", text), 1);
    EXPECT_EQ(text.str(), "ok");
    EXPECT_EQ(ExtractElementText("<x><Status/></x>", "Status", text), 1);
    EXPECT_EQ(text.str(), "");
}
