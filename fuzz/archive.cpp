// Opens any byte string as an archive and extracts every member with the CRC
// check: nothing may crash, hang or allocate beyond what the input allows.
#include "data/ZLBArchive.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    TReadOnlyMemoryStream source(data, static_cast<int64_t>(size));
    TZLBArchive archive;
    try {
        archive.OpenStream(source);
    } catch (const Exception&) {
        return 0;
    }
    archive.CheckCRC = true;
    for (int i = 0; i < archive.EntryCount(); ++i) {
        TZLBEntry entry = archive.GetEntry(i);
        if (entry.size > archive.MaxPlausibleSize(entry)) continue;
        try {
            TMemoryStream out;
            archive.ExtractStream(out, i);
        } catch (const Exception&) {
        }
    }
    (void)archive.IndexOf("ZUMBRIX.XML");
    return 0;
}
