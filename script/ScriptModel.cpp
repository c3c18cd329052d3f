// The document model's collections and the control evaluation.
#include "script/ScriptModel.h"

void TErrors::GetText(std::string& text) {
    text.clear();
    for (const std::string& line : lines_)
        text += line + "\r\n";
}

const char* ResourceKindName(uint8_t kind) {
    switch (kind) {
    case rkImage:
        return "image";
    case rkTexture:
        return "texture";
    case rkCubeTexture:
        return "cubetexture";
    case rkMp3:
        return "mp3";
    case rkConsoleFont:
        return "consolefont";
    case rkBinary:
        return "binary";
    }
    return "unknown";
}

void TResources::Find(const std::string& name, TRefPtr<IResource>& resource, double) {
    for (const auto& item : Items)
        if (item->Name == name) {
            resource = item.get();
            return;
        }
}

void TProperties::Find(const std::string& name, TRefPtr<IResource>& resource, double) {
    for (const auto& item : Items)
        if (item->Name == name) {
            resource = item.get();
            return;
        }
}

void TControls::Find(const std::string& name, TRefPtr<IResource>& resource, double time) {
    for (const auto& item : Items)
        if (item->Name == name) {
            item->Time = time;
            resource = item.get();
            return;
        }
}

TValueRecord* TControl::GetValue() {
    // An animation without keys keeps its values (zero at first).
    Anim.Evaluate(Time);
    if (Kind == ckFloat && !Anim.Values.empty()) {
        Record.SetFloat(static_cast<float>(Anim.Values[0].Value));
    } else if (Kind == ckColor && Anim.Values.size() >= 4) {
        Record.SetColor(static_cast<float>(Anim.Values[0].Value), static_cast<float>(Anim.Values[1].Value),
                        static_cast<float>(Anim.Values[2].Value), static_cast<float>(Anim.Values[3].Value));
    }
    // pos and euler controls leave the record as it is (kind 0).
    return &Record;
}

const TValueRecord* TEffect::FindValue(const std::string& name, double t) {
    TRefPtr<IResource> found;
    Controls.Find(name, found, t);
    if (!found) Properties.Find(name, found, t);
    return found ? found->GetValue() : nullptr;
}
