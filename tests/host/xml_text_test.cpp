#include "host/xml_text.h"

#include <gtest/gtest.h>

#include <string_view>
#include <tinyxml.h>

TEST(ParseXmlText, NeverReadsPastTheEndOfTheText)
{
    // A 4-byte UTF-8 lead byte right at the end. The memory after the text holds what
    // would close the elements, had the parser stepped over the end into it.
    const char memory[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><r><x>\xF0\0\0</x></r>";
    const std::string_view text(memory, std::string_view(memory).size());
    TiXmlDocument doc;
    EXPECT_FALSE(ParseXmlText(doc, text));
    TiXmlPrinter printer;
    doc.Accept(&printer);
    EXPECT_EQ(std::string_view(printer.CStr()).find("/x&gt;"), std::string_view::npos)
        << printer.CStr();
}

TEST(ParseXmlText, ReplacesWhatTheDocumentHeld)
{
    TiXmlDocument doc;
    ASSERT_TRUE(ParseXmlText(doc, "<a/>"));
    EXPECT_FALSE(ParseXmlText(doc, "<b"));
    ASSERT_TRUE(ParseXmlText(doc, "<c first=\"1\"/><!-- tail -->"));
    ASSERT_NE(doc.FirstChildElement(), nullptr);
    EXPECT_STREQ(doc.FirstChildElement()->Value(), "c");
    EXPECT_EQ(doc.FirstChildElement()->NextSiblingElement(), nullptr);
    // Text that is not NUL-terminated where the view ends.
    const std::string_view view("<d/>garbage", 4);
    ASSERT_TRUE(ParseXmlText(doc, view));
    EXPECT_STREQ(doc.FirstChildElement()->Value(), "d");
}
