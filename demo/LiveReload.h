// Live reload of a demo played from loose files: when the script, one of its
// includes or a file the demo was made from changes, the demo is built again
// the way start-up builds it (the script read, its resources loaded, the
// effects made with AddScriptEffect and the parts added with
// AddScriptParts), while the window, the rendering device, the clock and
// the music stay as they are.
//
// What did not change is kept: every resource and every effect remembers the
// files it read (the flexible streams tell each File-mode open), with their
// stamps, and a rebuild takes over a resource or an effect whose definition
// in the script and whose files are the same, so editing one scene file
// loads only that scene again. The music is reloaded only when its file (or
// the script's music resource) changed.
//
// A rebuild is finished before it replaces what plays: when it fails (a
// script error, a picture that cannot be read, a broken scene file) the last
// good version keeps playing, and the failure (file, line where there is
// one, message) stays in the console until the next good rebuild, and goes
// to standard error. The parts of the replaced version that were active are
// stopped, and what only they held is released.
#pragma once

#include "demo/DemoDevice.h"
#include "demo/DemoEffect.h"
#include "platform/FileWatcher.h"
#include "script/FileXMLParser.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// The outcome of one reload.
enum TReloadOutcome { roNothingChanged, roReloaded, roFailed };

struct TReloadReport {
    TReloadOutcome outcome = roNothingChanged;
    int effectsKept = 0, effectsLoaded = 0;     // taken over / made again
    int resourcesKept = 0, resourcesLoaded = 0; // the same for resources
    bool musicReloaded = false;
    double seconds = 0.0;
    std::string message; // the failure, as shown
};

class TDemoReloader {
public:
    // A successful reload replaces the document `script` holds. mainScript
    // is the file start-up reads.
    TDemoReloader(const TEffectRegistry& registry, std::unique_ptr<TFileXMLParser>& script,
                  std::string mainScript = "zumbrix.xml");
    ~TDemoReloader();
    TDemoReloader(const TDemoReloader&) = delete;
    TDemoReloader& operator=(const TDemoReloader&) = delete;

    // ---- start-up tells what it reads, step by step ----
    // Before the main script is read.
    void BeginScript();
    // Reading that belongs to no step follows (the device being made).
    void EndStep();
    // The device that plays the demo, once made.
    void SetDevice(TDemo3dDevice* device) { device_ = device; }
    // Before resource `index` (from 0) of the script's section is loaded.
    void BeginResource(size_t index);
    // Before the effects of a script entry are made, and with what was made.
    void BeginEffect(TEffect& entry);
    void EndEffect(std::vector<TRefPtr<IDemoEffect>> made);
    // Start-up is over: what it built is the version playing.
    void EndStartup();

    // Rebuilds what changed since the version playing was built; with
    // everything, every resource and effect is made again (the music only
    // when its file changed). Nothing changed and no earlier reload failed:
    // nothing happens.
    TReloadReport Reload(bool everything = false);

    // The folders holding the files the version playing was made from (and
    // the folders asked for with AlsoWatch), for a watcher.
    std::vector<std::string> Folders() const;
    void AlsoWatch(const std::string& folder);
    // Watches Folders() with the watcher (again after each reload).
    void WatchWith(TFileWatcher* watcher);

    // How wide (pixels) the console may write a failure before it wraps
    // the line; 0 wraps at 60 characters.
    void SetConsoleWidth(int pixels) { consoleWidth_ = pixels; }
    // Whether the last reload failed (its message is still shown).
    bool Failed() const { return failed_; }
    // Whether a reload would rebuild anything: a file of the version playing
    // changed, or the last reload failed.
    bool Changed() const;
    // The files the version playing was made from, with their stamps.
    const std::map<std::string, TFileStamp>& Files() const { return stamps_; }

private:
    struct TBuiltEffect {
        TEffect* entry = nullptr;
        std::vector<TRefPtr<IDemoEffect>> made;
        std::vector<std::string> files;
    };
    struct TVersion {
        std::vector<std::string> scriptFiles;
        std::vector<std::vector<std::string>> resourceFiles; // by resource index
        std::vector<TBuiltEffect> effects;
    };

    static void Observe(void* self, const std::string& path);
    void Note(std::vector<std::string>* into);
    bool AnyChanged(const std::vector<std::string>& files) const;
    std::vector<std::string> ConsoleLines(const std::string& message) const;
    void Build(TVersion& next, std::unique_ptr<TFileXMLParser>& nextScript, bool everything,
               TReloadReport& report, TDemoTimeline& old);

    const TEffectRegistry& registry_;
    TDemo3dDevice* device_ = nullptr;
    std::unique_ptr<TFileXMLParser>& script_;
    std::string mainScript_;
    TVersion version_;
    std::map<std::string, TFileStamp> stamps_; // of the version playing
    std::map<std::string, TFileStamp> noted_;  // of the build under way
    std::vector<std::string>* into_ = nullptr; // where opens are noted now
    std::vector<std::string> extraFolders_;
    TFileWatcher* watcher_ = nullptr;
    bool failed_ = false;
    bool swapped_ = false; // the device's lists were taken aside in this build
    int consoleWidth_ = 0;
};
