// mirel eval / xml / script: evaluate an expression, list a document's
// scanner parts, dump a demo script's document model.
#include "tools/mirel/Mirel.h"

#include "platform/Format.h"
#include "script/Parser.h"
#include "script/XmlParser.h"

#include <cstdio>
#include <string>

namespace {

int Eval(const MirelArgs& args) {
    if (args.size() != 1) return MirelUsage("eval EXPR");
    TParser parser;
    parser.SetExpression(args[0]);
    double value = static_cast<double>(parser.GetValue());
    if (value == 0) value = 0; // print a negative zero as 0
    std::printf("%.17g\n", value);
    return 0;
}

int Xml(const MirelArgs& args) {
    if (args.size() != 1) return MirelUsage("xml FILE");
    std::vector<uint8_t> bytes = ReadWholeFile(args[0]);
    TXmlParser scanner;
    scanner.SetBuffer(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    scanner.Rewind();
    std::string line;
    while (scanner.Next()) {
        line = "{\"kind\": " + JsonString(XmlPartTypeName(scanner.CurPartType()));
        line += ", \"name\": " + JsonString(scanner.CurName());
        line += ", \"content\": " + JsonString(scanner.CurContent());
        line +=
            Format(", \"start\": %zu, \"final\": %zu, \"attrs\": [", scanner.CurStart(), scanner.CurFinal());
        const TAttrList& attrs = scanner.CurAttr();
        for (size_t i = 0; i < attrs.Count(); ++i) {
            if (i) line += ", ";
            line += "[" + JsonString(attrs[i].Name) + ", " + JsonString(attrs[i].Value) + "]";
        }
        line += "]}\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return 0;
}

MirelCommandRegistration evalCommand("eval", "eval EXPR", Eval);
MirelCommandRegistration xmlCommand("xml", "xml FILE", Xml);

} // namespace
