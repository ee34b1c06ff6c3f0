#pragma once
// The property writer and reader: TPropWriterEh records the values named by a list of property paths as
// an object stream; TPropReaderEh applies such a stream back to a window and its components, matching
// objects by name and properties by name. Both store or apply an object's properties through its property
// interceptor, if its class has one (PropFilerInterceptors.h).

#include "settings/core/ObjectStream.h"
#include "settings/ui/Persistent.h"
#include "settings/ui/PropFilerInterceptors.h"

#include <QMetaProperty>
#include <QObject>
#include <QVariant>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pardova {

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
    void WriteObjectValue(QObject* Instance, const QMetaProperty& Property, const std::string& Name,
                          const std::string& Rest, const std::string& AFullPath);
    void WriteVariantValue(const QVariant& Held);
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
    QVariant ReadVariantValue();
    bool ReadObjectValue(QObject* Held, QMetaType Type, QVariant& Value);
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
