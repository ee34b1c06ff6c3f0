#pragma once
// Property interceptors stand in for an object whose own properties are not the right thing to store (a
// form's restored rectangle): the property writer and reader look one up in a registry by the object's
// class and store or apply its properties in place of the object's own.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace pardova {

// Stands for one object while it is written or read. Its published properties are the ones it
// intercepts: a readable one replaces the target's property of the same name when writing, a writable one
// receives the value instead of the target when reading. Subclasses need a Q_INVOKABLE constructor taking
// the target, which is how the registry creates them.
class TStoragePropertyInterceptor : public QObject {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TStoragePropertyInterceptor(QObject* ATarget);
    QObject* Target() const { return FTarget; }
    // Applies what was read; the base does nothing.
    virtual void Readed();

protected:
    QPointer<QObject> FTarget;
};

// Stores a form's restored position and size, scaled between pixel densities, applied in one step.
class TFormStoragePropertyInterceptor : public TStoragePropertyInterceptor {
    Q_OBJECT
    Q_CLASSINFO("WriteOnlyProperties", "ActiveControl,PixelsPerInch,WindowState")
    Q_PROPERTY(QWidget* ActiveControl READ ActiveControl WRITE SetActiveControl)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int PixelsPerInch READ PixelsPerInch WRITE SetPixelsPerInch)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(TWindowState WindowState READ WindowState WRITE SetWindowState)

public:
    enum TWindowState { wsNormal, wsMinimized, wsMaximized };
    Q_ENUM(TWindowState)

    Q_INVOKABLE explicit TFormStoragePropertyInterceptor(QObject* ATarget);
    void Readed() override;

    QWidget* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(QWidget* Value) { FActiveControl = Value; }
    int Height() const;
    void SetHeight(int Value) { FHeight = Value; }
    int Left() const;
    void SetLeft(int Value);
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int Value) { FPixelsPerInch = Value; }
    int Top() const;
    void SetTop(int Value);
    int Width() const;
    void SetWidth(int Value) { FWidth = Value; }
    TWindowState WindowState() const { return FWindowState; }
    void SetWindowState(TWindowState Value) { FWindowState = Value; }

private:
    QPointer<QWidget> FActiveControl;
    int FHeight = 0;
    int FLeft = 0;
    int FPixelsPerInch = 96;
    int FTop = 0;
    int FWidth = 0;
    TWindowState FWindowState = wsNormal;
};

// The rectangle of a form's restored window: the platform's restored placement when the form is maximised
// or minimised and its window exists, else its own left, top, right and bottom.
QRect NormalFormRect(const QWidget* Form);
// Value × Numerator / Denominator rounded to the nearest integer, halves away from zero; -1 when the
// denominator is 0.
int MulDiv(int Value, int Numerator, int Denominator);
// The screen's pixels per inch.
int ScreenPixelsPerInch();

// The interceptor registry: pairs of an object class and an interceptor class, at start the form
// interceptor for forms.
void RegisterPropertyInterceptor(const QMetaObject* ObjectClass, const QMetaObject* InterceptorClass);
void UnregisterPropertyInterceptor(const QMetaObject* ObjectClass, const QMetaObject* InterceptorClass);
// The interceptor class registered for Class or its nearest ancestor (the first registered on a tie), or
// none.
const QMetaObject* InterceptorClassFor(const QMetaObject* Class);
// Steps from Class up to the class named like Ancestor (letter case ignored); -1 when it is no ancestor.
int AncestorDistance(const QMetaObject* Class, const QMetaObject* Ancestor);
// A new interceptor of InterceptorClass for Target; throws when that class cannot make one.
std::unique_ptr<TStoragePropertyInterceptor> CreateInterceptor(const QMetaObject* InterceptorClass, QObject* Target);

} // namespace pardova
