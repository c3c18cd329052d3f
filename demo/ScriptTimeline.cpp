#include "demo/ScriptTimeline.h"

#include "demo/DemoDevice.h"
#include "demo/DemoParts.h"
#include "platform/DebugSink.h"
#include "platform/Format.h"

std::vector<TRefPtr<IDemoEffect>> AddScriptEffect(const TEffectRegistry& registry, TDemo3dDevice& device,
                                                  TEffect& entry) {
    std::vector<TRefPtr<IDemoEffect>> made = registry.Create(entry.ClassName);
    for (TRefPtr<IDemoEffect>& effect : made) {
        effect->SetName(entry.Name);
        effect->SetProperties(&entry.Properties);
        effect->SetControls(&entry.Controls);
        device.AddEffect(effect.Get());
        try {
            effect->Load();
        } catch (Exception& e) {
            // What the effect could not load says what is wrong; the script
            // file it is written in says where to mend it.
            if (!entry.File.empty() && e.Message().find(entry.File) == std::string::npos)
                e.AddContext(entry.File + ": ");
            throw;
        }
    }
    return made;
}

void AddScriptParts(TDemo3dDevice& device, const TFileXMLParser& script) {
    // The end belongs with the timeline: whoever builds the parts from a
    // script document (start-up, a reload) gets that document's end too.
    device.SetEndTime(script.EndTime());
    for (const std::unique_ptr<TPart>& entry : script.Parts()) {
        IDemoEffect* effect = device.FindEffect(entry->Name);
        if (!effect) {
            DebugOutput(Format("The part %s names no effect; skipped", entry->Name.c_str()));
            continue;
        }
        TRefPtr<TDemoPart> part(new TDemoPart());
        part->SetEffect(effect);
        device.AddPart(part.Get(), entry->Prepare, entry->Start, entry->Stop, entry->Unprepare);
    }
}
