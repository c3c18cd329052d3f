// Bundles: a copy of the zumbrix program with a demo archive appended, made by
// `mirel bundle`, so that a demo travels as one executable file.
//
// Layout of the file:
//
//   [the program, exactly as the linker wrote it]
//   [the archive]                        archiveSize bytes
//   [the title, UTF-8, no terminator]    titleSize bytes (0: the usual caption)
//   [trailer, 32 bytes, little-endian]   u64 archiveOffset, u64 archiveSize,
//                                        u32 titleSize, u32 version,
//                                        8 bytes "ZMBXBNDL"
//
// The program's own extent is known from its ELF headers, so anything after
// it must be a whole bundle: a file that was cut or damaged after the program
// is reported, never silently played with the built-in archive instead.
// The archive carries its own CRC, which opening it checks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr char kBundleMagic[8] = {'Z', 'M', 'B', 'X', 'B', 'N', 'D', 'L'};
constexpr uint32_t kBundleVersion = 1;
constexpr size_t kBundleTrailerSize = 32;
constexpr size_t kBundleMaxTitle = 1024;

// The bundle the running program carries.
struct TBundle {
    bool present = false;             // something is appended to the program
    std::string path;                 // the program file, as its messages name it
    std::string error;                // not empty: appended bytes that are no whole bundle
    std::string title;                // the window caption it asks for ("" for the usual)
    const uint8_t* archive = nullptr; // mapped read-only for the whole run
    size_t archiveSize = 0;
};

// Looks at the running program's file once (later calls return the same
// record). Never raises: a damaged bundle is described by its error.
const TBundle& ProgramBundle();

// The bytes an ELF executable's headers account for (headers, segments,
// sections and the section table): where a bundle's archive begins. Raises
// EPlatformError naming `name` when the bytes are no 64-bit ELF file.
uint64_t ElfExtent(const uint8_t* data, size_t size, const std::string& name);

// The 32-byte trailer for an archive at archiveOffset.
std::string BundleTrailer(uint64_t archiveOffset, uint64_t archiveSize, uint32_t titleSize);

// Reads a bundle's parts from a whole file in memory: false when nothing is
// appended to the program; raises EPlatformError naming `name` when what is
// appended is no whole bundle.
bool ParseBundle(const uint8_t* data, size_t size, const std::string& name, uint64_t& archiveOffset,
                 uint64_t& archiveSize, std::string_view& title);
