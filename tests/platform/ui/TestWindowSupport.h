#pragma once
// Answers the application's failure boxes in place of a user and remembers what they showed. The box is
// the platform's own, read back from what stands on the screen: on Windows the system's message box, found
// among the thread's windows and read from its controls; elsewhere the window framework's box.

#include "platform/core/Override.h"
#include "platform/ui/Application.h"
#include "platform/ui/TestWin32Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>
#include <utility>
#include <vector>

namespace pardova::testing {

struct ShownBox {
    QString Text;
    QString Caption;
    QMessageBox::Icon Icon;
    QMessageBox::StandardButtons Standard;
    size_t ButtonCount;
    // Whether the box disables the program's other windows while it is shown.
    bool Modal;
};

#ifdef _WIN32

inline bool IsIconStatic(HWND child) {
    return WindowClassName(child).compare(QLatin1String("Static"), Qt::CaseInsensitive) == 0 &&
           (GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON;
}

inline QMessageBox::Icon ShownIcon(HWND box) {
    for (HWND child : ChildWindows(box)) {
        if (!IsIconStatic(child) || !IsWindowVisible(child)) {
            continue;
        }
        const auto shown = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        if (shown == LoadIconW(nullptr, IDI_ERROR)) {
            return QMessageBox::Critical;
        }
        if (shown == LoadIconW(nullptr, IDI_WARNING)) {
            return QMessageBox::Warning;
        }
        if (shown == LoadIconW(nullptr, IDI_INFORMATION)) {
            return QMessageBox::Information;
        }
        if (shown == LoadIconW(nullptr, IDI_QUESTION)) {
            return QMessageBox::Question;
        }
    }
    return QMessageBox::NoIcon;
}

// An owned box disables its owner; a box without one disables every other window of the thread.
inline bool IsShownModal(HWND box) {
    if (HWND owner = GetWindow(box, GW_OWNER)) {
        return !IsWindowEnabled(owner);
    }
    bool othersDisabled = true;
    struct Scan {
        HWND Box;
        bool* OthersDisabled;
    } scan{box, &othersDisabled};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Scan*>(data);
            if (window != s->Box && IsWindowVisible(window) && IsWindowEnabled(window)) {
                *s->OthersDisabled = false;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&scan));
    return othersDisabled;
}

// The system's message box as it stands on the screen.
inline ShownBox ReadShownBox(HWND box) {
    ShownBox shown{{}, WindowText(box), ShownIcon(box), {}, 0, IsShownModal(box)};
    for (HWND child : ChildWindows(box)) {
        const QString className = WindowClassName(child);
        if (shown.Text.isEmpty() && className.compare(QLatin1String("Static"), Qt::CaseInsensitive) == 0 &&
            !IsIconStatic(child)) {
            shown.Text = WindowText(child);
        }
        if (className.compare(QLatin1String("Button"), Qt::CaseInsensitive) != 0 || !IsWindowVisible(child)) {
            continue;
        }
        ++shown.ButtonCount;
        switch (GetDlgCtrlID(child)) {
        case IDOK:
            shown.Standard |= QMessageBox::Ok;
            break;
        case IDCANCEL:
            shown.Standard |= QMessageBox::Cancel;
            break;
        case IDYES:
            shown.Standard |= QMessageBox::Yes;
            break;
        case IDNO:
            shown.Standard |= QMessageBox::No;
            break;
        case IDABORT:
            shown.Standard |= QMessageBox::Abort;
            break;
        case IDRETRY:
            shown.Standard |= QMessageBox::Retry;
            break;
        case IDIGNORE:
            shown.Standard |= QMessageBox::Ignore;
            break;
        default:
            break;
        }
    }
    return shown;
}

#else

// Calls back with every message box of the window framework once its modal loop runs.
class QtBoxWatcher : public QObject {
public:
    explicit QtBoxWatcher(std::function<void(QMessageBox&)> answer) : FAnswer(std::move(answer)) {
        QApplication::instance()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            if (auto* box = qobject_cast<QMessageBox*>(watched)) {
                QTimer::singleShot(0, box, [this, box] { FAnswer(*box); });
            }
        }
        return false;
    }

private:
    std::function<void(QMessageBox&)> FAnswer;
};

#endif

// For its life the failure boxes are shown also where no user could see them, and answered with OK once
// they show; Boxes holds what each of them showed.
class BoxAnswerer {
public:
    BoxAnswerer()
#ifdef _WIN32
        : FAnswerer([this](HWND box) {
              Boxes.push_back(ReadShownBox(box));
              if (OnShown) {
                  OnShown(Boxes.back());
              }
              PressDialogButton(box, IDOK);
          })
#else
        : FWatcher([this](QMessageBox& box) {
              Boxes.push_back({box.text(), box.windowTitle(), box.icon(), box.standardButtons(),
                               static_cast<size_t>(box.buttons().size()), box.isModal()});
              if (OnShown) {
                  OnShown(Boxes.back());
              }
              if (QAbstractButton* ok = box.button(QMessageBox::Ok)) {
                  ok->click();
              }
              if (box.isVisible()) {
                  box.done(QMessageBox::Ok);
              }
          })
#endif
    {
    }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    // The texts of the boxes shown so far.
    std::vector<QString> Texts() const {
        std::vector<QString> texts;
        for (const ShownBox& box : Boxes) {
            texts.push_back(box.Text);
        }
        return texts;
    }

    std::vector<ShownBox> Boxes;
    // Called with each box while it is shown, before it is answered.
    std::function<void(const ShownBox&)> OnShown;

private:
    platform::ScopedOverride<bool> FAnswered{platform::TheFailureBoxesAreAnswered, true};
#ifdef _WIN32
    ThreadDialogAnswerer FAnswerer;
#else
    QtBoxWatcher FWatcher;
#endif
};

} // namespace pardova::testing
