#include "platform/Bundle.h"

#include "platform/Exception.h"
#include "platform/Format.h"

#include <algorithm>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

uint64_t Little64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 7; i >= 0; i--)
        v = (v << 8) | p[i];
    return v;
}

uint32_t Little32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutLittle(std::string& out, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; i++)
        out += char((v >> (8 * i)) & 0xff);
}

// end = offset + count * each, or false when that overflows.
bool TableEnd(uint64_t offset, uint64_t count, uint64_t each, uint64_t& end) {
    if (each != 0 && count > (UINT64_MAX - offset) / each) return false;
    end = offset + count * each;
    return true;
}

std::string ProgramPath() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "zumbrix";
    return std::string(buffer, size_t(n));
}

} // namespace

uint64_t ElfExtent(const uint8_t* data, size_t size, const std::string& name) {
    Elf64_Ehdr header;
    if (size < sizeof header || std::memcmp(data, ELFMAG, SELFMAG) != 0 || data[EI_CLASS] != ELFCLASS64)
        throw EPlatformError(Format("%s: is no 64-bit ELF program", name.c_str()));
    std::memcpy(&header, data, sizeof header);
    auto cut = [&] {
        return EPlatformError(Format(
            "%s: the program is cut short (its headers reach past the end of the file)", name.c_str()));
    };
    uint64_t extent = header.e_ehsize, end = 0;
    if (header.e_phnum != 0) {
        if (header.e_phentsize < sizeof(Elf64_Phdr) ||
            !TableEnd(header.e_phoff, header.e_phnum, header.e_phentsize, end) || end > size)
            throw cut();
        extent = std::max(extent, end);
        for (uint64_t i = 0; i < header.e_phnum; i++) {
            Elf64_Phdr ph;
            std::memcpy(&ph, data + header.e_phoff + i * header.e_phentsize, sizeof ph);
            if (!TableEnd(ph.p_offset, 1, ph.p_filesz, end)) throw cut();
            extent = std::max(extent, end);
        }
    }
    if (header.e_shnum != 0) {
        if (header.e_shentsize < sizeof(Elf64_Shdr) ||
            !TableEnd(header.e_shoff, header.e_shnum, header.e_shentsize, end) || end > size)
            throw cut();
        extent = std::max(extent, end);
        for (uint64_t i = 0; i < header.e_shnum; i++) {
            Elf64_Shdr sh;
            std::memcpy(&sh, data + header.e_shoff + i * header.e_shentsize, sizeof sh);
            if (sh.sh_type == SHT_NOBITS) continue;
            if (!TableEnd(sh.sh_offset, 1, sh.sh_size, end)) throw cut();
            extent = std::max(extent, end);
        }
    }
    if (extent > size) throw cut();
    return extent;
}

std::string BundleTrailer(uint64_t archiveOffset, uint64_t archiveSize, uint32_t titleSize) {
    std::string trailer;
    PutLittle(trailer, archiveOffset, 8);
    PutLittle(trailer, archiveSize, 8);
    PutLittle(trailer, titleSize, 4);
    PutLittle(trailer, kBundleVersion, 4);
    trailer.append(kBundleMagic, sizeof kBundleMagic);
    return trailer;
}

bool ParseBundle(const uint8_t* data, size_t size, const std::string& name, uint64_t& archiveOffset,
                 uint64_t& archiveSize, std::string_view& title) {
    const uint64_t program = ElfExtent(data, size, name);
    if (program == size) return false;
    const uint64_t appended = size - program;
    const uint8_t* trailer = data + size - std::min<uint64_t>(appended, kBundleTrailerSize);
    if (appended < kBundleTrailerSize || std::memcmp(trailer + 24, kBundleMagic, sizeof kBundleMagic) != 0)
        throw EPlatformError(Format("%s: the %llu bytes after the program are no whole demo bundle (the file "
                                    "is cut short or damaged)",
                                    name.c_str(), static_cast<unsigned long long>(appended)));
    archiveOffset = Little64(trailer);
    archiveSize = Little64(trailer + 8);
    const uint32_t titleSize = Little32(trailer + 16);
    const uint32_t version = Little32(trailer + 20);
    if (version != kBundleVersion)
        throw EPlatformError(Format("%s: the demo bundle has version %u; this program reads version %u",
                                    name.c_str(), version, kBundleVersion));
    uint64_t end = 0;
    if (archiveOffset != program || titleSize > kBundleMaxTitle || archiveSize > appended ||
        !TableEnd(archiveOffset, 1, archiveSize, end) || end + titleSize + kBundleTrailerSize != size)
        throw EPlatformError(
            Format("%s: the demo bundle's trailer does not match the file (the file is cut short or damaged)",
                   name.c_str()));
    title = std::string_view(reinterpret_cast<const char*>(data + end), titleSize);
    for (unsigned char c : title)
        if (c < 0x20 || c == 0x7f)
            throw EPlatformError(Format("%s: the demo bundle's title is damaged", name.c_str()));
    return true;
}

const TBundle& ProgramBundle() {
    static const TBundle bundle = [] {
        TBundle b;
        b.path = ProgramPath();
        int fd = open("/proc/self/exe", O_RDONLY | O_CLOEXEC);
        struct stat st;
        if (fd < 0 || fstat(fd, &st) != 0 || st.st_size <= 0) {
            if (fd >= 0) close(fd);
            return b; // nothing to look at: the built-in archive alone
        }
        // The mapping stays for the whole run: the archive is used in place,
        // as the built-in one is.
        void* map = mmap(nullptr, size_t(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        close(fd);
        if (map == MAP_FAILED) return b;
        const uint8_t* data = static_cast<const uint8_t*>(map);
        try {
            uint64_t offset = 0, size = 0;
            std::string_view title;
            b.present = ParseBundle(data, size_t(st.st_size), b.path, offset, size, title);
            if (b.present) {
                b.archive = data + offset;
                b.archiveSize = size_t(size);
                b.title = std::string(title);
            }
        } catch (const std::exception& e) {
            b.present = true;
            b.error = e.what();
        }
        if (!b.present) munmap(map, size_t(st.st_size));
        return b;
    }();
    return bundle;
}
