// TFlexibleStream: every data file is opened by name through this stream.
// Where the bytes come from (a disk file, a member of the packed archive, a
// resource of the executable) is decided by process-wide loader settings that
// start-up sets once, so loaders never know about storage.
#pragma once

#include "data/Stream.h"
#include "data/ZLBArchive.h"

#include <memory>
#include <string>
#include <vector>

ZUMBRIX_EXCEPTION(EFlexibleStreamError, EStreamError);

// Where names are looked up.
enum TLoaderMode : uint8_t {
    lmFile = 0,          // path + name on disk
    lmPackage = 1,       // member of the open archive
    lmResource = 2,      // resource of type "flx" in the executable
    lmPackedResource = 3 // member of the open archive (opened from a resource)
};

// The display name of a mode ("File", "Package", "Resource", "PackedResource").
const char* LoaderModeName(uint8_t mode);

// The process-wide loader settings shared by all streams.
struct TLoaderStruct {
    std::string path;      // prefix for names in File mode
    uint8_t mode = lmFile; // where names are looked up
    std::string dataRoot;  // folder relative File-mode paths resolve against (empty: working folder)
    std::shared_ptr<TZLBArchive> archive;   // the open archive (Package, PackedResource)
    std::shared_ptr<TStream> archiveSource; // the stream it was opened from
    // Consulted, by file-name part, for names the chosen source lacks (off
    // while null): mirel's scene commands fall back on the archive they carry.
    std::shared_ptr<TZLBArchive> fallbackArchive;
    std::shared_ptr<TStream> fallbackSource; // the stream it was opened from
    bool diagnostics = false;                // log settings changes and first reads
    std::vector<std::string> diagnosticsLog; // the logged lines
    // Told the path of every File-mode open before the file is opened (also
    // when it then fails to open), while set: live reload learns from it
    // which files each part of a demo was made from.
    void (*openObserver)(void* context, const std::string& path) = nullptr;
    void* openObserverContext = nullptr;
};

class TFlexibleStream : public TStream {
public:
    // Opens name according to the current settings. Raises
    // EFlexibleStreamError "Couldn't open the file named %s" when the source
    // fails; a name missing from the archive constructs a stream without a
    // source, whose first read, seek or size query raises "Must open a stream"
    // followed by the name the archive lacks.
    explicit TFlexibleStream(const std::string& name);
    ~TFlexibleStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    const uint8_t* MemoryView() const override { return inner_ ? inner_->MemoryView() : nullptr; }

    const std::string& Name() const { return name_; }
    bool HasSource() const { return inner_ != nullptr; }

    // ---- the process-wide settings ----
    static void SetPath(const std::string& path);
    static void SetMode(uint8_t mode);
    // Opens the archive carried as the resource ("PCK", name's file-name
    // part without its first dot). Errors of the archive pass on unchanged.
    static void OpenArchive(const std::string& name);
    // Opens an archive from a file on disk (zumbrix --archive FILE).
    static void OpenArchiveFile(const std::string& fileName);
    // Opens an archive held in a stream the settings then own.
    static void OpenArchiveStream(std::shared_ptr<TStream> source, const std::string& displayName);
    // Opens the archive held in `source` as the fallback: a name that the
    // chosen source does not have (a missing file, a name no member has) is
    // then taken from it. A null source turns the fallback off again.
    static void SetFallbackArchive(std::shared_ptr<TStream> source);
    // Sets the folder relative File-mode paths resolve against (zumbrix --data DIR).
    static void SetDataRoot(const std::string& folder);
    static void SetDiagnostics(bool on);
    // Sets (or, with a null procedure, clears) the File-mode open observer.
    static void SetOpenObserver(void (*observer)(void* context, const std::string& path), void* context);
    static TLoaderStruct& Settings();
    // Back to the initial settings (File mode, empty path, no archive).
    static void ResetSettings();

private:
    void Log(const std::string& line);
    EFlexibleStreamError NoSource() const;

    std::unique_ptr<TStream> inner_;
    std::string name_;
    std::string path_;
    uint8_t mode_;
    bool diagnostics_;
    bool readReported_ = false;
};

// Resolves a File-mode name the way the demo's data expects on Linux:
// backslashes are separators, a relative path is taken from root, and a
// component that does not exist exactly is matched ignoring ASCII case.
// Returns the path to open (unchanged when nothing better is found).
std::string ResolveDataPath(const std::string& root, const std::string& pathAndName);
