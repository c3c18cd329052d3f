// The lenient XML scanner: part kinds, positions, the attribute state machine
// with its broken-tag rules, references, the encoding translation and
// unterminated constructs.
#include "script/XmlParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Part {
    TXmlPartType type;
    std::string name, content;
    size_t start, final;
    std::vector<std::pair<std::string, std::string>> attrs;
};

std::vector<Part> Scan(const std::string& text) {
    TXmlParser scanner;
    scanner.SetBuffer(text);
    scanner.Rewind();
    std::vector<Part> parts;
    while (scanner.Next()) {
        Part p{scanner.CurPartType(), std::string(scanner.CurName()),
               scanner.CurContent(),  scanner.CurStart(),
               scanner.CurFinal(),    {}};
        for (size_t i = 0; i < scanner.CurAttr().Count(); ++i)
            p.attrs.emplace_back(scanner.CurAttr()[i].Name, scanner.CurAttr()[i].Value);
        parts.push_back(p);
    }
    return parts;
}

TEST(XmlScanner, PartKindsAndPositions) {
    std::string doc = "<?pi body here?><!-- c --><!DOCTYPE demo [<!ELEMENT a (b)>]><![CDATA[ <x> ]]>"
                      "<a k=\"v\">  some   text\n here </a><b/>";
    auto parts = Scan(doc);
    ASSERT_EQ(parts.size(), 8u);
    EXPECT_EQ(parts[0].type, ptPI);
    EXPECT_EQ(parts[0].name, "pi");
    EXPECT_EQ(parts[0].content, "body here");
    EXPECT_EQ(parts[1].type, ptComment);
    EXPECT_EQ(doc.substr(parts[1].start, parts[1].final - parts[1].start + 1), "<!-- c -->");
    EXPECT_EQ(parts[2].type, ptDtdc);
    EXPECT_EQ(parts[2].name, "demo");
    EXPECT_EQ(doc[parts[2].final], '>');
    EXPECT_EQ(doc[parts[2].final - 1], ']');
    EXPECT_EQ(parts[3].type, ptCData);
    EXPECT_EQ(parts[3].content, " <x> ");
    EXPECT_EQ(parts[4].type, ptStartTag);
    EXPECT_EQ(parts[4].name, "a");
    EXPECT_EQ(parts[5].type, ptContent);
    EXPECT_EQ(parts[5].content, "some text here");
    EXPECT_EQ(parts[6].type, ptEndTag);
    EXPECT_EQ(parts[6].name, "a");
    EXPECT_EQ(parts[7].type, ptEmptyTag);
    EXPECT_EQ(parts[7].name, "b");
    // Parts tile the text: each starts right after the previous one ends
    // (whitespace between tags is no part).
    for (size_t i = 1; i < parts.size(); ++i)
        EXPECT_GT(parts[i].start, parts[i - 1].final);
    EXPECT_EQ(parts.back().final, doc.size() - 1);
}

TEST(XmlScanner, WhitespaceAndSmallDocuments) {
    EXPECT_TRUE(Scan(" \t\r\n ").empty());
    EXPECT_TRUE(Scan("").empty());
    auto parts = Scan("<!-- x --> <a/>");
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[0].type, ptComment);
    EXPECT_EQ(parts[1].type, ptEmptyTag);
    // The text ends at its first zero byte.
    EXPECT_EQ(Scan(std::string("<a/>\0<b/>", 9)).size(), 1u);
}

TEST(XmlScanner, BrokenTagNamesSwitchElementsOff) {
    // "p art" is a tag named p; "art" takes the next quoted value.
    auto parts = Scan("<p art name=\"intro\" start=\"1\" stop=\"2\"/>");
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].type, ptEmptyTag);
    EXPECT_EQ(parts[0].name, "p");
    ASSERT_EQ(parts[0].attrs.size(), 3u);
    EXPECT_EQ(parts[0].attrs[0], (std::pair<std::string, std::string>{"art", "intro"}));
    EXPECT_EQ(parts[0].attrs[1].first, "start");
    EXPECT_EQ(parts[0].attrs[2].first, "stop");

    // A bare name before "/": the slash is skipped while "=" is awaited, so
    // this is a start tag without attributes.
    parts = Scan("<a flag/>");
    EXPECT_EQ(parts[0].type, ptStartTag);
    EXPECT_TRUE(parts[0].attrs.empty());

    // An unquoted value: the first name gets the second value.
    parts = Scan("<a x=1 y=\"2\">");
    ASSERT_EQ(parts[0].attrs.size(), 1u);
    EXPECT_EQ(parts[0].attrs[0], (std::pair<std::string, std::string>{"x", "2"}));

    // "=" does not end a tag name; spaces before ">" change nothing.
    EXPECT_EQ(Scan("<a=b>")[0].name, "a=b");
    EXPECT_EQ(Scan("</a >")[0].type, ptEndTag);
    EXPECT_EQ(Scan("<a >")[0].type, ptStartTag);
    // An end tag that stops at "/" becomes an empty-element tag.
    EXPECT_EQ(Scan("</a/>")[0].type, ptEmptyTag);
    // A lower-case doctype keyword makes a start tag named "!doctype".
    EXPECT_EQ(Scan("<!doctype x>")[0].name, "!doctype");
    EXPECT_EQ(Scan("<!doctype x>")[0].type, ptStartTag);
}

TEST(XmlScanner, AttributeValues) {
    auto parts = Scan("<a s='say \"hi\"' d=\"it's\" t=\" 1\t2\n\">");
    ASSERT_EQ(parts[0].attrs.size(), 3u);
    // Sorted by name in byte order.
    EXPECT_EQ(parts[0].attrs[0], (std::pair<std::string, std::string>{"d", "it's"}));
    EXPECT_EQ(parts[0].attrs[1], (std::pair<std::string, std::string>{"s", "say \"hi\""}));
    EXPECT_EQ(parts[0].attrs[2],
              (std::pair<std::string, std::string>{"t", " 1 2 "})); // each whitespace a space

    parts = Scan("<a r=\"&#65;&#x42;&lt;&gt;&amp;&apos;&quot;&nbsp;&#zz;&#x;\">");
    EXPECT_EQ(parts[0].attrs[0].second, std::string("AB<>&'\"&nbsp; ") + '\0');
    EXPECT_EQ(Scan("<a r=\"&#321;\">")[0].attrs[0].second, "A"); // low 8 bits of 321
    EXPECT_EQ(Scan("<a r=\"a & b &amp\">")[0].attrs[0].second, "a & b &amp");
    // End tags keep values as written, unless the tag turns out empty.
    EXPECT_EQ(Scan("</a r=\"&lt;\">")[0].attrs[0].second, "&lt;");
    EXPECT_EQ(Scan("</a r=\"&lt;\"/>")[0].attrs[0].second, "<");
    // Many translated values in one tag all stay readable.
    std::string many = "<a";
    for (int i = 0; i < 40; ++i)
        many += " v" + std::to_string(100 + i) + "=\"&#" + std::to_string(65 + i % 26) + ";\tx\"";
    parts = Scan(many + "/>");
    ASSERT_EQ(parts[0].attrs.size(), 40u);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(parts[0].attrs[i].second, std::string(1, static_cast<char>('A' + i % 26)) + " x");

    TXmlParser scanner;
    scanner.SetBuffer("<a z=\"1\" b=\"\" b=\"2\">");
    scanner.Rewind();
    ASSERT_TRUE(scanner.Next());
    EXPECT_EQ(scanner.CurAttr().Value("z"), "1");
    EXPECT_EQ(scanner.CurAttr().Value("missing"), "");
    EXPECT_EQ(scanner.CurAttr().Value("Z"), ""); // case-sensitive
    EXPECT_EQ(scanner.CurAttr().Count(), 3u);    // a repeated name keeps both entries
}

TEST(XmlScanner, TextReferencesAndNormalisation) {
    auto parts = Scan("<a>  x &lt; y &#x;z&#q;  </a>");
    EXPECT_EQ(parts[1].content, "x < y z"); // both bad references become spaces, then collapse
    // Only "<" ends text; ">" is an ordinary character there.
    EXPECT_EQ(Scan("a > b")[0].content, "a > b");
}

TEST(XmlScanner, EncodingTranslation) {
    // Without a declaration bytes are taken as they are.
    EXPECT_EQ(Scan("<a v=\"\xC3\xA9\">")[0].attrs[0].second, "\xC3\xA9");
    // With a UTF-8 declaration (or one without an encoding) text and values
    // become Windows-1252.
    auto parts = Scan(
        "<?xml version=\"1.0\"?><a v=\"\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD\xF0\x9F\x98\x80\">caf\xC3\xA9</a>");
    ASSERT_EQ(parts.size(), 4u);
    EXPECT_EQ(parts[0].type, ptXmlDecl);
    EXPECT_EQ(parts[1].attrs[0].second, "\xE9\x80\xBF\xBF");
    EXPECT_EQ(parts[2].content, "caf\xE9");
    // Another encoding name, even "utf-8" in lower case, means no translation.
    EXPECT_EQ(Scan("<?xml encoding=\"utf-8\"?><a v=\"\xC3\xA9\">")[1].attrs[0].second, "\xC3\xA9");

    TXmlParser scanner;
    scanner.SetBuffer("<?xml version=\"1.0\" standalone=\"yes\"?>");
    scanner.Rewind();
    ASSERT_TRUE(scanner.Next());
    EXPECT_EQ(scanner.DocEncoding(), "UTF-8");
    EXPECT_EQ(scanner.DocVersion(), "1.0");
    EXPECT_TRUE(scanner.DocStandalone());
}

TEST(XmlScanner, UnterminatedConstructsSwallowTheRest) {
    std::string doc = "<a/><!-- open <b/> -- > <c/>";
    auto parts = Scan(doc);
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1].type, ptComment);
    EXPECT_EQ(parts[1].final, doc.size() - 1);
    // A comment holding a whole element, double hyphens and quotes is one part.
    parts = Scan("<!-- <property name=\"x\" value='1'/> -- \" --><z/>");
    ASSERT_EQ(parts.size(), 2u);
    EXPECT_EQ(parts[1].name, "z");
    // "<!-->" does not close itself.
    EXPECT_EQ(Scan("<!--><a/>-->").size(), 1u);

    doc = "<a v=\"never closed><b/>";
    parts = Scan(doc);
    ASSERT_EQ(parts.size(), 1u);
    EXPECT_EQ(parts[0].attrs[0].second, "never closed><b/>");
    EXPECT_EQ(parts[0].final, doc.size() - 1);

    EXPECT_EQ(Scan("<![CDATA[ abc").at(0).content, " abc");
    EXPECT_EQ(Scan("<?pi abc").at(0).content, "abc");
    EXPECT_EQ(Scan("<?xml version='1'").at(0).type, ptXmlDecl);
    EXPECT_EQ(Scan("<a").at(0).name, "a");
    EXPECT_EQ(Scan("<").at(0).name, "");
    EXPECT_EQ(Scan("</").at(0).type, ptEndTag);
    EXPECT_EQ(Scan("<!DOCTYPE x [ <!ENTITY y '>'> ").size(), 1u);
}

TEST(XmlScanner, RewindAndNextAtEnd) {
    TXmlParser scanner;
    scanner.SetBuffer("<a/><b/>");
    scanner.Rewind();
    ASSERT_TRUE(scanner.Next());
    ASSERT_TRUE(scanner.Next());
    EXPECT_FALSE(scanner.Next());
    EXPECT_EQ(scanner.CurName(), "b"); // unchanged at the end
    EXPECT_EQ(scanner.CurPartType(), ptEmptyTag);
    scanner.Rewind();
    EXPECT_EQ(scanner.CurPartType(), ptNone);
    ASSERT_TRUE(scanner.Next());
    EXPECT_EQ(scanner.CurName(), "a");
}

TEST(XmlScanner, LongValuesAndManyAttributesScanInLinearTime) {
    // Megabyte-long values, references and attribute lists: each must scan in
    // well under a second on any machine; a quadratic scan would take minutes.
    std::string big(4 << 20, 'x');
    std::string amps(1 << 20, '&');
    std::string many;
    for (int i = 0; i < 100000; ++i)
        many += " a" + std::to_string(i % 997) + "=\"v\"";
    EXPECT_EQ(Scan("<a v=\"" + big + "\"/>")[0].attrs[0].second.size(), big.size());
    EXPECT_EQ(Scan("<a v=\"" + amps + "\"/>")[0].attrs[0].second.size(), amps.size());
    EXPECT_EQ(Scan("<a" + many + "/>")[0].attrs.size(), 100000u);
    EXPECT_EQ(Scan("<!--" + big).size(), 1u);
    EXPECT_EQ(Scan(big + "<a/>")[0].content.size(), big.size());
    EXPECT_EQ(Scan("<a " + big + ">").size(), 1u);
}

} // namespace
