#include "demo/DemoParts.h"

// A part without an effect does nothing: start-up never adds one (a part
// naming an effect the script does not define is left out of the timeline),
// but the hooks stay safe for any caller.

void TDemoPart::Reload() {
    active_ = false;
    if (effect_) effect_->Load();
}

void TDemoPart::Prepare() {
    if (effect_) effect_->Prepare();
}

void TDemoPart::Start() {
    active_ = true;
    if (effect_) effect_->Start();
}

void TDemoPart::Update() {
    if (effect_) effect_->Update();
}

void TDemoPart::Render(bool first) {
    if (effect_) effect_->Render(first);
}

void TDemoPart::AfterRender() {
    if (effect_) effect_->AfterRender();
}

void TDemoPart::Stop() {
    active_ = false;
    if (effect_) effect_->Stop();
}

void TDemoPart::Unprepare() {
    if (effect_) effect_->Unprepare();
}
