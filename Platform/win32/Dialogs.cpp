// The modal dialogs, drawn with Dear ImGui inside the application's window:
// the open-file dialog and the message box (on standard error where there is
// no window, or no one to see it on a headless driver). A box of the
// window's own needs nothing of the display: X servers without core fonts
// cannot show SDL's.
#include <imgui.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <string>

#include "win32/OpenFileDialog.h"
#include "win32/Window.h"

namespace Platform {
namespace {

constexpr float kDialogWidth = 700.0f;
constexpr float kDialogHeight = 460.0f;

bool Pressed(ImGuiKey key) {
    return ImGui::IsKeyPressed(ImGui::GetKeyIndex(key));
}

// The dialog's view: the list, the typed name and the buttons.
class OpenFileView {
public:
    OpenFileView(OpenFileDialog& dialog, const char* title) : m_dialog(dialog), m_title(title) {}

    void Draw() {
        const ImGuiViewport* viewport = ImGui::GetMainViewport();
        ImGui::SetNextWindowPos(viewport->GetCenter(), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
        ImGui::SetNextWindowSize(ImVec2(kDialogWidth, kDialogHeight), ImGuiCond_Always);
        ImGui::Begin((m_title + "###OpenFile").c_str(), nullptr,
                     ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoCollapse |
                         ImGuiWindowFlags_NoSavedSettings);
        if (m_firstFrame) ImGui::SetWindowFocus();

        ImGui::AlignTextToFramePadding();
        ImGui::TextUnformatted("Look in:");
        ImGui::SameLine();
        if (ImGui::Button("Up")) GoUp();
        ImGui::SameLine();
        ImGui::TextUnformatted(m_dialog.Folder().c_str());

        const float footer = ImGui::GetFrameHeightWithSpacing() * 3 + ImGui::GetTextLineHeightWithSpacing();
        ImGui::BeginChild("entries", ImVec2(0, -footer), true);
        const auto& entries = m_dialog.Entries();
        for (size_t i = 0; i < entries.size(); ++i) {
            const auto& entry = entries[i];
            const std::string label = entry.folder ? "[" + entry.name + "]" : entry.name;
            if (ImGui::Selectable(label.c_str(), m_selected == static_cast<int>(i),
                                  ImGuiSelectableFlags_AllowDoubleClick)) {
                Select(static_cast<int>(i));
                if (ImGui::IsMouseDoubleClicked(0)) Open(entry.name);
            }
            if (m_scrollToSelected && m_selected == static_cast<int>(i)) ImGui::SetScrollHereY();
        }
        if (entries.empty()) ImGui::TextDisabled("(no matching files)");
        m_scrollToSelected = false;
        ImGui::EndChild();

        ImGui::AlignTextToFramePadding();
        ImGui::TextUnformatted("File name:    ");
        ImGui::SameLine();
        ImGui::SetNextItemWidth(-1);
        if (m_firstFrame) ImGui::SetKeyboardFocusHere();
        if (ImGui::InputText("##name", m_name, sizeof m_name, ImGuiInputTextFlags_EnterReturnsTrue)) {
            Open(m_name);
            ImGui::SetKeyboardFocusHere(-1);
        }
        const bool typing = ImGui::IsItemActive();

        ImGui::AlignTextToFramePadding();
        ImGui::TextUnformatted("Files of type:");
        ImGui::SameLine();
        ImGui::SetNextItemWidth(-1);
        const auto& filters = m_dialog.Filters();
        if (ImGui::BeginCombo("##type", filters[m_dialog.FilterIndex()].label.c_str())) {
            for (size_t i = 0; i < filters.size(); ++i)
                if (ImGui::Selectable(filters[i].label.c_str(), i == m_dialog.FilterIndex())) {
                    m_dialog.SetFilter(i);
                    m_selected = -1;
                }
            ImGui::EndCombo();
        }

        if (!m_dialog.Error().empty())
            ImGui::TextColored(ImVec4(1.0f, 0.45f, 0.4f, 1.0f), "%s", m_dialog.Error().c_str());
        else
            ImGui::NewLine();

        const float buttonWidth = 90.0f;
        ImGui::SetCursorPosX(ImGui::GetWindowWidth() - 2 * buttonWidth - 2 * ImGui::GetStyle().ItemSpacing.x);
        if (ImGui::Button("OK", ImVec2(buttonWidth, 0))) Open(m_name);
        ImGui::SameLine();
        if (ImGui::Button("Cancel", ImVec2(buttonWidth, 0))) m_dialog.Cancel();

        // Keys: arrows move through the list, Enter opens, Backspace in an
        // empty name goes up a folder, Escape cancels.
        if (Pressed(ImGuiKey_Escape)) m_dialog.Cancel();
        if (Pressed(ImGuiKey_DownArrow) && m_selected + 1 < static_cast<int>(entries.size()))
            Select(m_selected + 1), m_scrollToSelected = true;
        if (Pressed(ImGuiKey_UpArrow) && m_selected > 0) Select(m_selected - 1), m_scrollToSelected = true;
        if (!typing && Pressed(ImGuiKey_Enter)) Open(m_name);
        if (m_name[0] == '\0' && Pressed(ImGuiKey_Backspace)) GoUp();
        m_firstFrame = false;
        ImGui::End();
    }

private:
    void Select(int index) {
        m_selected = index;
        const auto& entry = m_dialog.Entries()[static_cast<size_t>(index)];
        std::snprintf(m_name, sizeof m_name, "%s", entry.folder ? "" : entry.name.c_str());
    }

    // OK with an empty name opens the selected folder.
    void Open(const std::string& typed) {
        std::string target = typed;
        if (target.empty() && m_selected >= 0)
            target = m_dialog.Entries()[static_cast<size_t>(m_selected)].name;
        const auto before = m_dialog.Folder();
        m_dialog.Accept(target);
        if (m_dialog.Folder() != before) {
            m_name[0] = '\0';
            m_selected = -1;
        }
    }

    void GoUp() {
        m_dialog.Up();
        m_selected = -1;
    }

    OpenFileDialog& m_dialog;
    std::string m_title;
    char m_name[4096] = {};
    int m_selected = -1;
    bool m_firstFrame = true;
    bool m_scrollToSelected = false;
};

// A message with its OK button, sized to the text.
class MessageView {
public:
    MessageView(const char* title, const char* text) : m_title(title), m_text(text) {}

    void Draw() {
        const ImGuiViewport* viewport = ImGui::GetMainViewport();
        ImGui::SetNextWindowPos(viewport->GetCenter(), ImGuiCond_Always, ImVec2(0.5f, 0.5f));
        ImGui::SetNextWindowSizeConstraints(ImVec2(260.0f, 0.0f), ImVec2(kDialogWidth, viewport->Size.y));
        ImGui::Begin((m_title + "###Message").c_str(), nullptr,
                     ImGuiWindowFlags_AlwaysAutoResize | ImGuiWindowFlags_NoMove |
                         ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings);
        if (m_firstFrame) ImGui::SetWindowFocus();
        ImGui::PushTextWrapPos(kDialogWidth - 2 * ImGui::GetStyle().WindowPadding.x);
        ImGui::TextUnformatted(m_text.c_str());
        ImGui::PopTextWrapPos();
        ImGui::Spacing();
        const float buttonWidth = 90.0f;
        ImGui::SetCursorPosX(ImGui::GetWindowWidth() - buttonWidth - ImGui::GetStyle().WindowPadding.x);
        // Enter, Space and Escape answer as the button does.
        if (ImGui::Button("OK", ImVec2(buttonWidth, 0)) || Pressed(ImGuiKey_Enter) ||
            Pressed(ImGuiKey_KeyPadEnter) || Pressed(ImGuiKey_Space) || Pressed(ImGuiKey_Escape))
            m_answered = true;
        m_firstFrame = false;
        ImGui::End();
    }
    bool Answered() const { return m_answered; }
    void Answer() { m_answered = true; }

private:
    std::string m_title, m_text;
    bool m_firstFrame = true;
    bool m_answered = false;
};

// A modal loop of its own in `window` until `done()`: the application gets
// no frame, and its keys go to the dialog. The close box calls `cancel`,
// and is passed on to the window once the loop has ended.
void RunModal(HWND window, const std::function<void()>& draw, const std::function<bool()>& done,
              const std::function<void()>& cancel) {
    bool closeRequested = false;
    while (!done()) {
        // A key's release after its press waits for the next frame: the UI
        // sees keys only as held or not at each frame, so a press and a
        // release handled in one would be lost (a quick tap, typed text).
        SDL_WaitEventTimeout(nullptr, 16);
        bool pressed = false;
        SDL_Event event;
        while (SDL_PeepEvents(&event, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0 &&
               !(pressed && event.type == SDL_KEYUP) && SDL_PollEvent(&event)) {
            pressed = pressed || event.type == SDL_KEYDOWN;
            const bool close = event.type == SDL_QUIT ||
                               (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE);
            if (close) {
                closeRequested = true;
                cancel();
            } else {
                ForwardToUi(window, event);
            }
        }
        DrawWindow(window, draw);
    }
    DrawWindow(window);
    if (closeRequested) {
        SDL_Event close{};
        close.type = SDL_WINDOWEVENT;
        close.window.event = SDL_WINDOWEVENT_CLOSE;
        close.window.windowID = SDL_GetWindowID(window->sdl);
        SDL_PushEvent(&close);
    }
}

HWND DialogWindow(HWND owner) {
    if (HWND w = LiveWindow(owner)) return w;
    if (HWND w = LiveWindow(GetActiveWindow())) return w;
    return LiveWindows().empty() ? nullptr : LiveWindows().front();
}

}  // namespace
}  // namespace Platform

using namespace Platform;

BOOL WINAPI GetOpenFileNameA(LPOPENFILENAMEA request) {
    if (request == nullptr || request->lStructSize < sizeof(OPENFILENAMEA) || request->lpstrFile == nullptr ||
        request->nMaxFile == 0)
        return FALSE;
    HWND window = DialogWindow(request->hwndOwner);
    if (window == nullptr) {
        OutputDebugStringA("GetOpenFileNameA: there is no window to show the dialog in\n");
        return FALSE;
    }

    OpenFileDialog dialog(*request);
    OpenFileView view(dialog, request->lpstrTitle != nullptr ? request->lpstrTitle : "Open");
    // The close box closes the dialog first, then the window.
    RunModal(
        window, [&view] { view.Draw(); },
        [&dialog] { return dialog.GetState() != OpenFileDialog::State::Open; },
        [&dialog] { dialog.Cancel(); });
    if (dialog.GetState() != OpenFileDialog::State::Accepted) return FALSE;
    if (!dialog.WriteResult(request)) {
        const std::string line = "GetOpenFileNameA: the chosen path does not fit the caller's buffer of " +
                                 std::to_string(request->nMaxFile) + " characters: " + dialog.Chosen() + "\n";
        OutputDebugStringA(line.c_str());
        return FALSE;
    }
    if ((request->Flags & OFN_NOCHANGEDIR) == 0) {
        // The current directory follows the dialog to the chosen file's folder.
        const std::string folder = dialog.Chosen().substr(0, request->nFileOffset);
        if (chdir(folder.c_str()) != 0)
            OutputDebugStringA("GetOpenFileNameA: cannot enter the chosen folder\n");
    }
    return TRUE;
}

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT /*type*/) {
    const char* body = text != nullptr ? text : "";
    const char* title = caption != nullptr ? caption : "Error";
    // A box without an owner stands over the active window. Without a
    // window, or on a headless video driver where nobody could answer it,
    // the message goes to standard error.
    HWND window = DialogWindow(owner);
    const char* driver = SDL_GetCurrentVideoDriver();
    const bool headless =
        driver == nullptr || std::string(driver) == "offscreen" || std::string(driver) == "dummy";
    if (window == nullptr || headless) {
        std::fprintf(stderr, "%s: %s\n", title, body);
        return IDOK;
    }
    MessageView view(title, body);
    RunModal(
        window, [&view] { view.Draw(); }, [&view] { return view.Answered(); }, [&view] { view.Answer(); });
    return IDOK;
}
