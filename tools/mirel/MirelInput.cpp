// Input checks and error messages of the mirel commands that read files.
#include "tools/mirel/MirelInput.h"

#include "data/Stream.h"
#include "platform/Exception.h"
#include "platform/Format.h"
#include "script/XmlParser.h"

std::string MessageNamingFile(const std::string& file, const std::string& message) {
    std::string line = OneLineMessage(message);
    if (line.empty()) line = "failed";
    // A loader that names the file by the name it opened it by (its folder
    // left to the data source) is given the path the user typed instead.
    const size_t slash = file.find_last_of('/');
    if (slash != std::string::npos) {
        const std::string base = file.substr(slash + 1) + ": ";
        if (line.rfind(base, 0) == 0) line = file + ": " + line.substr(base.size());
    }
    // The ways the system's own messages name a file; a name that merely
    // occurs in the text ("empty input file" for a file named "empty") does not count.
    const bool named = file.empty() || line.rfind(file + ":", 0) == 0 ||
                       line.find("\"" + file + "\"") != std::string::npos ||
                       line.find("named " + file) != std::string::npos ||
                       line.find("file " + file + " ") != std::string::npos;
    return named ? line : file + ": " + line;
}

int RunNamingFile(const std::string& file, const std::function<int()>& work) {
    try {
        return work();
    } catch (const std::exception& e) {
        throw Exception(MessageNamingFile(file, e.what()));
    }
}

std::vector<uint8_t> ReadInputFile(const std::string& path) {
    TFileStream stream(path, TFileStream::fmOpenRead); // names the file when it cannot open it
    const int64_t size = stream.GetSize();
    if (size == 0) throw Exception(Format("%s: the file is empty", path.c_str()));
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    stream.ReadBuffer(bytes.data(), size);
    return bytes;
}

namespace {

// Whether a part of the scanner is closed by the byte sequence that ends its kind.
bool PartIsClosed(TXmlPartType type, std::string_view text) {
    auto endsWith = [&](std::string_view end) {
        return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
    };
    switch (type) {
    case ptComment:
        return text.size() >= 7 && endsWith("-->");
    case ptCData:
        return endsWith("]]>");
    case ptXmlDecl:
    case ptPI:
        return endsWith("?>");
    case ptContent:
        return true;
    default:
        return text.size() >= 2 && endsWith(">");
    }
}

// What a part kind is called in messages.
const char* PartWord(TXmlPartType type) {
    switch (type) {
    case ptComment:
        return "comment";
    case ptCData:
        return "CDATA section";
    case ptXmlDecl:
    case ptPI:
        return "processing instruction";
    case ptDtdc:
        return "DOCTYPE declaration";
    default:
        return "tag";
    }
}

} // namespace

void CheckMarkupText(const std::string& file, const std::vector<uint8_t>& bytes) {
    const char* name = file.c_str();
    if (bytes.empty()) throw Exception(Format("%s: the file is empty", name));
    for (size_t i = 0; i < bytes.size(); i++) {
        uint8_t c = bytes[i];
        if ((c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f') || c == 0x7F)
            throw Exception(Format("%s: not a text file (byte 0x%02X at offset %zu)", name, c, i));
    }
    TXmlParser scanner;
    scanner.SetBuffer(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    scanner.Rewind();
    std::vector<std::string> open; // the elements opened and not yet closed
    while (scanner.Next()) {
        const TXmlPartType type = scanner.CurPartType();
        const size_t start = scanner.CurStart(), final = scanner.CurFinal();
        std::string_view text(scanner.Buffer() + start, final < scanner.Size() ? final - start + 1 : 0);
        if (!PartIsClosed(type, text))
            throw Exception(
                Format("%s: the text ends inside the %s at offset %zu", name, PartWord(type), start));
        if (type == ptStartTag) {
            open.emplace_back(scanner.CurName());
        } else if (type == ptEndTag) {
            // A stray end tag is left to the lenient reader; one that closes
            // an element closes whatever was opened inside it as well.
            for (size_t k = open.size(); k-- > 0;)
                if (open[k] == scanner.CurName()) {
                    open.resize(k);
                    break;
                }
        }
    }
    if (!open.empty())
        throw Exception(Format("%s: the text ends before <%s> is closed", name, open.front().c_str()));
}
