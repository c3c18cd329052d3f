// The resource table built into an executable. The build embeds files with
// zumbrix_embed() (cmake/Zumbrix.cmake); each becomes a read-only block found
// by its (type, name) pair, e.g. ("PCK", "FILES") for the demo archive or
// ("flx", "sceneobj") for a loose data file. Blocks are used in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

struct TResourceBlock {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

// Finds a resource; type and name are compared without regard to ASCII case,
// as resource names are on the platform the data was made for.
// Returns nullptr when the executable carries no such resource.
const TResourceBlock* FindResource(std::string_view type, std::string_view name);

// Adds a block to the table. Generated code calls this through
// ResourceRegistration before main() runs; tests may call it directly.
void RegisterResource(std::string_view type, std::string_view name, const void* data, size_t size);

struct ResourceRegistration {
    ResourceRegistration(const char* type, const char* name, const void* data, size_t size) {
        RegisterResource(type, name, data, size);
    }
};
