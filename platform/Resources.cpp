#include "platform/Resources.h"

#include <string>
#include <vector>

namespace {

struct Entry {
    std::string type;
    std::string name;
    TResourceBlock block;
};

std::vector<Entry>& Table() {
    static std::vector<Entry> table;
    return table;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
        if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
        if (x != y) return false;
    }
    return true;
}

} // namespace

void RegisterResource(std::string_view type, std::string_view name, const void* data, size_t size) {
    for (Entry& e : Table()) {
        if (SameIgnoringAsciiCase(e.type, type) && SameIgnoringAsciiCase(e.name, name)) {
            e.block = {static_cast<const uint8_t*>(data), size};
            return;
        }
    }
    Table().push_back({std::string(type), std::string(name), {static_cast<const uint8_t*>(data), size}});
}

const TResourceBlock* FindResource(std::string_view type, std::string_view name) {
    for (const Entry& e : Table()) {
        if (SameIgnoringAsciiCase(e.type, type) && SameIgnoringAsciiCase(e.name, name)) return &e.block;
    }
    return nullptr;
}
