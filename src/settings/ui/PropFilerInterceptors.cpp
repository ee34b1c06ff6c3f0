// Property interceptors and their registry: which interceptor class stands for which object class, and
// the form's interceptor that stores its restored rectangle scaled between pixel densities.

#include "settings/ui/PropFilerInterceptors.h"

#include "platform/ui/Forms.h"
#include "settings/ui/Persistent.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace pardova {

namespace {

std::vector<std::pair<const QMetaObject*, const QMetaObject*>>& InterceptorRegistry() {
    static std::vector<std::pair<const QMetaObject*, const QMetaObject*>> registry = {
        {&platform::TForm::staticMetaObject, &TFormStoragePropertyInterceptor::staticMetaObject}};
    return registry;
}

} // namespace

TStoragePropertyInterceptor::TStoragePropertyInterceptor(QObject* ATarget) : FTarget(ATarget) {}

void TStoragePropertyInterceptor::Readed() {}

TFormStoragePropertyInterceptor::TFormStoragePropertyInterceptor(QObject* ATarget)
    : TStoragePropertyInterceptor(ATarget) {
    auto* form = qobject_cast<QWidget*>(ATarget);
    if (form == nullptr || !form->isWindow()) {
        return;
    }
    const QRect rect = NormalFormRect(form);
    FLeft = rect.left();
    FTop = rect.top();
    FWidth = rect.width();
    FHeight = rect.height();
    FPixelsPerInch = form->logicalDpiY();
    const Qt::WindowStates state = form->windowState();
    FWindowState = state.testFlag(Qt::WindowMinimized)   ? wsMinimized
                   : state.testFlag(Qt::WindowMaximized) ? wsMaximized
                                                         : wsNormal;
    FActiveControl = form->focusWidget();
}

int TFormStoragePropertyInterceptor::Height() const { return FHeight; }
int TFormStoragePropertyInterceptor::Left() const { return FLeft; }
int TFormStoragePropertyInterceptor::Top() const { return FTop; }
int TFormStoragePropertyInterceptor::Width() const { return FWidth; }

void TFormStoragePropertyInterceptor::SetLeft(int Value) { FLeft = Value; }

void TFormStoragePropertyInterceptor::SetTop(int Value) { FTop = Value; }

void TFormStoragePropertyInterceptor::Readed() {
    // A stored density of zero or less has no meaning (only a hand-edited file holds one); scaling by it
    // would turn every value into -1.
    if (FPixelsPerInch > 0) {
        const int screen = ScreenPixelsPerInch();
        FHeight = MulDiv(FHeight, screen, FPixelsPerInch);
        FLeft = MulDiv(FLeft, screen, FPixelsPerInch);
        FTop = MulDiv(FTop, screen, FPixelsPerInch);
        FWidth = MulDiv(FWidth, screen, FPixelsPerInch);
    }
    auto* form = qobject_cast<QWidget*>(FTarget.data());
    if (form == nullptr) {
        return;
    }
    Qt::WindowStates state = form->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
    if (FWindowState == wsMinimized) {
        state |= Qt::WindowMinimized;
    } else if (FWindowState == wsMaximized) {
        state |= Qt::WindowMaximized;
    }
    form->setWindowState(state);
    if (FActiveControl != nullptr && form->isAncestorOf(FActiveControl)) {
        FActiveControl->setFocus();
    }
    // The frame's share of the outer size, so that the stored outer size gives the client size.
    const QRect frame = form->frameGeometry();
    const QSize client(FWidth - (frame.width() - form->width()), FHeight - (frame.height() - form->height()));
    const auto setBounds = [&] {
        if (client != form->size() && client.isValid()) {
            form->resize(client);
        }
        // A place saved on a monitor that has gone since is brought onto the nearest one.
        platform::MoveWindowFrame(form, platform::PlaceOnAMonitor(form, QPoint(FLeft, FTop)));
    };
    if (state & (Qt::WindowMinimized | Qt::WindowMaximized)) {
        // The restored rectangle is what the window returns to; it is set while the window is restored.
        form->setWindowState(state & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        setBounds();
        form->setWindowState(state);
    } else {
        setBounds();
    }
}

QRect NormalFormRect(const QWidget* Form) {
    const QRect frame = Form->frameGeometry();
    if ((Form->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) &&
        Form->testAttribute(Qt::WA_WState_Created)) {
        const QRect normal = Form->normalGeometry();
        if (normal.isValid()) {
            const QRect client = Form->geometry();
            return QRect(normal.x() - (client.x() - frame.x()), normal.y() - (client.y() - frame.y()),
                         normal.width() + (frame.width() - client.width()),
                         normal.height() + (frame.height() - client.height()));
        }
    }
    return QRect(platform::WindowFramePosition(Form), frame.size());
}

int MulDiv(int Value, int Numerator, int Denominator) {
    if (Denominator == 0) {
        return -1;
    }
    const int64_t product = static_cast<int64_t>(Value) * Numerator;
    const int64_t d = Denominator;
    const bool negative = (product < 0) != (d < 0);
    const int64_t p = product < 0 ? -product : product;
    const int64_t q = d < 0 ? -d : d;
    int64_t result = (p + q / 2) / q;
    if (negative) {
        result = -result;
    }
    if (result > INT32_MAX || result < INT32_MIN) {
        return -1;
    }
    return static_cast<int>(result);
}

int ScreenPixelsPerInch() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        return qRound(screen->logicalDotsPerInchY());
    }
    return 96;
}

void RegisterPropertyInterceptor(const QMetaObject* ObjectClass, const QMetaObject* InterceptorClass) {
    auto& registry = InterceptorRegistry();
    std::erase_if(registry, [&](const auto& pair) { return pair.first == ObjectClass; });
    registry.emplace_back(ObjectClass, InterceptorClass);
}

void UnregisterPropertyInterceptor(const QMetaObject* ObjectClass, const QMetaObject* InterceptorClass) {
    std::erase_if(InterceptorRegistry(),
                  [&](const auto& pair) { return pair.first == ObjectClass && pair.second == InterceptorClass; });
}

int AncestorDistance(const QMetaObject* Class, const QMetaObject* Ancestor) {
    const std::string name = ClassNameOf(Ancestor);
    int distance = 0;
    for (const QMetaObject* meta = Class; meta != nullptr; meta = meta->superClass(), ++distance) {
        if (SameText(ClassNameOf(meta), name)) {
            return distance;
        }
    }
    return -1;
}

const QMetaObject* InterceptorClassFor(const QMetaObject* Class) {
    const QMetaObject* best = nullptr;
    int bestDistance = -1;
    for (const auto& [objectClass, interceptorClass] : InterceptorRegistry()) {
        const int distance = AncestorDistance(Class, objectClass);
        if (distance >= 0 && (best == nullptr || distance < bestDistance)) {
            best = interceptorClass;
            bestDistance = distance;
        }
    }
    return best;
}

std::unique_ptr<TStoragePropertyInterceptor> CreateInterceptor(const QMetaObject* InterceptorClass, QObject* Target) {
    QObject* created = InterceptorClass->newInstance(Q_ARG(QObject*, Target));
    auto* interceptor = qobject_cast<TStoragePropertyInterceptor*>(created);
    if (interceptor == nullptr) {
        delete created;
        throw platform::Exception("Cannot create property interceptor " + ClassNameOf(InterceptorClass));
    }
    return std::unique_ptr<TStoragePropertyInterceptor>(interceptor);
}

} // namespace pardova
