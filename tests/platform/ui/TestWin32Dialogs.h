#pragma once
// Windows: answers the system's own dialogs (the open-file dialog, the message box) in place of a user.
// Such a dialog runs a modal loop of its own, so the answer comes from a thread timer, which that loop
// dispatches: once a dialog of the thread is showing, the answer reads it back from its controls and
// answers it through them, as a user would.

#ifdef _WIN32

#include <windows.h>
#include <commdlg.h>
#include <dlgs.h>

// The system's headers spell this function as a macro; the suites that include this header keep the name
// for their own helpers.
#undef CreateWindow

#include "support/TestWin32Windows.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pardova::testing {

inline QString WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return QString::fromStdWString(text);
}

inline QString WindowClassName(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return QString::fromWCharArray(name);
}

// The visible dialog window of the calling thread, if there is one.
inline HWND FindThreadDialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) -> BOOL {
            if (IsWindowVisible(window) && WindowClassName(window) == QLatin1String("#32770")) {
                *reinterpret_cast<HWND*>(result) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Presses a dialog's button as a click would.
inline void PressDialogButton(HWND dialog, int id) {
    if (IsWindow(dialog)) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
    }
}

inline bool IsDialogShowing(HWND dialog) { return IsWindow(dialog) && IsWindowVisible(dialog); }

// For its life, answers every dialog of the thread once it shows, and cancels one that the answer has left
// open, so that no dialog is ever left waiting.
class ThreadDialogAnswerer {
public:
    explicit ThreadDialogAnswerer(std::function<void(HWND dialog)> answer) : FAnswer(std::move(answer)) {
        FPrevious = std::exchange(Current(), this);
        FTimer = SetTimer(nullptr, 0, 10, &ThreadDialogAnswerer::OnTimer);
    }
    ~ThreadDialogAnswerer() {
        KillTimer(nullptr, FTimer);
        Current() = FPrevious;
    }
    ThreadDialogAnswerer(const ThreadDialogAnswerer&) = delete;
    ThreadDialogAnswerer& operator=(const ThreadDialogAnswerer&) = delete;

    int Answered() const { return FAnswered; }

private:
    static constexpr const wchar_t* kAnsweredMark = L"pardova-test-answered";

    static ThreadDialogAnswerer*& Current() {
        thread_local ThreadDialogAnswerer* current = nullptr;
        return current;
    }

    static void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
        ThreadDialogAnswerer* self = Current();
        HWND dialog = FindThreadDialog();
        // A dialog that was answered may still be on the screen until its modal loop ends; the mark on the
        // window tells it from the next one.
        if (self == nullptr || dialog == nullptr || GetPropW(dialog, kAnsweredMark) != nullptr) {
            return;
        }
        SetPropW(dialog, kAnsweredMark, reinterpret_cast<HANDLE>(1));
        ++self->FAnswered;
        self->FAnswer(dialog);
        if (IsDialogShowing(dialog)) {
            PressDialogButton(dialog, IDCANCEL);
        }
    }

    std::function<void(HWND)> FAnswer;
    ThreadDialogAnswerer* FPrevious = nullptr;
    UINT_PTR FTimer = 0;
    int FAnswered = 0;
};

// The system's open-file dialog as it stands on the screen.
class ShownFileDialog {
public:
    explicit ShownFileDialog(HWND dialog) : FDialog(dialog) {}

    // The folder it lists.
    QString Folder() const {
        std::vector<wchar_t> buffer(32768);
        const LRESULT length =
            SendMessageW(FDialog, CDM_GETFOLDERPATH, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()));
        return length > 0 ? QString::fromWCharArray(buffer.data()) : QString();
    }
    // The text of its file name box: an edit, or a combo box with an edit, depending on its template.
    QString FileNameText() const {
        for (int id : {cmb13, edt1}) {
            HWND box = GetDlgItem(FDialog, id);
            if (box != nullptr && IsWindowVisible(box)) {
                return WindowText(box);
            }
        }
        return {};
    }
    // The descriptions in its filter list.
    QStringList Filters() const {
        QStringList result;
        HWND list = GetDlgItem(FDialog, cmb1);
        const LRESULT count = list ? SendMessageW(list, CB_GETCOUNT, 0, 0) : 0;
        for (LRESULT i = 0; i < count; ++i) {
            const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
            std::wstring text(static_cast<size_t>(length) + 1, L'\0');
            SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
            text.resize(static_cast<size_t>(length));
            result << QString::fromStdWString(text);
        }
        return result;
    }
    // Its title bar's text.
    QString Caption() const { return WindowText(FDialog); }
    void Accept() { PressDialogButton(FDialog, IDOK); }
    void Cancel() { PressDialogButton(FDialog, IDCANCEL); }

private:
    HWND FDialog;
};

// Answers the system's open-file dialog that shows during its life.
class FileDialogAnswerer {
public:
    explicit FileDialogAnswerer(std::function<void(ShownFileDialog&)> answer)
        : FAnswerer([answer = std::move(answer)](HWND dialog) {
              ShownFileDialog shown(dialog);
              answer(shown);
          }) {}
    int Answered() const { return FAnswerer.Answered(); }

private:
    ThreadDialogAnswerer FAnswerer;
};

} // namespace pardova::testing

#endif
