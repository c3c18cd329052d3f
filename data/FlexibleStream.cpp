#include "data/FlexibleStream.h"

#include "platform/Format.h"
#include "platform/Resources.h"

#include <algorithm>
#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

namespace {

TLoaderStruct& GlobalSettings() {
    static TLoaderStruct settings;
    return settings;
}

void LogSetting(const std::string& line) {
    TLoaderStruct& s = GlobalSettings();
    if (s.diagnostics) s.diagnosticsLog.push_back(line);
}

// Everything after the last backslash or colon.
std::string FileNamePart(const std::string& name) {
    size_t cut = name.find_last_of("\\:");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

// The resource name of a file name: its file-name part with the first dot removed.
std::string ResourceName(const std::string& name) {
    std::string part = FileNamePart(name);
    size_t dot = part.find('.');
    if (dot != std::string::npos) part.erase(dot, 1);
    return part;
}

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// The entry of folder whose name equals name ignoring ASCII case, or "".
std::string FindIgnoringCase(const std::string& folder, const std::string& name) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return {};
    std::string found;
    while (dirent* e = readdir(dir)) {
        if (strcasecmp(e->d_name, name.c_str()) == 0) {
            found = e->d_name;
            break;
        }
    }
    closedir(dir);
    return found;
}

// An archive opened from a stream, with the name a caller may show.
void InstallArchive(std::shared_ptr<TStream> source) {
    auto archive = std::make_shared<TZLBArchive>();
    archive->OpenStream(*source);
    TLoaderStruct& s = GlobalSettings();
    s.archive = std::move(archive);
    s.archiveSource = std::move(source);
}

// The member of `archive` that the name designates (by its file-name part),
// extracted into memory, or null when no member has that name.
std::unique_ptr<TStream> ExtractMember(TZLBArchive& archive, const std::string& name) {
    int index = archive.IndexOf(FileNamePart(name));
    if (index < 0) return nullptr;
    TZLBEntry entry = archive.GetEntry(index);
    auto memory = std::make_unique<TMemoryStream>();
    // Size the block up front, but never beyond what the archive could
    // really hold: a damaged size must not allocate gigabytes.
    memory->SetSize(std::min<int64_t>(entry.size, archive.MaxPlausibleSize(entry)));
    archive.ExtractStream(*memory, index);
    if (memory->GetSize() != static_cast<int64_t>(entry.size))
        throw EFlexibleStreamError("member size mismatch");
    memory->SetPosition(0);
    return memory;
}

} // namespace

const char* LoaderModeName(uint8_t mode) {
    switch (mode) {
    case lmFile:
        return "File";
    case lmPackage:
        return "Package";
    case lmResource:
        return "Resource";
    case lmPackedResource:
        return "PackedResource";
    default:
        return "Unknown";
    }
}

std::string ResolveDataPath(const std::string& root, const std::string& pathAndName) {
    std::string path = pathAndName;
    std::replace(path.begin(), path.end(), '\\', '/');
    if (!path.empty() && path[0] != '/' && !root.empty()) path = root + "/" + path;
    if (Exists(path)) return path;
    // Walk the components, replacing each missing one by a case-insensitive match.
    std::string resolved = path[0] == '/' ? "/" : "";
    size_t start = path[0] == '/' ? 1 : 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (!part.empty()) {
            std::string candidate = resolved + part;
            if (!Exists(candidate)) {
                std::string match = FindIgnoringCase(resolved, part);
                if (match.empty()) return path;
                candidate = resolved + match;
            }
            resolved = candidate;
            if (end < path.size()) resolved += "/";
        }
        start = end + 1;
    }
    return resolved;
}

TFlexibleStream::TFlexibleStream(const std::string& name) : name_(name) {
    const TLoaderStruct& s = GlobalSettings();
    path_ = s.path;
    mode_ = s.mode;
    diagnostics_ = s.diagnostics;
    std::shared_ptr<TZLBArchive> archive = s.archive;
    std::shared_ptr<TZLBArchive> fallback = s.fallbackArchive;
    // Set when the chosen source lacks the name (as opposed to failing to
    // deliver it): only then is the fallback archive asked.
    bool missing = false;
    try {
        switch (mode_) {
        case lmFile: {
            const std::string path = ResolveDataPath(s.dataRoot, path_ + name);
            if (s.openObserver) s.openObserver(s.openObserverContext, path);
            if (fallback && !Exists(path)) {
                missing = true;
                break;
            }
            inner_ = std::make_unique<TFileStream>(path, TFileStream::fmOpenRead);
            break;
        }
        case lmPackage:
        case lmPackedResource:
            if (!archive) throw EFlexibleStreamError("No archive is currently open");
            inner_ = ExtractMember(*archive, name);
            missing = !inner_;
            break;
        case lmResource: {
            const TResourceBlock* block = FindResource("flx", ResourceName(name));
            if (!block && fallback) {
                missing = true;
                break;
            }
            if (!block) throw EFlexibleStreamError("no such resource");
            inner_ = std::make_unique<TReadOnlyMemoryStream>(block->data, static_cast<int64_t>(block->size));
            break;
        }
        default:
            break;
        }
        if (missing && fallback) inner_ = ExtractMember(*fallback, name);
        // The file and resource sources have no "constructed without a
        // source" state: a name that neither source has is an error there.
        if (!inner_ && missing && (mode_ == lmFile || mode_ == lmResource))
            throw EFlexibleStreamError("not found");
    } catch (const std::exception&) {
        throw EFlexibleStreamError(Format("Couldn't open the file named %s", name.c_str()));
    }
}

TFlexibleStream::~TFlexibleStream() = default;

// A name the archive does not hold: the stream's first use says so, naming it.
EFlexibleStreamError TFlexibleStream::NoSource() const {
    return EFlexibleStreamError(
        Format("Must open a stream: the archive holds no file named %s", name_.c_str()));
}

void TFlexibleStream::Log(const std::string& line) {
    if (diagnostics_) GlobalSettings().diagnosticsLog.push_back(line);
}

int64_t TFlexibleStream::Read(void* buffer, int64_t count) {
    if (!inner_) throw NoSource();
    if (!readReported_) {
        readReported_ = true;
        Log(Format("Read : %s", name_.c_str()));
    }
    return inner_->Read(buffer, count);
}

int64_t TFlexibleStream::Write(const void* buffer, int64_t count) {
    if (!inner_) throw NoSource();
    return inner_->Write(buffer, count);
}

int64_t TFlexibleStream::Seek(int64_t offset, TSeekOrigin origin) {
    if (!inner_) throw NoSource();
    return inner_->Seek(offset, origin);
}

void TFlexibleStream::SetPath(const std::string& path) {
    GlobalSettings().path = path;
    LogSetting(Format("Path : %s", path.c_str()));
}

void TFlexibleStream::SetMode(uint8_t mode) {
    GlobalSettings().mode = mode;
    LogSetting(Format("Mode : %s", LoaderModeName(mode)));
}

void TFlexibleStream::OpenArchive(const std::string& name) {
    TLoaderStruct& s = GlobalSettings();
    s.archive.reset();
    s.archiveSource.reset();
    LogSetting(Format("Archive : %s", name.c_str()));
    const TResourceBlock* block = FindResource("PCK", ResourceName(name));
    if (!block)
        throw EFlexibleStreamError(
            Format("The executable carries no resource \"%s\"", ResourceName(name).c_str()));
    InstallArchive(std::make_shared<TReadOnlyMemoryStream>(block->data, static_cast<int64_t>(block->size)));
}

void TFlexibleStream::OpenArchiveFile(const std::string& fileName) {
    TLoaderStruct& s = GlobalSettings();
    s.archive.reset();
    s.archiveSource.reset();
    LogSetting(Format("Archive : %s", fileName.c_str()));
    InstallArchive(std::make_shared<TFileStream>(fileName, TFileStream::fmOpenRead));
}

void TFlexibleStream::OpenArchiveStream(std::shared_ptr<TStream> source, const std::string& displayName) {
    TLoaderStruct& s = GlobalSettings();
    s.archive.reset();
    s.archiveSource.reset();
    LogSetting(Format("Archive : %s", displayName.c_str()));
    InstallArchive(std::move(source));
}

void TFlexibleStream::SetFallbackArchive(std::shared_ptr<TStream> source) {
    TLoaderStruct& s = GlobalSettings();
    s.fallbackArchive.reset();
    s.fallbackSource.reset();
    if (!source) return;
    auto archive = std::make_shared<TZLBArchive>();
    archive->OpenStream(*source);
    s.fallbackArchive = std::move(archive);
    s.fallbackSource = std::move(source);
}

void TFlexibleStream::SetDataRoot(const std::string& folder) {
    GlobalSettings().dataRoot = folder;
}

void TFlexibleStream::SetDiagnostics(bool on) {
    GlobalSettings().diagnostics = on;
}

TLoaderStruct& TFlexibleStream::Settings() {
    return GlobalSettings();
}

void TFlexibleStream::SetOpenObserver(void (*observer)(void* context, const std::string& path),
                                      void* context) {
    GlobalSettings().openObserver = observer;
    GlobalSettings().openObserverContext = observer ? context : nullptr;
}

void TFlexibleStream::ResetSettings() {
    GlobalSettings() = TLoaderStruct();
}
