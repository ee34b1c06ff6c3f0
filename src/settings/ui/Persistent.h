#pragma once
// What the settings store needs of the object model, over Qt's meta-objects: published properties are
// Q_PROPERTYs, enumerations Q_ENUMs, sets Q_FLAGs, class names come from the meta-object (without a C++
// namespace), component names are object names, a component's owner is its Qt parent.
//
// Objects that are not components — stored inside their holder's block under dotted names — derive from
// TPersistent; TCollection holds a list of items. A component that a property exposes as part of its
// holder is marked a subcomponent. A class may define extra named values for its stored description by
// implementing IDefineProperties.

#include "platform/core/Locale.h"
#include "settings/core/ObjectStream.h"

#include <QMetaProperty>
#include <QMetaType>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pardova {

class TPersistent : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
};

class TCollection;

class TCollectionItem : public TPersistent {
    Q_OBJECT
public:
    explicit TCollectionItem(TCollection* Collection);
    TCollection* Collection() const;
    int Index() const;
};

// An ordered list of items of one kind. Update mode (BeginUpdate / EndUpdate, nestable) defers the
// collection's Update until the outermost EndUpdate.
class TCollection : public TPersistent {
    Q_OBJECT
public:
    using TItemFactory = std::function<TCollectionItem*(TCollection*)>;
    explicit TCollection(TItemFactory ItemFactory, QObject* parent = nullptr);
    ~TCollection() override;

    int Count() const { return static_cast<int>(FItems.size()); }
    TCollectionItem* Item(int Index) const;
    TCollectionItem* Add();
    void Clear();

    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }
    // How many times the collection was updated (each change outside update mode, each outermost
    // EndUpdate).
    int Updates() const { return FUpdates; }

private:
    friend class TCollectionItem;
    void Changed();

    TItemFactory FItemFactory;
    std::vector<TCollectionItem*> FItems;
    int FUpdateCount = 0;
    int FUpdates = 0;
};

// A component exposed by a property of its holder and stored as part of it.
void SetSubComponent(QObject* Component, bool Value);
bool IsSubComponent(const QObject* Component);
// A component: any object that is not a TPersistent.
bool IsComponent(const QObject* Object);

// The value of an event-valued property: the name of the handler method, empty for none.
struct TMethodRef {
    QString MethodName;
    bool operator==(const TMethodRef&) const = default;
};

// The value of an interface-valued property: the component behind the reference, or none.
struct TInterfaceRef {
    QPointer<QObject> Component;
    bool operator==(const TInterfaceRef& other) const { return Component == other.Component; }
};

// The platform's registry root keys, an integer type whose values have registered names.
enum TRegistryRootKey : uint32_t {};

} // namespace pardova

Q_DECLARE_METATYPE(pardova::TMethodRef)
Q_DECLARE_METATYPE(pardova::TInterfaceRef)
Q_DECLARE_METATYPE(pardova::TRegistryRootKey)

namespace pardova {

class TStream;

// The defined properties of an object, as a filer sees them.
class TFiler {
public:
    virtual ~TFiler() = default;
    using TReaderProc = std::function<void(TReader&)>;
    using TWriterProc = std::function<void(TWriter&)>;
    using TStreamProc = std::function<void(TStream&)>;
    virtual void DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc WriteData, bool HasData) = 0;
    virtual void DefineBinaryProperty(const std::string& Name, TStreamProc ReadData, TStreamProc WriteData,
                                      bool HasData) = 0;
};

class IDefineProperties {
public:
    virtual ~IDefineProperties() = default;
    virtual void DefineProperties(TFiler& Filer) = 0;
};

// The class name without any C++ namespace: "TsDirectoryEdit" for pardova::TsDirectoryEdit.
std::string ClassNameOf(const QMetaObject* Class);
std::string ClassNameOf(const QObject* Object);
std::string NameOf(const QObject* Object);

// The kinds of published property the writer and reader tell apart.
enum class TPropKind {
    Integer,
    Char,
    Enumeration,
    Boolean,
    Set,
    Float,
    String,
    Int64,
    Event,
    Variant,
    Interface,
    Object,
    Other
};
TPropKind PropKindOf(const QMetaProperty& Property);

// The published properties of an object: its Q_PROPERTYs beyond QObject's own. Found by name without
// regard to letter case; an invalid QMetaProperty when there is none.
QMetaProperty FindPublishedProperty(const QObject* Object, std::string_view Name);
// Readable: the property has read access; a class lists write-only properties in its class info
// "WriteOnlyProperties" (comma-separated), which Qt itself cannot express.
bool IsReadableProperty(const QObject* Object, const QMetaProperty& Property);
// The object held by an object-valued property, or none.
QObject* ObjectValue(const QObject* Object, const QMetaProperty& Property);

// Names for the values of an integer type, so that such a value is written as its name: the registry
// root keys with their platform values.
bool IntegerToIdent(QMetaType Type, int64_t Value, std::string& Ident);
bool IdentToInteger(QMetaType Type, std::string_view Ident, int64_t& Value);

// The children an object lists for its stored description: for a form, the controls placed on it and
// the components it owns; for another control, the controls placed on it; for a component holding its
// own components, those. With Qt all of these are the object's named direct children.
std::vector<QObject*> ListChildren(const QObject* Component);
// The child of Component with that name (letter case ignored), or none.
QObject* FindChildByName(const QObject* Component, const QObject* Root, std::string_view Name);

// Names of properties, components, classes and values compare as the settings file's names do.
using platform::SameText;

} // namespace pardova
