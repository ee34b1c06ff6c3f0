#include "settings/ui/Persistent.h"

#include "platform/core/Locale.h"

#include <QMetaClassInfo>
#include <QVariant>

#include <algorithm>
#include <map>

namespace pardova {

namespace {

constexpr const char* kSubComponentFlag = "_pardova_subcomponent";

std::vector<std::pair<std::string, int64_t>> RegistryRootKeyIdents() {
    return {
        {"HKEY_CLASSES_ROOT", 0x80000000}, {"HKEY_CURRENT_USER", 0x80000001},     {"HKEY_LOCAL_MACHINE", 0x80000002},
        {"HKEY_USERS", 0x80000003},        {"HKEY_PERFORMANCE_DATA", 0x80000004}, {"HKEY_CURRENT_CONFIG", 0x80000005},
        {"HKEY_DYN_DATA", 0x80000006},
    };
}

// Set up with the settings store's own registrations on first use, which stands for its module start.
std::map<int, std::vector<std::pair<std::string, int64_t>>>& IntegerIdents() {
    static std::map<int, std::vector<std::pair<std::string, int64_t>>> idents = {
        {QMetaType::fromType<TRegistryRootKey>().id(), RegistryRootKeyIdents()}};
    return idents;
}

} // namespace

TCollectionItem::TCollectionItem(TCollection* Collection) : TPersistent(Collection) {}

TCollection* TCollectionItem::Collection() const { return static_cast<TCollection*>(parent()); }

int TCollectionItem::Index() const {
    const auto& items = Collection()->FItems;
    const auto it = std::find(items.begin(), items.end(), this);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

TCollection::TCollection(TItemFactory ItemFactory, QObject* parent)
    : TPersistent(parent), FItemFactory(std::move(ItemFactory)) {}

TCollection::~TCollection() = default;

TCollectionItem* TCollection::Item(int Index) const {
    return Index >= 0 && Index < Count() ? FItems[static_cast<size_t>(Index)] : nullptr;
}

TCollectionItem* TCollection::Add() {
    TCollectionItem* item = FItemFactory(this);
    FItems.push_back(item);
    Changed();
    return item;
}

void TCollection::Clear() {
    if (FItems.empty()) {
        return;
    }
    const auto items = std::move(FItems);
    FItems.clear();
    for (TCollectionItem* item : items) {
        delete item;
    }
    Changed();
}

void TCollection::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) {
        ++FUpdates;
    }
}

void TCollection::Changed() {
    if (FUpdateCount == 0) {
        ++FUpdates;
    }
}

void SetSubComponent(QObject* Component, bool Value) { Component->setProperty(kSubComponentFlag, Value); }

bool IsSubComponent(const QObject* Component) {
    return Component != nullptr && IsComponent(Component) && Component->property(kSubComponentFlag).toBool();
}

bool IsComponent(const QObject* Object) { return qobject_cast<const TPersistent*>(Object) == nullptr; }

std::string ClassNameOf(const QMetaObject* Class) {
    const std::string_view name = Class->className();
    const size_t colon = name.rfind(':');
    return std::string(colon == std::string_view::npos ? name : name.substr(colon + 1));
}

std::string ClassNameOf(const QObject* Object) { return ClassNameOf(Object->metaObject()); }

std::string NameOf(const QObject* Object) { return Object->objectName().toStdString(); }

TPropKind PropKindOf(const QMetaProperty& Property) {
    if (Property.isFlagType()) {
        return TPropKind::Set;
    }
    if (Property.isEnumType()) {
        return TPropKind::Enumeration;
    }
    const QMetaType type = Property.metaType();
    switch (type.id()) {
    case QMetaType::Bool:
        return TPropKind::Boolean;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
    case QMetaType::ULong:
        return TPropKind::Integer;
    case QMetaType::QChar:
    case QMetaType::Char:
    case QMetaType::Char16:
        return TPropKind::Char;
    case QMetaType::Float:
    case QMetaType::Double:
        return TPropKind::Float;
    case QMetaType::QString:
    case QMetaType::QByteArray:
        return TPropKind::String;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return TPropKind::Int64;
    case QMetaType::QVariant:
        return TPropKind::Variant;
    default:
        break;
    }
    if (type == QMetaType::fromType<TMethodRef>()) {
        return TPropKind::Event;
    }
    if (type == QMetaType::fromType<TInterfaceRef>()) {
        return TPropKind::Interface;
    }
    if (type.flags().testFlag(QMetaType::PointerToQObject)) {
        return TPropKind::Object;
    }
    if (type.flags().testFlag(QMetaType::IsEnumeration)) {
        return TPropKind::Integer;
    }
    return TPropKind::Other;
}

QMetaProperty FindPublishedProperty(const QObject* Object, std::string_view Name) {
    if (Object == nullptr || Name.empty()) {
        return {};
    }
    const QMetaObject* meta = Object->metaObject();
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (SameText(property.name(), Name)) {
            return property;
        }
    }
    return {};
}

bool IsReadableProperty(const QObject* Object, const QMetaProperty& Property) {
    if (!Property.isReadable()) {
        return false;
    }
    const QMetaObject* meta = Object->metaObject();
    for (int i = 0; i < meta->classInfoCount(); ++i) {
        const QMetaClassInfo info = meta->classInfo(i);
        if (std::string_view(info.name()) == "WriteOnlyProperties") {
            const QStringList names = QString::fromUtf8(info.value()).split(u',', Qt::SkipEmptyParts);
            for (const QString& name : names) {
                if (name.trimmed().compare(QLatin1StringView(Property.name()), Qt::CaseInsensitive) == 0) {
                    return false;
                }
            }
        }
    }
    return true;
}

QObject* ObjectValue(const QObject* Object, const QMetaProperty& Property) {
    return Property.read(Object).value<QObject*>();
}

bool IntegerToIdent(QMetaType Type, int64_t Value, std::string& Ident) {
    const auto it = IntegerIdents().find(Type.id());
    if (it == IntegerIdents().end()) {
        return false;
    }
    for (const auto& [name, value] : it->second) {
        if (value == Value) {
            Ident = name;
            return true;
        }
    }
    return false;
}

bool IdentToInteger(QMetaType Type, std::string_view Ident, int64_t& Value) {
    const auto it = IntegerIdents().find(Type.id());
    if (it == IntegerIdents().end()) {
        return false;
    }
    for (const auto& [name, value] : it->second) {
        if (SameText(name, Ident)) {
            Value = value;
            return true;
        }
    }
    return false;
}

std::vector<QObject*> ListChildren(const QObject* Component) {
    std::vector<QObject*> children;
    if (Component == nullptr) {
        return children;
    }
    for (QObject* child : Component->children()) {
        if (!child->objectName().isEmpty() && IsComponent(child)) {
            children.push_back(child);
        }
    }
    return children;
}

QObject* FindChildByName(const QObject* Component, const QObject* /*Root*/, std::string_view Name) {
    if (Name.empty()) {
        return nullptr;
    }
    for (QObject* child : ListChildren(Component)) {
        if (SameText(NameOf(child), Name)) {
            return child;
        }
    }
    return nullptr;
}

} // namespace pardova
