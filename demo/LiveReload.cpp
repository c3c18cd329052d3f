#include "demo/LiveReload.h"

#include "data/FlexibleStream.h"
#include "demo/Application.h"
#include "demo/Console.h"
#include "demo/Mp3Decoder.h"
#include "demo/MusicPlayer.h"
#include "demo/ResourceLoader.h"
#include "demo/ScriptTimeline.h"
#include "platform/Format.h"
#include "platform/Ticks.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

namespace {

double Seconds(int64_t from) {
    return double(QueryPerformanceCounter() - from) / double(QueryPerformanceFrequency());
}

// Two resource entries load the same thing: same kind, same file (pattern)
// and, for textures, the same wrap mode.
bool SameDefinition(const TResource& a, const TResource& b) {
    if (a.Kind != b.Kind || a.Value != b.Value) return false;
    if (a.Kind == rkTexture || a.Kind == rkCubeTexture)
        return static_cast<const TTextureResource&>(a).Repeat ==
               static_cast<const TTextureResource&>(b).Repeat;
    return true;
}

const TResource* FindResourceByRecord(const TResources* section, const TValueRecord* record) {
    if (!section) return nullptr;
    for (const auto& r : section->Items)
        if (&r->Record == record) return r.get();
    return nullptr;
}

} // namespace

TDemoReloader::TDemoReloader(const TEffectRegistry& registry, std::unique_ptr<TFileXMLParser>& script,
                             std::string mainScript)
    : registry_(registry), script_(script), mainScript_(std::move(mainScript)) {}

TDemoReloader::~TDemoReloader() {
    if (into_) TFlexibleStream::SetOpenObserver(nullptr, nullptr);
}

void TDemoReloader::Observe(void* self, const std::string& path) {
    auto* r = static_cast<TDemoReloader*>(self);
    if (!r->into_) return;
    if (std::find(r->into_->begin(), r->into_->end(), path) == r->into_->end()) r->into_->push_back(path);
    // Stamped when opened: a change made while it is being read still
    // differs from this stamp afterwards.
    if (!r->noted_.count(path)) r->noted_[path] = StampFile(path);
}

void TDemoReloader::Note(std::vector<std::string>* into) {
    into_ = into;
    TFlexibleStream::SetOpenObserver(into ? &TDemoReloader::Observe : nullptr, this);
}

void TDemoReloader::BeginScript() {
    version_ = TVersion();
    noted_.clear();
    Note(&version_.scriptFiles);
}

void TDemoReloader::EndStep() {
    Note(nullptr);
}

void TDemoReloader::BeginResource(size_t index) {
    if (version_.resourceFiles.size() <= index) version_.resourceFiles.resize(index + 1);
    Note(&version_.resourceFiles[index]);
}

void TDemoReloader::BeginEffect(TEffect& entry) {
    version_.effects.push_back(TBuiltEffect{&entry, {}, {}});
    Note(&version_.effects.back().files);
}

void TDemoReloader::EndEffect(std::vector<TRefPtr<IDemoEffect>> made) {
    if (!version_.effects.empty()) version_.effects.back().made = std::move(made);
    Note(nullptr);
}

void TDemoReloader::EndStartup() {
    Note(nullptr);
    stamps_ = std::move(noted_);
    noted_.clear();
    if (watcher_) WatchWith(watcher_);
}

bool TDemoReloader::AnyChanged(const std::vector<std::string>& files) const {
    for (const std::string& file : files) {
        auto known = stamps_.find(file);
        if (known == stamps_.end() || !(StampFile(file) == known->second)) return true;
    }
    return false;
}

std::vector<std::string> TDemoReloader::Folders() const {
    std::set<std::string> folders(extraFolders_.begin(), extraFolders_.end());
    for (const auto& [file, stamp] : stamps_) {
        std::filesystem::path folder = std::filesystem::path(file).parent_path();
        folders.insert(folder.empty() ? std::string(".") : folder.string());
    }
    return {folders.begin(), folders.end()};
}

void TDemoReloader::AlsoWatch(const std::string& folder) {
    if (std::find(extraFolders_.begin(), extraFolders_.end(), folder) == extraFolders_.end())
        extraFolders_.push_back(folder);
}

void TDemoReloader::WatchWith(TFileWatcher* watcher) {
    watcher_ = watcher;
    if (!watcher_) return;
    for (const std::string& folder : Folders())
        watcher_->Watch(folder);
}

std::vector<std::string> TDemoReloader::ConsoleLines(const std::string& message) const {
    // The console neither wraps nor clips: break the message at spaces (or
    // anywhere in a word too long for a line) to fit the window.
    auto* console = dynamic_cast<TConsole*>(device_->GetConsole());
    auto fits = [&](const std::string& line) {
        if (console && consoleWidth_ > 0)
            return console->PenAfter(line.c_str(), line.size()) <= float(consoleWidth_ - 8);
        return line.size() <= 60;
    };
    std::vector<std::string> lines;
    std::string text = "Reload failed: " + message;
    std::replace(text.begin(), text.end(), '\n', ' ');
    size_t at = 0;
    while (at < text.size()) {
        // Lines after the first are indented; each takes at least one character.
        const std::string indent = lines.empty() ? "" : "  ";
        size_t n = text.size() - at;
        while (n > 1 && !fits(indent + text.substr(at, n)))
            n--;
        if (at + n < text.size()) {
            size_t space = text.rfind(' ', at + n);
            if (space != std::string::npos && space > at) n = space - at;
        }
        lines.push_back(indent + text.substr(at, n));
        at += n;
        while (at < text.size() && text[at] == ' ')
            at++;
    }
    return lines;
}

void TDemoReloader::Build(TVersion& next, std::unique_ptr<TFileXMLParser>& nextScript, bool everything,
                          TReloadReport& report, TDemoTimeline& old) {
    // 1. The script, read as start-up reads it: includes from the data root,
    // then the data location the script declares.
    TFlexibleStream::SetPath("");
    nextScript = std::make_unique<TFileXMLParser>();
    Note(&next.scriptFiles);
    nextScript->LoadScript(mainScript_);
    Note(nullptr);
    TResources* resources = nextScript->GetResources();
    TFlexibleStream::SetPath(resources ? resources->Path : std::string());
    const TResources* oldResources = script_->GetResources();

    // 2. Resources: the ones defined as before whose files did not change
    // are taken over; the others are loaded. The music and the console font
    // belong to the device: they are only checked here and replaced when the
    // new version is put in place.
    std::vector<const TResource*> freshlyLoaded;
    bool reloadMusic = false;
    std::vector<uint8_t> music;
    TRefPtr<TConsole> console;
    if (resources) {
        next.resourceFiles.resize(resources->Items.size());
        for (size_t i = 0; i < resources->Items.size(); i++) {
            TResource& resource = *resources->Items[i];
            const TResource* before = nullptr;
            size_t beforeIndex = 0;
            if (oldResources)
                for (size_t j = 0; j < oldResources->Items.size() && !before; j++)
                    if (SameDefinition(*oldResources->Items[j], resource)) {
                        before = oldResources->Items[j].get();
                        beforeIndex = j;
                    }
            const std::vector<std::string>* beforeFiles =
                before && beforeIndex < version_.resourceFiles.size() ? &version_.resourceFiles[beforeIndex]
                                                                      : nullptr;
            const bool unchanged = before && beforeFiles && !AnyChanged(*beforeFiles);
            if (resource.Kind == rkMp3) {
                // Left playing unless its file changed; a file that is no
                // MP3 the player can decode fails the reload here.
                if (unchanged || !device_->GetMusicPlayer()) {
                    if (beforeFiles) next.resourceFiles[i] = *beforeFiles;
                    continue;
                }
                Note(&next.resourceFiles[i]);
                TFlexibleStream stream(resource.Value);
                music.resize(size_t(std::max<int64_t>(stream.GetSize(), 0)));
                stream.SetPosition(0);
                if (!music.empty()) stream.ReadBuffer(music.data(), int64_t(music.size()));
                Note(nullptr);
                TMp3Decoder probe;
                if (!probe.Open(music.data(), music.size()))
                    throw Exception(
                        Format("%s: not an MP3 stream the player can decode", resource.Value.c_str()));
                reloadMusic = true;
                continue;
            }
            if (unchanged && !everything) {
                resource.Record = before->Record;
                next.resourceFiles[i] = *beforeFiles;
                report.resourcesKept++;
                continue;
            }
            Note(&next.resourceFiles[i]);
            if (resource.Kind == rkConsoleFont) {
                console = TConsole::LoadFromFile(device_->GetDevice(), resource.Value);
            } else {
                LoadScriptResource(device_, resource, true);
                freshlyLoaded.push_back(&resource);
            }
            Note(nullptr);
            report.resourcesLoaded++;
        }
    }

    // 3. The device gets the new resource collection and empty lists; what
    // it played waits in `old`.
    device_->SwapTimeline(old);
    swapped_ = true;
    device_->SetResources(resources);

    // 4. Effects: one defined as before (class, name, properties, the same
    // resources) whose files did not change is taken over, the others are
    // made and loaded as start-up does.
    std::vector<bool> taken(version_.effects.size(), false);
    for (const std::unique_ptr<TEffect>& entry : nextScript->Effects()) {
        const TBuiltEffect* reuse = nullptr;
        for (size_t j = 0; j < version_.effects.size() && !reuse && !everything; j++) {
            const TBuiltEffect& b = version_.effects[j];
            if (taken[j] || b.entry->Name != entry->Name || b.entry->ClassName != entry->ClassName) continue;
            const auto& was = b.entry->Properties.Items;
            const auto& is = entry->Properties.Items;
            bool same = was.size() == is.size() && !AnyChanged(b.files);
            for (size_t k = 0; same && k < is.size(); k++) {
                const TProperty& p = *is[k];
                const TProperty& q = *was[k];
                same = p.Name == q.Name && p.IsText == q.IsText && p.Text == q.Text &&
                       p.ResourceName == q.ResourceName;
                if (!same || p.IsText) continue;
                // A property naming a resource: the same definition, not
                // loaded again.
                const TResource* now = FindResourceByRecord(resources, p.Reported);
                const TResource* then = FindResourceByRecord(oldResources, q.Reported);
                if (!now || !then) {
                    same = !now && !then;
                    continue;
                }
                same = SameDefinition(*now, *then) &&
                       std::find(freshlyLoaded.begin(), freshlyLoaded.end(), now) == freshlyLoaded.end();
            }
            if (same) {
                reuse = &b;
                taken[j] = true;
            }
        }
        TBuiltEffect built{entry.get(), {}, {}};
        if (reuse) {
            for (const TRefPtr<IDemoEffect>& effect : reuse->made)
                device_->AddEffect(effect.Get());
            built.made = reuse->made;
            built.files = reuse->files;
            report.effectsKept++;
        } else {
            Note(&built.files);
            built.made = AddScriptEffect(registry_, *device_, *entry);
            Note(nullptr);
            report.effectsLoaded++;
        }
        next.effects.push_back(std::move(built));
    }

    // 5. The timeline.
    AddScriptParts(*device_, *nextScript);

    // 6. Built: the old version's active parts stop, the effects taken over
    // look at the new document, the device's console and music are replaced
    // where they changed.
    TDemo3dDevice::StopActiveParts(old.parts);
    for (TBuiltEffect& b : next.effects)
        for (TRefPtr<IDemoEffect>& effect : b.made) {
            effect->SetProperties(&b.entry->Properties);
            effect->SetControls(&b.entry->Controls);
        }
    if (console) device_->SetConsole(console.Get());
    if (reloadMusic) {
        auto* player = dynamic_cast<TBassPlayer*>(device_->GetMusicPlayer());
        if (player) {
            const bool playing = player->IsPlaying();
            player->LoadFromMemory(std::move(music));
            player->SetPosition(device_->Timer()->GetTime());
            if (playing) player->Play();
            report.musicReloaded = true;
        }
    }
}

bool TDemoReloader::Changed() const {
    if (failed_) return true;
    for (const auto& [file, stamp] : stamps_)
        if (!(StampFile(file) == stamp)) return true;
    return false;
}

TReloadReport TDemoReloader::Reload(bool everything) {
    TReloadReport report;
    const int64_t started = QueryPerformanceCounter();
    if (!device_ || !script_) return report;
    if (!everything && !Changed()) return report;
    const std::string oldPath = TFlexibleStream::Settings().path;
    const float oldEnd = device_->GetEndTime();
    TVersion next;
    std::unique_ptr<TFileXMLParser> nextScript;
    TDemoTimeline old;
    noted_.clear();
    swapped_ = false;
    try {
        Build(next, nextScript, everything, report, old);
    } catch (const std::exception& e) {
        Note(nullptr);
        // The version playing stays; what was built of the new one goes,
        // before the document it looks into.
        if (swapped_) device_->SwapTimeline(old);
        device_->SetEndTime(oldEnd);
        old = TDemoTimeline();
        next = TVersion();
        TFlexibleStream::SetPath(oldPath);
        report.outcome = roFailed;
        report.message = e.what();
        if (nextScript && !nextScript->ErrorFile().empty() && nextScript->ErrorLine() > 0) {
            // "file, line N: message" where the message starts with the file.
            const std::string& file = nextScript->ErrorFile();
            const std::string where = Format("%s, line %d", file.c_str(), nextScript->ErrorLine());
            const bool located = report.message.rfind(file + ":", 0) == 0 && report.message.size() > file.size() + 1 &&
                                 std::isdigit(static_cast<unsigned char>(report.message[file.size() + 1]));
            if (located) {
                // The loader's own "file:LINE: ..." already says where.
            } else if (report.message.rfind(file + ": ", 0) == 0) {
                report.message.replace(0, file.size(), where);
            } else {
                report.message += " (" + where + ")";
            }
        }
        nextScript.reset();
        failed_ = true;
        device_->SetNoticeText(ConsoleLines(report.message));
        Application().ShowNotice("zumbrix: reload failed, the last good version plays on: " + report.message);
        // The files of the failed try are watched too: creating a missing
        // one is the next change.
        for (const auto& [file, stamp] : noted_) {
            std::filesystem::path folder = std::filesystem::path(file).parent_path();
            if (!folder.empty()) AlsoWatch(folder.string());
        }
        noted_.clear();
        if (watcher_) WatchWith(watcher_);
        report.seconds = Seconds(started);
        return report;
    }
    // The replaced version goes: its parts and the effects only it held,
    // then the document they looked into.
    old = TDemoTimeline();
    version_ = std::move(next);
    script_.swap(nextScript);
    nextScript.reset();
    std::map<std::string, TFileStamp> stamps;
    auto keep = [&](const std::vector<std::string>& files) {
        for (const std::string& file : files) {
            auto fresh = noted_.find(file);
            if (fresh != noted_.end())
                stamps[file] = fresh->second;
            else if (auto known = stamps_.find(file); known != stamps_.end())
                stamps[file] = known->second;
        }
    };
    keep(version_.scriptFiles);
    for (const auto& files : version_.resourceFiles)
        keep(files);
    for (const auto& effect : version_.effects)
        keep(effect.files);
    stamps_ = std::move(stamps);
    noted_.clear();
    failed_ = false;
    device_->SetNoticeText({});
    if (watcher_) WatchWith(watcher_);
    report.outcome = roReloaded;
    report.seconds = Seconds(started);
    return report;
}
