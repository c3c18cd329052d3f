#include "app/ModeChooser.h"

#include <imgui.h>
#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>

#include "platform/Signals.h"

#include <SDL_opengl.h>

#include <cstdio>

namespace {

ImVec4 Rgb(int r, int g, int b) {
    return ImVec4(r / 255.0f, g / 255.0f, b / 255.0f, 1.0f);
}

// The dialog's look: black text on the magenta form, white list boxes and
// grey buttons, as the platform's classic controls draw them.
void ApplyStyle() {
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowPadding = ImVec2(0, 0);
    style.WindowRounding = 0.0f;
    style.WindowBorderSize = 0.0f;
    style.FrameRounding = 0.0f;
    style.FrameBorderSize = 1.0f;
    style.FramePadding = ImVec2(3, 3);
    ImVec4* c = style.Colors;
    c[ImGuiCol_WindowBg] =
        Rgb(TfrmChoose::kBackground[0], TfrmChoose::kBackground[1], TfrmChoose::kBackground[2]);
    c[ImGuiCol_Text] = Rgb(0, 0, 0);
    c[ImGuiCol_Border] = Rgb(128, 128, 128);
    c[ImGuiCol_FrameBg] = Rgb(255, 255, 255);
    c[ImGuiCol_FrameBgHovered] = Rgb(255, 255, 255);
    c[ImGuiCol_FrameBgActive] = Rgb(255, 255, 255);
    c[ImGuiCol_PopupBg] = Rgb(255, 255, 255);
    c[ImGuiCol_Header] = Rgb(10, 36, 106);
    c[ImGuiCol_HeaderHovered] = Rgb(10, 36, 106);
    c[ImGuiCol_HeaderActive] = Rgb(10, 36, 106);
    c[ImGuiCol_Button] = Rgb(212, 208, 200);
    c[ImGuiCol_ButtonHovered] = Rgb(224, 220, 212);
    c[ImGuiCol_ButtonActive] = Rgb(190, 186, 178);
    c[ImGuiCol_CheckMark] = Rgb(0, 0, 0);
}

// One drop-down list; returns the newly picked index, or -1.
int ModeCombo(const char* id, float y, const std::vector<TModeListEntry>& entries, int selected) {
    ImGui::SetCursorPos(ImVec2(24, y));
    ImGui::SetNextItemWidth(145);
    int picked = -1;
    const char* preview = selected >= 0 && selected < static_cast<int>(entries.size())
                              ? entries[static_cast<size_t>(selected)].text.c_str()
                              : "";
    if (ImGui::BeginCombo(id, preview)) {
        for (size_t i = 0; i < entries.size(); ++i) {
            ImGui::PushID(static_cast<int>(i));
            if (ImGui::Selectable(entries[i].text.c_str(), static_cast<int>(i) == selected))
                picked = static_cast<int>(i);
            ImGui::PopID();
        }
        ImGui::EndCombo();
    }
    return picked;
}

} // namespace

TfrmChoose::TfrmChoose() {
    panel_.InitModes(TDisplayModePanel::kDefaultSize);
}

TfrmChoose::TfrmChoose(const std::vector<TDisplaySetting>& modes) {
    panel_.InitModes(TDisplayModePanel::kDefaultSize, modes);
}

TfrmChoose::~TfrmChoose() {
    Close();
}

bool TfrmChoose::Open() {
    if (window_) return true;
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    previousWindow_ = SDL_GL_GetCurrentWindow();
    previousContext_ = SDL_GL_GetCurrentContext();
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    window_ = SDL_CreateWindow(kCaption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, kClientWidth,
                               kClientHeight, SDL_WINDOW_OPENGL | SDL_WINDOW_UTILITY);
    if (!window_) return false;
    context_ = SDL_GL_CreateContext(window_);
    if (!context_) {
        SDL_DestroyWindow(window_);
        window_ = nullptr;
        return false;
    }
    SDL_GL_MakeCurrent(window_, context_);
    SDL_GL_SetSwapInterval(1);

    previousImgui_ = ImGui::GetCurrentContext();
    imgui_ = ImGui::CreateContext();
    ImGui::SetCurrentContext(imgui_);
    ImGui::GetIO().IniFilename = nullptr; // the program writes no settings
    ImGui::GetIO().LogFilename = nullptr;
    ApplyStyle();
    // The platform's dialog font is a small sans-serif; DejaVu Sans (a
    // dependency of the build) comes closest. Without it, Dear ImGui's own.
    static const char* kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    if (FILE* f = std::fopen(kFont, "rb")) {
        std::fclose(f);
        ImGui::GetIO().Fonts->AddFontFromFileTTF(kFont, 11.0f);
    }
    ImGui_ImplSDL2_InitForOpenGL(window_, context_);
    ImGui_ImplOpenGL2_Init();
    return true;
}

void TfrmChoose::Close() {
    if (!window_) return;
    ImGui::SetCurrentContext(imgui_);
    SDL_GL_MakeCurrent(window_, context_);
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext(imgui_);
    imgui_ = nullptr;
    ImGui::SetCurrentContext(previousImgui_);
    SDL_GL_DeleteContext(context_);
    context_ = nullptr;
    SDL_DestroyWindow(window_);
    window_ = nullptr;
    if (previousContext_) SDL_GL_MakeCurrent(previousWindow_, previousContext_);
    // Back to the default arrow once the dialog is gone.
    SDL_SetCursor(SDL_GetDefaultCursor());
}

TModalResult TfrmChoose::RunFrame() {
    if (!window_) return mrCancel;
    ImGui::SetCurrentContext(imgui_);
    SDL_GL_MakeCurrent(window_, context_);
    TModalResult result = mrNone;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        ImGui_ImplSDL2_ProcessEvent(&event);
        if (event.type == SDL_QUIT) result = mrCancel;
        if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE &&
            event.window.windowID == SDL_GetWindowID(window_))
            result = mrCancel;
    }

    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    TModalResult drawn = DrawDialog();
    if (result == mrNone) result = drawn;
    ImGui::Render();

    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(window_, &w, &h);
    glViewport(0, 0, w, h);
    glClearColor(kBackground[0] / 255.0f, kBackground[1] / 255.0f, kBackground[2] / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    if (captureFrames_) {
        lastFrame_.resize(static_cast<size_t>(w) * static_cast<size_t>(h) * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, lastFrame_.data());
    }
    SDL_GL_SwapWindow(window_);
    return result;
}

// The form's controls at their places (client coordinates in pixels).
TModalResult TfrmChoose::DrawDialog() {
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImVec2(kClientWidth, kClientHeight));
    ImGui::Begin("choose", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings |
                     ImGuiWindowFlags_NoBringToFrontOnFocus);

    ImGui::SetCursorPos(ImVec2(16, 0));
    ImGui::TextUnformatted("so many choices, so much time");

    // The display-mode panel sits at (0, 24); its lists at y 8, 32 and 56.
    const float panelY = 24.0f;
    int picked = ModeCombo("##sizes", panelY + 8, panel_.Sizes(), panel_.SizeIndex());
    if (picked >= 0) panel_.SelectSize(picked);
    picked = ModeCombo("##depths", panelY + 32, panel_.Depths(), panel_.DepthIndex());
    if (picked >= 0) panel_.SelectDepth(picked);
    picked = ModeCombo("##rates", panelY + 56, panel_.Rates(), panel_.RateIndex());
    if (picked >= 0) panel_.SelectRate(picked);

    ImGui::SetCursorPos(ImVec2(40, 124));
    ImGui::Checkbox("Window mode", &windowMode_);
    ImGui::SetCursorPos(ImVec2(40, 144));
    ImGui::Checkbox("Silent", &silent_);

    TModalResult result = mrNone;
    ImGui::SetCursorPos(ImVec2(24, 176));
    if (ImGui::Button("Tombrel", ImVec2(65, 25))) result = mrOK;
    ImGui::SetCursorPos(ImVec2(96, 176));
    if (ImGui::Button("Metal", ImVec2(65, 25))) result = mrCancel;

    // Enter is the default button, Escape the cancel button (unless a list
    // is open and takes the key itself).
    if (!ImGui::IsPopupOpen(nullptr, ImGuiPopupFlags_AnyPopupId)) {
        if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Enter)) ||
            ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_KeyPadEnter)))
            result = mrOK;
        if (ImGui::IsKeyPressed(ImGui::GetKeyIndex(ImGuiKey_Escape))) result = mrCancel;
    }
    ImGui::End();
    return result;
}

TModalResult TfrmChoose::ShowModal(bool terminationPending) {
    if (TerminationSignal() != 0) return mrAbort;
    if (terminationPending) return mrCancel;
    if (!Open()) return mrCancel;
    TModalResult result = mrNone;
    while (result == mrNone) {
        // Sleep until something happens (at most a frame's time), so the
        // dialog does not keep a processor busy.
        SDL_WaitEventTimeout(nullptr, 50);
        result = TerminationSignal() != 0 ? mrAbort : RunFrame();
    }
    Close();
    return result;
}
