// Fuzzes the lenient XML scanner: any bytes must scan to the end with every
// part inside the buffer and the parts in order.
#include "script/XmlParser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TXmlParser scanner;
    scanner.SetBuffer(std::string_view(reinterpret_cast<const char*>(data), size));
    scanner.Rewind();
    size_t previousFinal = 0;
    bool first = true;
    while (scanner.Next()) {
        if (scanner.CurFinal() >= scanner.Size() || scanner.CurStart() > scanner.CurFinal()) std::abort();
        if (!first && scanner.CurStart() <= previousFinal) std::abort();
        previousFinal = scanner.CurFinal();
        first = false;
        const TAttrList& attrs = scanner.CurAttr();
        for (size_t i = 0; i < attrs.Count(); ++i)
            (void)attrs.Value(attrs[i].Name);
    }
    return 0;
}
