// The property writer: records the values named by a list of property paths as an object stream.

#include "settings/ui/PropFiler.h"

#include "platform/core/ScopeGuard.h"
#include "settings/core/PropertyPath.h"

#include <QMetaEnum>
#include <QVariant>

#include <algorithm>
#include <bit>
#include <cstring>

namespace pardova {

namespace {

std::string ToUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::u16string_view Utf16Of(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())};
}

int64_t VariantInteger(const QVariant& value) {
    const QMetaType type = value.metaType();
    if (type.flags().testFlag(QMetaType::IsEnumeration) || !value.canConvert<qlonglong>()) {
        const qsizetype size = type.sizeOf();
        if (size <= 0 || size > 8) {
            return 0;
        }
        unsigned char buffer[8] = {};
        std::memcpy(buffer, value.constData(), static_cast<size_t>(size));
        if constexpr (std::endian::native == std::endian::big) {
            std::reverse(buffer, buffer + size);
        }
        uint64_t bits = 0;
        for (qsizetype i = size; i-- > 0;) {
            bits = (bits << 8) | buffer[i];
        }
        return static_cast<int64_t>(bits);
    }
    return value.toLongLong();
}

// The set members of a flags value, among the first 32 elements of its type.
std::vector<std::string> SetMembers(const QMetaEnum& flags, int64_t mask) {
    std::vector<std::string> names;
    for (int i = 0; i < flags.keyCount(); ++i) {
        const auto bit = static_cast<uint32_t>(flags.value(i));
        if (bit != 0 && std::has_single_bit(bit) && (static_cast<uint64_t>(mask) & bit) == bit) {
            names.emplace_back(flags.key(i));
        }
    }
    return names;
}

// Collects the names an object defines for its stored description.
class TDefinedNames : public TFiler {
public:
    void DefineProperty(const std::string& Name, TReaderProc, TWriterProc, bool) override { Names.push_back(Name); }
    void DefineBinaryProperty(const std::string& Name, TStreamProc, TStreamProc, bool) override {
        Names.push_back(Name);
    }
    std::vector<std::string> Names;
};

std::vector<std::string> ListObjectPropertiesAt(QObject* Object, int depth) {
    std::vector<std::string> paths;
    if (Object == nullptr || depth > 32) {
        return paths;
    }
    const QMetaObject* meta = Object->metaObject();
    std::vector<QMetaProperty> properties;
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        properties.push_back(meta->property(i));
    }
    std::stable_sort(properties.begin(), properties.end(), [](const QMetaProperty& a, const QMetaProperty& b) {
        return QString::fromLatin1(a.name()).compare(QString::fromLatin1(b.name()), Qt::CaseInsensitive) < 0;
    });
    for (const QMetaProperty& property : properties) {
        const std::string name = property.name();
        if (PropKindOf(property) == TPropKind::Object) {
            QObject* value = ObjectValue(Object, property);
            if (value != nullptr && !IsComponent(value) && qobject_cast<TCollection*>(value) == nullptr) {
                for (const std::string& sub : ListObjectPropertiesAt(value, depth + 1)) {
                    paths.push_back(name + "." + sub);
                }
                continue;
            }
        }
        paths.push_back(name);
    }
    if (auto* defines = dynamic_cast<IDefineProperties*>(Object)) {
        TDefinedNames names;
        defines->DefineProperties(names);
        paths.insert(paths.end(), names.Names.begin(), names.Names.end());
    }
    return paths;
}

bool IsOwnedBelow(const QObject* root, const QObject* object) {
    for (; object != nullptr && root != nullptr; object = object->parent()) {
        if (object == root) {
            return true;
        }
    }
    return false;
}

} // namespace

TPropWriterEh::TPropWriterEh(TStream& Stream, int /*BufSize*/) : TWriter(Stream) {}

TPropWriterEh::~TPropWriterEh() {
    while (!FInterceptorList.empty()) {
        FInterceptorList.pop_back();
    }
}

void TPropWriterEh::WriteHeader(QObject* Component) {
    WriteStr(ClassNameOf(Component));
    WriteStr(NameOf(Component));
}

void TPropWriterEh::WriteOwnerProperties(QObject* Owner, const std::vector<std::string>& PropList) {
    const platform::ScopeGuard freeInterceptors([this] {
        while (!FInterceptorList.empty()) {
            FInterceptorList.pop_back();
        }
    });

    // Blocks are opened once per component only when the paths of one component follow each other and
    // precede those of its children; a list copied in from elsewhere may not be in that order.
    std::vector<std::string> paths = PropList;
    std::stable_sort(paths.begin(), paths.end(),
                     [](const std::string& a, const std::string& b) { return ComparePropertyPaths(a, b) < 0; });

    FRoot = Owner;
    WriteSignature();
    WriteHeader(Owner);
    FCurRootsList.clear();

    for (const std::string& path : paths) {
        if (path.find('.') == std::string::npos) {
            throw platform::Exception("Component name is empty.");
        }
        if (FirstPathSegment(path) == kPropertyToken) {
            SaveObjectProperyValue(Owner, std::string(RestAfterFirst(path)), path);
        }
    }
    if (OnWriteOwnerProps) {
        OnWriteOwnerProps(*this);
    }
    WriteValue(vaNull);

    for (const std::string& path : paths) {
        if (FirstPathSegment(path) == kPropertyToken) {
            continue;
        }
        std::string_view rest = path;
        QObject* parent = Owner;
        size_t level = 1;
        for (;;) {
            const std::string_view segment = FirstPathSegment(rest);
            if (segment == kPropertyToken) {
                rest = RestAfterFirst(rest);
                break;
            }
            if (segment.size() == rest.size()) {
                throw platform::Exception("Invalide property path: \"" + path + "\"");
            }
            QObject* child = FindChildByName(parent, Owner, segment);
            if (child == nullptr) {
                throw platform::Exception("Component \"" + std::string(segment) + "\" of property path \"" + path +
                                          "\" does not exist.");
            }
            const size_t open = FCurRootsList.size();
            if (open < level) {
                if (open > 0) {
                    WriteValue(vaNull);
                }
                WriteHeader(child);
                FCurRootsList.push_back(child);
            } else if (NameOf(FCurRootsList[level - 1]) != segment) {
                WriteValue(vaNull);
                while (FCurRootsList.size() >= level) {
                    WriteValue(vaNull);
                    FCurRootsList.pop_back();
                }
                WriteHeader(child);
                FCurRootsList.push_back(child);
            }
            parent = FCurRootsList[level - 1];
            rest = RestAfterFirst(rest);
            ++level;
        }
        SaveObjectProperyValue(FCurRootsList[level - 2], std::string(rest), path);
    }
    if (!FCurRootsList.empty()) {
        WriteValue(vaNull);
        for (size_t i = FCurRootsList.size(); i > 0; --i) {
            WriteValue(vaNull);
        }
        FCurRootsList.clear();
    }
    WriteValue(vaNull);
}

TStoragePropertyInterceptor* TPropWriterEh::InterceptorFor(QObject* Instance, const QMetaObject* InterceptorClass) {
    for (const auto& interceptor : FInterceptorList) {
        if (interceptor->Target() == Instance) {
            return interceptor.get();
        }
    }
    FInterceptorList.push_back(CreateInterceptor(InterceptorClass, Instance));
    return FInterceptorList.back().get();
}

void TPropWriterEh::SaveObjectProperyValue(QObject* Instance, const std::string& APath, const std::string& AFullPath) {
    if (APath.empty()) {
        throw platform::Exception("Property name is empty.");
    }
    const std::string name(FirstPathSegment(APath));
    const std::string rest(RestAfterFirst(APath));

    if (name != "<ForAllItems>" && !name.starts_with("<Item")) {
        QObject* target = Instance;
        QMetaProperty property;
        if (const QMetaObject* interceptorClass = InterceptorClassFor(Instance->metaObject())) {
            TStoragePropertyInterceptor* interceptor = InterceptorFor(Instance, interceptorClass);
            const QMetaProperty intercepted = FindPublishedProperty(interceptor, name);
            if (intercepted.isValid() && IsReadableProperty(interceptor, intercepted)) {
                target = interceptor;
                property = intercepted;
            }
        }
        if (!property.isValid()) {
            property = FindPublishedProperty(Instance, name);
        }
        if (!property.isValid()) {
            DefineObjectProperties(Instance);
            for (const auto& [defined, write] : FDefnPropList) {
                if (SameText(defined, name)) {
                    WritePropName(name);
                    write(*this);
                    return;
                }
            }
            for (const auto& [defined, write] : FDefnBinPropList) {
                if (SameText(defined, name)) {
                    WritePropName(name);
                    TMemoryStream data;
                    write(data);
                    WriteBinary(data.Memory(), static_cast<size_t>(data.Size()));
                    return;
                }
            }
            throw platform::Exception("Invalide property name: " + name);
        }
        WritePropertyValue(target, property, name, rest, AFullPath);
        return;
    }

    auto* collection = qobject_cast<TCollection*>(Instance);
    if (collection == nullptr) {
        throw platform::Exception("Component type is not Collection.");
    }
    std::vector<int> selected;
    if (name == "<ForAllItems>") {
        for (int j = 0; j < collection->Count(); ++j) {
            selected.push_back(j);
        }
    } else {
        int index = -1;
        if (!ParseItemSelector(name, index) || index >= collection->Count()) {
            throw platform::Exception("List index out of bounds (" + name + ")");
        }
        selected.push_back(index);
    }
    std::vector<std::string> itemPaths;
    if (rest.empty() && !selected.empty()) {
        itemPaths = ListObjectProperties(collection->Item(selected.front()));
    }
    std::string saved = FPropPath;
    const platform::ScopeGuard restore([&] { FPropPath.swap(saved); });
    for (int j : selected) {
        FPropPath = saved + "__Item" + std::to_string(j) + ".";
        if (!rest.empty()) {
            SaveObjectProperyValue(collection->Item(j), rest, AFullPath);
        } else {
            for (const std::string& itemPath : itemPaths) {
                SaveObjectProperyValue(collection->Item(j), itemPath, AFullPath);
            }
        }
    }
}

void TPropWriterEh::WritePropertyValue(QObject* Instance, const QMetaProperty& Property, const std::string& Name,
                                       const std::string& Rest, const std::string& AFullPath) {
    if (!IsReadableProperty(Instance, Property)) {
        return;
    }
    const TPropKind kind = PropKindOf(Property);
    if (kind == TPropKind::Object) {
        WriteObjectValue(Instance, Property, Name, Rest, AFullPath);
        return;
    }
    if (!Property.isWritable() || kind == TPropKind::Other) {
        return;
    }
    const QVariant value = Property.read(Instance);
    WritePropName(Name);
    switch (kind) {
    case TPropKind::Integer: {
        const int64_t number = VariantInteger(value);
        std::string ident;
        if (IntegerToIdent(Property.metaType(), number, ident)) {
            WriteIdent(ident);
        } else {
            WriteInteger(number);
        }
        break;
    }
    case TPropKind::Char:
        WriteUnicodeString(Utf16Of(QString(value.toChar())));
        break;
    case TPropKind::Enumeration: {
        const int64_t number = VariantInteger(value);
        const char* key = Property.enumerator().valueToKey(static_cast<int>(number));
        if (key != nullptr) {
            WriteIdent(key);
        } else {
            WriteInteger(number);
        }
        break;
    }
    case TPropKind::Boolean:
        WriteBoolean(value.toBool());
        break;
    case TPropKind::Set:
        WriteSet(SetMembers(Property.enumerator(), VariantInteger(value)));
        break;
    case TPropKind::Float:
        WriteFloat(value.toDouble());
        break;
    case TPropKind::String:
        if (value.metaType().id() == QMetaType::QByteArray) {
            const QByteArray bytes = value.toByteArray();
            WriteString(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
        } else {
            WriteUnicodeString(Utf16Of(value.toString()));
        }
        break;
    case TPropKind::Int64:
        WriteInteger(value.toLongLong());
        break;
    case TPropKind::Event: {
        const auto method = value.value<TMethodRef>();
        if (method.MethodName.isEmpty()) {
            WriteValue(vaNil);
        } else {
            WriteIdent(ToUtf8(method.MethodName));
        }
        break;
    }
    case TPropKind::Variant:
        WriteVariantValue(value.value<QVariant>());
        break;
    case TPropKind::Interface: {
        const auto reference = value.value<TInterfaceRef>();
        const std::string name = reference.Component ? ReferenceName(reference.Component) : std::string();
        if (name.empty()) {
            WriteValue(vaNil);
        } else {
            WriteIdent(name);
        }
        break;
    }
    case TPropKind::Object:
    case TPropKind::Other:
        break;
    }
}

// An object property: a nested object's own properties behind its name (a collection's items as well), a
// component by its reference name, or nil.
void TPropWriterEh::WriteObjectValue(QObject* Instance, const QMetaProperty& Property, const std::string& Name,
                                     const std::string& Rest, const std::string& AFullPath) {
    QObject* value = ObjectValue(Instance, Property);
    if (!Property.isWritable() && !IsSubComponent(value)) {
        return;
    }
    if (value == nullptr) {
        WritePropName(Name);
        WriteValue(vaNil);
        return;
    }
    if (!IsComponent(value) || IsSubComponent(value)) {
        std::string saved = FPropPath;
        const platform::ScopeGuard restore([&] { FPropPath.swap(saved); });
        FPropPath = saved + Name + ".";
        if (!Rest.empty()) {
            SaveObjectProperyValue(value, Rest, AFullPath);
        } else {
            WriteObjectProperties(value);
            if (auto* collection = qobject_cast<TCollection*>(value)) {
                FPropPath = saved;
                WritePropName(Name);
                FPropPath.clear();
                WriteCollection(collection);
            }
        }
        return;
    }
    const std::string reference = ReferenceName(value);
    if (!reference.empty()) {
        WritePropName(Name);
        WriteIdent(reference);
    }
}

// A variant property: the value it holds, by that value's own type (text for any type without its own form).
void TPropWriterEh::WriteVariantValue(const QVariant& Held) {
    switch (Held.metaType().id()) {
    case QMetaType::UnknownType:
        WriteValue(vaNil);
        break;
    case QMetaType::Nullptr:
        WriteValue(vaNull);
        break;
    case QMetaType::Bool:
        WriteBoolean(Held.toBool());
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::SChar:
    case QMetaType::UChar:
        WriteInteger(Held.toLongLong());
        break;
    case QMetaType::Float:
        WriteSingle(Held.toFloat());
        break;
    case QMetaType::Double:
        WriteFloat(Held.toDouble());
        break;
    default:
        WriteUnicodeString(Utf16Of(Held.toString()));
        break;
    }
}

std::string TPropWriterEh::ReferenceName(const QObject* Component) const {
    if (Component == FRoot) {
        return "Owner";
    }
    std::string name = NameOf(Component);
    if (name.empty()) {
        return {};
    }
    const QObject* owner = Component->parent();
    if (owner == FRoot) {
        return name;
    }
    if (owner != nullptr && IsOwnedBelow(FRoot, owner)) {
        const std::string ownerName = ReferenceName(owner);
        return ownerName.empty() ? std::string() : ownerName + "." + name;
    }
    return owner != nullptr && !NameOf(owner).empty() ? NameOf(owner) + "." + name : name;
}

void TPropWriterEh::WritePropName(const std::string& PropName) { WriteStr(FPropPath + PropName); }

void TPropWriterEh::WriteCollection(TCollection* Value) {
    WriteCollectionBegin();
    for (int i = 0; i < Value->Count(); ++i) {
        WriteListBegin();
        WriteObjectProperties(Value->Item(i));
        WriteListEnd();
    }
    WriteCollectionEnd();
}

void TPropWriterEh::WriteObjectProperties(QObject* Object) {
    for (const std::string& path : ListObjectProperties(Object)) {
        SaveObjectProperyValue(Object, path, path);
    }
}

void TPropWriterEh::DefineObjectProperties(QObject* Instance) {
    FDefnPropList.clear();
    FDefnBinPropList.clear();
    if (auto* defines = dynamic_cast<IDefineProperties*>(Instance)) {
        defines->DefineProperties(*this);
    }
}

void TPropWriterEh::DefineProperty(const std::string& Name, TReaderProc, TWriterProc WriteData, bool) {
    if (WriteData) {
        FDefnPropList.emplace_back(Name, std::move(WriteData));
    }
}

void TPropWriterEh::DefineBinaryProperty(const std::string& Name, TStreamProc, TStreamProc WriteData, bool) {
    if (WriteData) {
        FDefnBinPropList.emplace_back(Name, std::move(WriteData));
    }
}

std::vector<std::string> ListObjectProperties(QObject* Object) { return ListObjectPropertiesAt(Object, 0); }

} // namespace pardova
