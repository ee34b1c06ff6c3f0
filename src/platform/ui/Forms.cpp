#include "platform/ui/Forms.h"

#include "platform/ui/Application.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>

#include <algorithm>
#include <optional>

#ifdef _WIN32
#include "win32/Frame.inc"
#else
#include "posix/Frame.inc"
#endif

namespace pardova::platform {

QFont TahomaFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed"),
                      QStringLiteral("Liberation Sans Narrow"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Arial")});
    font.setPixelSize(11);
    return font;
}

void MoveWindowFrame(QWidget* window, const QPoint& outer) {
    // The system's own window, where there is one to place.
    if (PlaceNativeFrame(window, outer)) {
        return;
    }
    QWindow* handle = window->windowHandle();
    const bool frameUnknown = window->frameGeometry() == window->geometry();
    // The widget counts as visible already while its show event runs; the platform window is shown after.
    if (handle == nullptr || handle->handle() == nullptr || handle->isVisible() || !frameUnknown) {
        // Before the platform window exists the toolkit takes the position as the frame's, and a window
        // that has been framed knows its frame.
        window->move(outer);
        return;
    }
    // The widget's record of its place first (as the client's, for now), so that showing does not place
    // the platform window again; then the platform window's position as the frame's.
    window->move(outer);
    handle->setFramePosition(outer);
}

QPoint WindowFramePosition(const QWidget* window) { return NativeFramePosition(window).value_or(window->pos()); }

QPoint FitInto(const QRect& frame, const QRect& area) {
    const int x = std::max(area.left(), std::min(frame.left(), area.right() + 1 - frame.width()));
    const int y = std::max(area.top(), std::min(frame.top(), area.bottom() + 1 - frame.height()));
    return QPoint(x, y);
}

QPoint PlaceOnAMonitor(const QWidget* window, const QPoint& outer) {
    if (!Application->ScreensAreMonitors()) {
        return outer;
    }
    if (const std::optional<QPoint> native = NativePlaceOnAMonitor(window, outer)) {
        return *native;
    }
    const QRect frame(outer, window->frameGeometry().size());
    const QScreen* nearest = nullptr;
    qint64 nearestDistance = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect monitor = screen->geometry();
        if (monitor.intersects(frame)) {
            return outer;
        }
        // The squared distance between the two rectangles, zero on each axis where they overlap.
        const qint64 dx = std::max({0, monitor.left() - frame.right(), frame.left() - monitor.right()});
        const qint64 dy = std::max({0, monitor.top() - frame.bottom(), frame.top() - monitor.bottom()});
        const qint64 distance = dx * dx + dy * dy;
        if (nearest == nullptr || distance < nearestDistance) {
            nearest = screen;
            nearestDistance = distance;
        }
    }
    return nearest == nullptr ? outer : FitInto(frame, nearest->availableGeometry());
}

TComponent::TComponent(QObject* AOwner) : QObject(AOwner) {
    TForm* form = TForm::FormOf(AOwner);
    FLoading = form != nullptr && form->Loading();
}

void TComponent::Loaded() {}

TForm::TForm(QWidget* parent) : QWidget(parent, Qt::Window) { Application->AddForm(this); }

TForm::~TForm() {
    BeforeDestruction();
    Application->RemoveForm(this);
}

void TForm::AfterConstruction() {
    // The flag stays set while the Loaded steps run, so that a component can tell from inside its own
    // Loaded that it was built with the form.
    const auto components = findChildren<TComponent*>();
    for (TComponent* component : components) {
        if (component->Loading()) {
            component->Loaded();
        }
    }
    for (TComponent* component : components) {
        component->FLoading = false;
    }
    FLoading = false;
    DoCreate();
}

void TForm::BeforeDestruction() {
    if (!FDestroyed) {
        FDestroyed = true;
        DoDestroy();
    }
}

void TForm::Free() {
    BeforeDestruction();
    delete this;
}

bool TForm::HandleAllocated() const { return testAttribute(Qt::WA_WState_Created); }

bool TForm::CloseQuery() {
    bool CanClose = true;
    try {
        // A copy: the handler may replace the event while it runs.
        auto handler = OnCloseQuery;
        if (handler) {
            handler(this, CanClose);
        }
    } catch (...) {
        Application->HandleException(this);
        return false;
    }
    return CanClose;
}

TForm* TForm::FormOf(QObject* object) {
    for (; object != nullptr; object = object->parent()) {
        if (auto* form = qobject_cast<TForm*>(object)) {
            return form;
        }
    }
    return nullptr;
}

void TForm::SetWidth(int width) { SetClientWidth(width - (frameGeometry().width() - QWidget::width())); }

void TForm::SetHeight(int height) { SetClientHeight(height - (frameGeometry().height() - QWidget::height())); }

void TForm::SetClientWidth(int width) {
    if (minimumWidth() == maximumWidth()) {
        setFixedWidth(width);
    } else {
        resize(width, QWidget::height());
    }
}

void TForm::SetClientHeight(int height) {
    if (minimumHeight() == maximumHeight()) {
        setFixedHeight(height);
    } else {
        resize(QWidget::width(), height);
    }
}

void TForm::SetDialogBorder(int clientWidth, int clientHeight) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(clientWidth, clientHeight);
}

void TForm::SetAnchors(QWidget* control, int anchors) {
    for (auto& entry : FAnchored) {
        if (entry.Control == control) {
            entry = {control, anchors, control->geometry(), size()};
            return;
        }
    }
    FAnchored.push_back({control, anchors, control->geometry(), size()});
}

void TForm::AlignBottom(QWidget* control) {
    FBottomAligned.push_back(control);
    ArrangeControls();
}

void TForm::ArrangeControls() {
    int bottom = QWidget::height();
    for (QWidget* control : FBottomAligned) {
        bottom -= control->height();
        control->setGeometry(0, bottom, QWidget::width(), control->height());
    }
    for (const auto& entry : FAnchored) {
        const int dx = QWidget::width() - entry.DesignClient.width();
        const int dy = QWidget::height() - entry.DesignClient.height();
        QRect rect = entry.Design;
        if ((entry.Anchors & akRight) != 0) {
            if ((entry.Anchors & akLeft) != 0) {
                rect.setWidth(rect.width() + dx);
            } else {
                rect.moveLeft(rect.left() + dx);
            }
        }
        if ((entry.Anchors & akBottom) != 0) {
            if ((entry.Anchors & akTop) != 0) {
                rect.setHeight(rect.height() + dy);
            } else {
                rect.moveTop(rect.top() + dy);
            }
        }
        entry.Control->setGeometry(rect);
    }
}

void TForm::DoCreate() {
    Application->Guard(this, [this] {
        auto handler = OnCreate;
        if (handler) {
            handler(this);
        }
    });
}

void TForm::DoShow() {
    Application->Guard(this, [this] {
        auto handler = OnShow;
        if (handler) {
            handler(this);
        }
    });
}

void TForm::DoDestroy() {
    Application->Guard(this, [this] {
        auto handler = OnDestroy;
        if (handler) {
            handler(this);
        }
    });
}

void TForm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Qt sends this before the window is put on the screen; spontaneous ones (a restore from the
    // taskbar) are not a showing of the form.
    if (!event->spontaneous()) {
        DoShow();
    }
}

void TForm::ShowUnseen() { DoShow(); }

void TForm::closeEvent(QCloseEvent* event) {
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    if (Application->MainForm() == this) {
        QCoreApplication::quit();
    }
}

void TForm::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangeControls();
}

} // namespace pardova::platform
