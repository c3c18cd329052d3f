// The demo script checker: a strict second reading of a script that tells an
// author what the lenient loader would silently skip, default or drop.
//
// It scans the same files with the same scanner as the loader (the loader
// itself is not changed by it) and reports, each with its file, line and
// column: elements opened and never closed or closed in the wrong place;
// unknown tags and attributes; unknown effect classes; properties and
// controls the effect's class never reads (from the class's own table of
// the values it reads, kept in the effect registry); unknown control kinds
// and types; key values with the wrong number of fields; parts naming no
// effect and effects no part uses; expressions that fail; and, when asked
// to, resources and scene files that are missing or fail to load, with the
// loader's own message.
#pragma once

#include "demo/DemoEffect.h"

#include <string>
#include <vector>

class I3dDevice;

enum TFindingSeverity : uint8_t { fsError, fsWarning };

struct TScriptFinding {
    std::string File;
    int Line = 0;   // from 1
    int Column = 0; // from 1, in bytes (a tab is one column)
    TFindingSeverity Severity = fsError;
    std::string Message; // one line

    // "FILE:LINE:COL: error: message" (or "warning: ").
    std::string Text() const;
};

struct TScriptCheckOptions {
    // Load every resource of the script and every scene file its scene
    // effects name, as start-up does (pictures decoded, the music decoded,
    // the console font read). Off: each file is only opened.
    bool LoadFiles = true;
    // The rendering device scene files are built on. Without one a scene
    // file is only opened and its first chunk header read.
    I3dDevice* Device = nullptr;
};

// Checks the script read by name through the flexible streams, with the
// files it includes. The resource files are looked up, as start-up does,
// in the location of the script's last resource section; the stream
// settings are the same afterwards. Findings come in file order, then by
// position.
std::vector<TScriptFinding> CheckScript(const std::string& name, const TEffectRegistry& registry,
                                        const TScriptCheckOptions& options = {});
// The same for a main script given as text under the name it is shown by;
// its includes are read through the flexible streams. Whatever the text,
// what is wrong with it comes back as findings, never as an error.
std::vector<TScriptFinding> CheckScriptText(const std::string& name, std::string text,
                                            const TEffectRegistry& registry,
                                            const TScriptCheckOptions& options = {});

// Writes each finding's Text on standard error, one line each.
void ReportScriptFindings(const std::vector<TScriptFinding>& findings);

// Whether the findings fail the check: any error, or with strict any finding.
bool FindingsFail(const std::vector<TScriptFinding>& findings, bool strict);

// The registered name (or any name of the list) nearest to a misspelt one:
// the fewest letters inserted, removed or changed, letter case aside. Empty
// when the list is empty.
std::string NearestName(std::string_view name, const std::vector<std::string>& candidates);
