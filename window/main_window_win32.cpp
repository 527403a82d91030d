// Form1 as a native Win32 window: the controls of the form design at the
// window's DPI, the three handled events wired to the list, and the reports.
// The walk of a press runs on a thread of its own and reports back through
// posted messages, which keeps the window drawn and closable meanwhile.

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "dpi_win32.h"
#include "error.h"
#include "error_report.h"
#include "form_design.h"
#include "form_events.h"
#include "program_directory.h"
#include "resources/resource_ids.h"
#include "standard_streams.h"
#include "utf8_win32.h"

namespace {

constexpr wchar_t kClassName[] = L"ObeyGenForm1";
constexpr int kFirstControlId = 100;  // + tab index
constexpr int kCommand1Id = kFirstControlId;
constexpr UINT kRunPosted = WM_APP;  // lParam: a std::function<void()> to run and delete
constexpr UINT_PTR kFindBoxTimer = 1;
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kFormExStyle = 0;

std::wstring Caption() {
    return Utf8ToWide(kFormCaption);
}

void ShowBox(HWND owner, const std::string& text, UINT icon) {
    MessageBoxW(owner, Utf8ToWide(text).c_str(), Caption().c_str(), MB_OK | icon);
}

// What is made anew for each DPI; released only once its successor is in
// use, so that no control draws with a deleted font.
struct ScaledResources {
    HFONT font = nullptr;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;

    void Release() const {
        DeleteObject(font);
        DestroyIcon(bigIcon);
        DestroyIcon(smallIcon);
    }
};

class Form1 : public FormFeedback {
  public:
    Form1(HINSTANCE instance, NativeString programDirectory)
        : instance_(instance), events_(std::move(programDirectory), *this) {}

    ~Form1() override { scaled_.Release(); }

    int Run(int showCommand);

    void ShowError(const std::string& text) override { ShowOwnedBox(text, MB_ICONERROR); }
    void ShowWarning(const std::string& text) override { ShowOwnedBox(text, MB_ICONWARNING); }
    void SetBusy(bool busy) override;
    void SetCaption(const std::string& caption) override {
        SetWindowTextW(window_, Utf8ToWide(caption).c_str());
    }
    void SetCommandText(const std::string& text) override {
        SetWindowTextW(controls_[0], Utf8ToWide(text).c_str());
    }
    // A static control breaks lines at CR LF.
    void SetOutcome(const std::string& text) override {
        std::wstring wide = Utf8ToWide(text.empty() ? kControls[1].text : text);
        for (std::size_t at = wide.find(L'\n'); at != std::wstring::npos;
             at = wide.find(L'\n', at + 2)) {
            wide.insert(at, 1, L'\r');
        }
        SetWindowTextW(controls_[1], wide.c_str());
    }
    void Post(std::function<void()> task) override {
        auto* posted = new std::function<void()>(std::move(task));
        if (!PostMessageW(window_, kRunPosted, 0, reinterpret_cast<LPARAM>(posted))) {
            delete posted;
        }
    }

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    bool Register();
    void ShowOwnedBox(const std::string& text, UINT icon);
    void CreateControls();
    void ApplyDpi(UINT dpi);
    HWND Owner() const {
        return window_ != nullptr && IsWindowVisible(window_) ? window_ : nullptr;
    }

    HINSTANCE instance_;
    FormEvents events_;
    HWND window_ = nullptr;
    std::array<HWND, kControls.size()> controls_{};
    ScaledResources scaled_;
    HWND focusBeforeDeactivation_ = nullptr;
    bool busy_ = false;
    bool boxOpen_ = false;
    HWND box_ = nullptr;  // the open box, once it is up
    int exitCode_ = 0;
};

bool Form1::Register() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &Form1::WindowProc;
    windowClass.hInstance = instance_;
    windowClass.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_PROGRAM));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    return RegisterClassExW(&windowClass) != 0;
}

int Form1::Run(int showCommand) {
    if (!Register()) {
        ShowError(ErrorReport(LastError()));
        return 1;
    }
    // Created hidden at the default place; the size is set once the window
    // knows the DPI of the monitor it landed on.
    window_ = CreateWindowExW(kFormExStyle, kClassName, Caption().c_str(), kFormStyle,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr,
                              nullptr, instance_, this);
    if (window_ == nullptr) {
        ShowError(ErrorReport(LastError()));
        return 1;
    }
    // The load event: the window exists but is not shown, and is never shown
    // when the list cannot be opened.
    if (!events_.Load()) {
        DestroyWindow(window_);
        return 1;
    }
    ShowWindow(window_, showCommand);
    UpdateWindow(window_);
    SetFocus(controls_[0]);

    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) {
            return 1;
        }
        // Tab, Space and Enter work as in a dialog box.
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return exitCode_;
}

// A box disables its owner, which then takes no close request either: the
// owner is enabled again once the box is up, so that a close ends the
// program as it does without a box, and presses of Command1 are ignored
// meanwhile. The box stays above the window it belongs to.
void Form1::ShowOwnedBox(const std::string& text, UINT icon) {
    HWND owner = Owner();
    if (owner != nullptr) {
        SetTimer(owner, kFindBoxTimer, 50, nullptr);
    }
    boxOpen_ = true;
    ShowBox(owner, text, icon);
    boxOpen_ = false;
    box_ = nullptr;
    if (window_ != nullptr) {
        KillTimer(window_, kFindBoxTimer);
    }
}

void Form1::SetBusy(bool busy) {
    busy_ = busy;
    // A disabled button takes neither the mouse nor Enter or Space; it loses
    // the focus, which comes back with the button.
    EnableWindow(controls_[0], !busy);
    if (!busy) {
        if (GetActiveWindow() == window_) {
            SetFocus(controls_[0]);
        } else {
            focusBeforeDeactivation_ = controls_[0];
        }
    }
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void Form1::CreateControls() {
    // Created in tab order, which makes it the order Tab follows.
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const ControlDesign& design = kControls[i];
        const bool button = design.kind == ControlKind::kPushButton;
        // The only button is the default one, so that Enter presses it as in a
        // dialog box; a label wraps its text unless it is a one-liner.
        const DWORD style = WS_CHILD | WS_VISIBLE |
                            (button ? WS_TABSTOP | BS_DEFPUSHBUTTON
                                    : SS_NOPREFIX | (design.wraps ? SS_LEFT : SS_LEFTNOWORDWRAP));
        controls_[i] = CreateWindowExW(
            0, button ? L"BUTTON" : L"STATIC", Utf8ToWide(design.text).c_str(), style, 0, 0, 0, 0,
            window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + i)), instance_,
            nullptr);
    }
}

// Everything measured in twips or points is measured anew for the DPI.
void Form1::ApplyDpi(UINT dpi) {
    const auto loadIcon = [&](int widthMetric, int heightMetric) {
        return static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_PROGRAM), IMAGE_ICON,
                                             SystemMetricForDpi(widthMetric, dpi),
                                             SystemMetricForDpi(heightMetric, dpi), 0));
    };
    const ScaledResources old = std::exchange(
        scaled_, ScaledResources{CreateMessageFont(dpi), loadIcon(SM_CXICON, SM_CYICON),
                                 loadIcon(SM_CXSMICON, SM_CYSMICON)});
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const Box box = ToPixels(kControls[i].twips, static_cast<int>(dpi));
        SetWindowPos(controls_[i], nullptr, box.left, box.top, box.width, box.height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(scaled_.font), TRUE);
    }
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(scaled_.bigIcon));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(scaled_.smallIcon));
    old.Release();
}

LRESULT CALLBACK Form1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Form1* form;
    if (message == WM_NCCREATE) {
        form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        form->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    } else {
        form = reinterpret_cast<Form1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    if (form == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return form->Handle(message, wParam, lParam);
}

LRESULT Form1::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            CreateControls();
            const UINT dpi = WindowDpi(window_);
            ApplyDpi(dpi);
            const SIZE frame =
                FrameSizeForClient(TwipsToPixels(kFormClientWidthTwips, static_cast<int>(dpi)),
                                   TwipsToPixels(kFormClientHeightTwips, static_cast<int>(dpi)),
                                   kFormStyle, kFormExStyle, dpi);
            SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_DPICHANGED: {
            ApplyDpi(HIWORD(wParam));
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_SETCURSOR:
            // Over the controls too: they ask their parent first.
            if (busy_) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case kRunPosted: {
            const std::unique_ptr<std::function<void()>> task(
                reinterpret_cast<std::function<void()>*>(lParam));
            (*task)();
            return 0;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == kCommand1Id && HIWORD(wParam) == BN_CLICKED) {
                if (!boxOpen_) {
                    events_.Click();
                }
                return 0;
            }
            break;
        case WM_TIMER:
            if (wParam == kFindBoxTimer) {
                // Dispatched by the box's own loop, once the box is up.
                HWND popup = GetLastActivePopup(window_);
                if (boxOpen_ && popup != window_) {
                    box_ = popup;
                    EnableWindow(window_, TRUE);
                    KillTimer(window_, kFindBoxTimer);
                }
                return 0;
            }
            break;
        case WM_ACTIVATE:
            // As a dialog box does: the focus goes back to the control that had
            // it, so that Enter still presses the button after a message box.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus != nullptr && IsChild(window_, focus)) {
                    focusBeforeDeactivation_ = focus;
                }
            } else if (!HIWORD(wParam)) {
                SetFocus(focusBeforeDeactivation_ != nullptr ? focusBeforeDeactivation_
                                                             : controls_[0]);
            }
            return 0;
        case WM_CLOSE:
            // The close button, the system menu and Alt+F4 all arrive here.
            // A box runs a loop of its own inside a handler of the window:
            // the box is ended now, and the window once that handler has
            // returned, so that nothing is destroyed under a caller still
            // using it.
            if (box_ != nullptr) {
                EndDialog(box_, IDOK);
                PostMessageW(window_, WM_CLOSE, 0, 0);
                return 0;
            }
            if (!events_.Unload()) {
                exitCode_ = 1;
            }
            DestroyWindow(window_);
            return 0;
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // The session ends: the process may be stopped once this returns.
            if (wParam) {
                events_.Unload();
            }
            return 0;
        case WM_DESTROY:
            PostQuitMessage(exitCode_);
            return 0;
        case WM_NCDESTROY: {
            HWND window = window_;
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            window_ = nullptr;
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    PrepareStandardStreams();
    PreferChineseDescriptions();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    NativeString programDirectory;
    try {
        programDirectory = ProgramDirectory();
    } catch (const Error& error) {
        ShowBox(nullptr, ErrorReport(error), MB_ICONERROR);
        return 1;
    }
    Form1 form(instance, std::move(programDirectory));
    return form.Run(showCommand);
}
