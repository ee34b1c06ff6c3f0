#pragma once
// The property writer and reader: TPropWriterEh records the values named by a list of property paths as
// an object stream; TPropReaderEh applies such a stream back to a window and its components, matching
// objects by name and properties by name. Property interceptors stand in for an object whose own
// properties are not the right thing to store (a form's restored rectangle).

#include "settings/core/ObjectStream.h"
#include "settings/ui/Persistent.h"

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

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
    bool PosPresent() const { return FPosPresent; }

private:
    QPointer<QWidget> FActiveControl;
    int FHeight = 0;
    int FLeft = 0;
    int FPixelsPerInch = 96;
    bool FPosPresent = false;
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

// The interceptor registry: pairs of an object class and an interceptor class.
void RegisterPropertyInterceptor(const QMetaObject* ObjectClass, const QMetaObject* InterceptorClass);
void UnregisterPropertyInterceptor(const QMetaObject* ObjectClass, const QMetaObject* InterceptorClass);
// The interceptor class registered for Class or its nearest ancestor (the first registered on a tie), or
// none.
const QMetaObject* InterceptorClassFor(const QMetaObject* Class);
// Steps from Class up to the class named like Ancestor (letter case ignored); -1 when it is no ancestor.
int AncestorDistance(const QMetaObject* Class, const QMetaObject* Ancestor);
// The registry as the settings store sets it up at start: the form interceptor for forms.
void RegisterDefaultPropertyInterceptors();

class TPropWriterEh;
class TPropReaderEh;
using TWriteOwnerPropsEventEh = std::function<void(TPropWriterEh& Writer)>;
using TReadOwnerPropEventEh = std::function<void(TPropReaderEh& Reader, const std::string& PropName, bool& Processed)>;

class TPropWriterEh : public TWriter, public TFiler {
public:
    // BufSize is accepted for the callers' sake; the stream writes through directly.
    TPropWriterEh(TStream& Stream, int BufSize);
    ~TPropWriterEh() override;

    QObject* Root() const { return FRoot; }

    // Writes the owner's block: its own "<P>" paths, then a block per component holding the others.
    // PropList must be in ComparePropertyPaths order.
    void WriteOwnerProperties(QObject* Owner, const std::vector<std::string>& PropList);
    void SaveObjectProperyValue(QObject* Instance, const std::string& APath, const std::string& AFullPath);
    // FPropPath followed by PropName, as a short string.
    void WritePropName(const std::string& PropName);
    void WriteCollection(TCollection* Value);
    void WriteObjectProperties(QObject* Object);
    // Empties the defined-property lists, then lets Instance define its properties to this writer.
    void DefineObjectProperties(QObject* Instance);

    void DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc WriteData, bool HasData) override;
    void DefineBinaryProperty(const std::string& Name, TStreamProc ReadData, TStreamProc WriteData,
                              bool HasData) override;

    TWriteOwnerPropsEventEh OnWriteOwnerProps;

private:
    void WritePropertyValue(QObject* Instance, const QMetaProperty& Property, const std::string& Name,
                            const std::string& Rest, const std::string& AFullPath);
    void WriteHeader(QObject* Component);
    std::string ReferenceName(const QObject* Component) const;
    TStoragePropertyInterceptor* InterceptorFor(QObject* Instance, const QMetaObject* InterceptorClass);

    QObject* FRoot = nullptr;
    std::vector<QObject*> FCurRootsList;
    std::vector<std::pair<std::string, TStreamProc>> FDefnBinPropList;
    std::vector<std::pair<std::string, TWriterProc>> FDefnPropList;
    std::vector<std::unique_ptr<TStoragePropertyInterceptor>> FInterceptorList;
    std::string FPropPath;
};

// Every storable property path of an object: its published properties in name order (a persistent
// non-component object contributes its own paths behind its name, a collection its name), then the names
// of its defined properties.
std::vector<std::string> ListObjectProperties(QObject* Object);

class TPropReaderEh : public TReader, public TFiler {
public:
    TPropReaderEh(TStream& Stream, int BufSize);
    ~TPropReaderEh() override;

    QObject* Root() const { return FRoot; }

    // Checks the signature ("Invalid stream format") and reads the owner's block onto Component.
    void ReadOwnerProperties(QObject* Component);
    // Reads one object record onto Component, or, with none given, onto the child of the current parent
    // that has the stored name (a throwaway object when there is none, so the values are dropped).
    void ReadComponent(QObject* Component);
    void ReadPropertyEntry(QObject* Object);
    void ReadPropertyValue(QObject* Instance, const QMetaProperty& Property);

    void DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc WriteData, bool HasData) override;
    void DefineBinaryProperty(const std::string& Name, TStreamProc ReadData, TStreamProc WriteData,
                              bool HasData) override;

    TReadOwnerPropEventEh OnReadOwnerProp;

private:
    void ReadCollectionItems(TCollection* Collection);
    void ApplyPropertySegments(QObject* Object, const std::string& Name);
    QObject* FindComponentByReference(const std::string& Name) const;

    QObject* FRoot = nullptr;
    QObject* FParent = nullptr;
    bool FCanHandleExcepts = false;
    int FDepth = 0;
    std::vector<TCollection*>* FCollectionList = nullptr;
    std::vector<std::unique_ptr<TStoragePropertyInterceptor>>* FInterceptorList = nullptr;
    std::string FPropName;
};

} // namespace pardova
