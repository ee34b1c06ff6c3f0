// The property reader: applies an object stream back to a window and its components, matching objects by
// name and properties by name.

#include "settings/ui/PropFiler.h"

#include "platform/core/ScopeGuard.h"
#include "settings/core/PropertyPath.h"

#include <QApplication>
#include <QMetaEnum>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <bit>

namespace pardova {

namespace {

// A failure inside a defined property's own reading: it ends the whole read instead of one record.
class EReadAbort : public EReadError {
    using EReadError::EReadError;
};

[[noreturn]] void InvalidPropertyValue() { throw EReadError("Invalid property value"); }

QString FromUtf16(const std::u16string& text) {
    return QString(reinterpret_cast<const QChar*>(text.data()), static_cast<qsizetype>(text.size()));
}

// A value of an enumeration-like type (Q_ENUM, Q_FLAG, or an enum with registered names) from its integer,
// built in the type's own storage so that no conversion can silently fail.
QVariant IntegerVariant(QMetaType type, int64_t value) {
    const qsizetype size = type.sizeOf();
    if (size <= 0 || size > 8) {
        InvalidPropertyValue();
    }
    unsigned char buffer[8] = {};
    uint64_t bits = static_cast<uint64_t>(value);
    for (qsizetype i = 0; i < size; ++i) {
        buffer[i] = static_cast<unsigned char>(bits & 0xFF);
        bits >>= 8;
    }
    if constexpr (std::endian::native == std::endian::big) {
        std::reverse(buffer, buffer + size);
    }
    return QVariant(type, buffer);
}

QObject* FindDescendant(QObject* parent, std::string_view name) {
    for (QObject* child : parent->children()) {
        if (SameText(NameOf(child), name)) {
            return child;
        }
    }
    for (QObject* child : parent->children()) {
        if (QObject* found = FindDescendant(child, name)) {
            return found;
        }
    }
    return nullptr;
}

QObject* FindNested(QObject* root, const std::vector<std::string>& segments, size_t from) {
    QObject* current = root;
    for (size_t i = from; i < segments.size() && current != nullptr; ++i) {
        current = FindDescendant(current, segments[i]);
    }
    return current;
}

} // namespace

TPropReaderEh::TPropReaderEh(TStream& Stream, int /*BufSize*/) : TReader(Stream) {}

TPropReaderEh::~TPropReaderEh() = default;

void TPropReaderEh::ReadOwnerProperties(QObject* Component) {
    ReadSignature();
    FRoot = Component;
    FParent = nullptr;
    ReadComponent(Component);
}

void TPropReaderEh::ReadComponent(QObject* Component) {
    TFilerFlags flags = 0;
    int64_t childPos = 0;
    ReadPrefix(flags, childPos);
    ReadStr();
    const std::string name = ReadStr();

    QObject* object = Component != nullptr ? Component : FindChildByName(FParent, FRoot, name);
    std::unique_ptr<QObject> throwaway;
    if (object == nullptr) {
        throwaway = std::make_unique<QObject>();
        object = throwaway.get();
    }

    if (FDepth >= MaxNestingDepth) {
        throw EReadError("Invalid stream format");
    }
    ++FDepth;
    const platform::ScopeGuard restore(
        [this, collectionsBefore = FCollectionList, interceptorsBefore = FInterceptorList, parentBefore = FParent] {
            FCollectionList = collectionsBefore;
            FInterceptorList = interceptorsBefore;
            FParent = parentBefore;
            --FDepth;
        });

    std::vector<TCollection*> collections;
    std::vector<std::unique_ptr<TStoragePropertyInterceptor>> interceptors;
    // Collections leave update mode also when the read fails part-way.
    const platform::ScopeGuard endUpdates([&collections] {
        for (TCollection* collection : collections) {
            collection->EndUpdate();
        }
        collections.clear();
    });
    FCollectionList = &collections;
    FInterceptorList = &interceptors;

    while (!EndOfList()) {
        ReadPropertyEntry(object);
    }
    ReadListEnd();

    for (TCollection* collection : collections) {
        collection->EndUpdate();
    }
    collections.clear();
    while (!interceptors.empty()) {
        interceptors.back()->Readed();
        interceptors.pop_back();
    }

    FParent = object;
    while (!EndOfList()) {
        ReadComponent(nullptr);
    }
    ReadListEnd();
}

void TPropReaderEh::ReadPropertyEntry(QObject* Object) {
    const std::string name = ReadStr();
    const int64_t valueStart = Stream().Position();
    const std::string savedPropName = FPropName;
    FCanHandleExcepts = true;
    try {
        ApplyPropertySegments(Object, name);
    } catch (const EReadAbort&) {
        throw;
    } catch (const platform::Exception& e) {
        if (!FCanHandleExcepts) {
            const std::string objectName = NameOf(Object).empty() ? ClassNameOf(Object) : NameOf(Object);
            throw EReadAbort("Error reading " + objectName + "." + FPropName + ": " + e.Message());
        }
        // The record is dropped: whatever part of its value was read, the next record starts after it. A
        // value that cannot even be skipped means the structure is broken, which ends the read.
        Stream().SetPosition(valueStart);
        SkipValue();
    }
    FCanHandleExcepts = true;
    FPropName = savedPropName;
}

void TPropReaderEh::ApplyPropertySegments(QObject* Object, const std::string& Name) {
    const std::vector<std::string> segments = SplitSegments(Name);
    QObject* current = Object;
    for (size_t i = 0; i < segments.size(); ++i) {
        const std::string& segment = segments[i];
        const bool last = i + 1 == segments.size();
        FPropName = segment;
        if (auto* collection = qobject_cast<TCollection*>(current);
            collection != nullptr && segment.starts_with("__Item")) {
            int index = -1;
            if (last || !ParseItemIndex(std::string_view(segment).substr(6), index) || index >= collection->Count()) {
                throw platform::Exception("Invalid property path");
            }
            if (FCollectionList != nullptr &&
                std::find(FCollectionList->begin(), FCollectionList->end(), collection) == FCollectionList->end()) {
                collection->BeginUpdate();
                FCollectionList->push_back(collection);
            }
            current = collection->Item(index);
            continue;
        }
        if (!last) {
            const QMetaProperty property = FindPublishedProperty(current, segment);
            if (!property.isValid()) {
                throw platform::Exception("Property " + segment + " does not exist");
            }
            QObject* value = PropKindOf(property) == TPropKind::Object ? ObjectValue(current, property) : nullptr;
            if (value == nullptr) {
                throw platform::Exception("Invalid property path");
            }
            current = value;
            continue;
        }
        if (const QMetaObject* interceptorClass = InterceptorClassFor(current->metaObject());
            interceptorClass != nullptr && FInterceptorList != nullptr) {
            TStoragePropertyInterceptor* interceptor = nullptr;
            for (const auto& existing : *FInterceptorList) {
                if (existing->Target() == current) {
                    interceptor = existing.get();
                }
            }
            if (interceptor == nullptr) {
                FInterceptorList->push_back(CreateInterceptor(interceptorClass, current));
                interceptor = FInterceptorList->back().get();
            }
            const QMetaProperty property = FindPublishedProperty(interceptor, segment);
            if (property.isValid() && property.isWritable()) {
                ReadPropertyValue(interceptor, property);
                return;
            }
        }
        if (current == Object && OnReadOwnerProp) {
            bool processed = false;
            OnReadOwnerProp(*this, segment, processed);
            if (processed) {
                return;
            }
        }
        const QMetaProperty property = FindPublishedProperty(current, segment);
        if (property.isValid()) {
            ReadPropertyValue(current, property);
            return;
        }
        if (auto* defines = dynamic_cast<IDefineProperties*>(current)) {
            FCanHandleExcepts = false;
            defines->DefineProperties(*this);
            FCanHandleExcepts = true;
        }
        if (!FPropName.empty()) {
            throw platform::Exception("Property " + segment + " does not exist");
        }
        return;
    }
}

void TPropReaderEh::ReadPropertyValue(QObject* Instance, const QMetaProperty& Property) {
    const TPropKind kind = PropKindOf(Property);
    QObject* held = kind == TPropKind::Object ? ObjectValue(Instance, Property) : nullptr;
    if (!Property.isWritable() && !(kind == TPropKind::Object && IsSubComponent(held))) {
        throw platform::Exception("Property is read-only");
    }
    const QMetaType type = Property.metaType();
    QVariant value;
    switch (kind) {
    case TPropKind::Integer: {
        int64_t number = 0;
        if (NextValue() == vaIdent) {
            if (!IdentToInteger(type, ReadIdent(), number)) {
                InvalidPropertyValue();
            }
        } else {
            number = ReadInteger();
        }
        value = type.flags().testFlag(QMetaType::IsEnumeration) ? IntegerVariant(type, number)
                                                                : QVariant(qlonglong(number));
        break;
    }
    case TPropKind::Char: {
        const std::u16string text = ReadUnicodeString();
        if (text.size() != 1) {
            InvalidPropertyValue();
        }
        value = QVariant(QChar(text[0]));
        break;
    }
    case TPropKind::Enumeration: {
        const std::string ident = ReadIdent();
        const QMetaEnum enumerator = Property.enumerator();
        bool found = false;
        for (int i = 0; i < enumerator.keyCount() && !found; ++i) {
            if (SameText(enumerator.key(i), ident)) {
                value = IntegerVariant(type, enumerator.value(i));
                found = true;
            }
        }
        if (!found) {
            InvalidPropertyValue();
        }
        break;
    }
    case TPropKind::Boolean: {
        const std::string ident = ReadIdent();
        if (SameText(ident, "True")) {
            value = true;
        } else if (SameText(ident, "False")) {
            value = false;
        } else {
            InvalidPropertyValue();
        }
        break;
    }
    case TPropKind::Set: {
        if (NextValue() != vaSet) {
            InvalidPropertyValue();
        }
        const QMetaEnum enumerator = Property.enumerator();
        int64_t mask = 0;
        for (const std::string& member : ReadSet()) {
            bool found = false;
            for (int i = 0; i < enumerator.keyCount() && !found; ++i) {
                const auto bit = static_cast<uint32_t>(enumerator.value(i));
                if (SameText(enumerator.key(i), member) && bit != 0 && std::has_single_bit(bit)) {
                    mask |= bit;
                    found = true;
                }
            }
            if (!found) {
                InvalidPropertyValue();
            }
        }
        value = IntegerVariant(type, mask);
        break;
    }
    case TPropKind::Float:
        value = static_cast<double>(ReadFloat());
        break;
    case TPropKind::String:
        if (type.id() == QMetaType::QByteArray) {
            const std::string text = ReadString();
            value = QByteArray(text.data(), static_cast<qsizetype>(text.size()));
        } else {
            value = FromUtf16(ReadUnicodeString());
        }
        break;
    case TPropKind::Int64:
        value = QVariant(qlonglong(ReadInteger()));
        break;
    case TPropKind::Event:
        SkipValue();
        throw platform::Exception("Unexpected Kind of Method: " + std::string(Property.name()));
    case TPropKind::Variant:
        value = ReadVariantValue();
        break;
    case TPropKind::Interface:
        if (NextValue() != vaNil) {
            InvalidPropertyValue();
        }
        ReadValue();
        value = QVariant::fromValue(TInterfaceRef{});
        break;
    case TPropKind::Object:
        if (!ReadObjectValue(held, type, value)) {
            return;
        }
        break;
    case TPropKind::Other:
        InvalidPropertyValue();
    }
    if (!Property.write(Instance, value)) {
        InvalidPropertyValue();
    }
}

// A variant property's value: nil, null, a boolean, an integer, a floating-point number or a text, each by
// the stored value's own type.
QVariant TPropReaderEh::ReadVariantValue() {
    switch (NextValue()) {
    case vaNil:
        ReadValue();
        return QVariant::fromValue(QVariant());
    case vaNull:
        ReadValue();
        return QVariant::fromValue(QVariant::fromValue(nullptr));
    case vaFalse:
    case vaTrue:
        return QVariant::fromValue(QVariant(ReadBoolean()));
    case vaInt8:
    case vaInt16:
    case vaInt32:
    case vaInt64:
        return QVariant::fromValue(QVariant(qlonglong(ReadInteger())));
    case vaExtended:
    case vaDouble:
    case vaSingle:
        return QVariant::fromValue(QVariant(static_cast<double>(ReadFloat())));
    case vaString:
    case vaLString:
    case vaWString:
    case vaUTF8String:
        return QVariant::fromValue(QVariant(FromUtf16(ReadUnicodeString())));
    default:
        InvalidPropertyValue();
    }
}

// An object property's value into Value: nil, or a component found by its reference. A collection's items
// are read into the collection Held by the property itself, and a reference to no component leaves the
// property as it is; both give false, as there is then nothing left to write.
bool TPropReaderEh::ReadObjectValue(QObject* Held, QMetaType Type, QVariant& Value) {
    switch (NextValue()) {
    case vaNil:
        ReadValue();
        Value = QVariant(Type);
        break;
    case vaCollection: {
        auto* collection = qobject_cast<TCollection*>(Held);
        if (collection == nullptr) {
            InvalidPropertyValue();
        }
        ReadCollectionItems(collection);
        return false;
    }
    case vaIdent: {
        QObject* component = FindComponentByReference(ReadIdent());
        if (component == nullptr) {
            return false;
        }
        Value = QVariant::fromValue(component);
        if (!Value.convert(Type)) {
            InvalidPropertyValue();
        }
        break;
    }
    default:
        InvalidPropertyValue();
    }
    return true;
}

void TPropReaderEh::ReadCollectionItems(TCollection* Collection) {
    if (FDepth >= MaxNestingDepth) {
        throw EReadError("Invalid stream format");
    }
    ++FDepth;
    Collection->BeginUpdate();
    const platform::ScopeGuard leave([this, Collection] {
        Collection->EndUpdate();
        --FDepth;
    });
    CheckValue(vaCollection);
    if (!EndOfList()) {
        Collection->Clear();
    }
    while (!EndOfList()) {
        switch (NextValue()) {
        case vaInt8:
        case vaInt16:
        case vaInt32:
        case vaInt64:
            ReadInteger();
            break;
        default:
            break;
        }
        TCollectionItem* item = Collection->Add();
        ReadListBegin();
        while (!EndOfList()) {
            ReadPropertyEntry(item);
        }
        ReadListEnd();
    }
    ReadListEnd();
}

QObject* TPropReaderEh::FindComponentByReference(const std::string& Name) const {
    const std::vector<std::string> segments = SplitSegments(Name);
    if (FRoot != nullptr) {
        if (SameText(segments.front(), "Owner")) {
            return FindNested(FRoot, segments, 1);
        }
        if (QObject* found = FindNested(FRoot, segments, 0)) {
            return found;
        }
    }
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (SameText(NameOf(window), segments.front())) {
            return FindNested(window, segments, 1);
        }
    }
    return nullptr;
}

void TPropReaderEh::DefineProperty(const std::string& Name, TReaderProc ReadData, TWriterProc, bool) {
    if (ReadData && !FPropName.empty() && SameText(Name, FPropName)) {
        ReadData(*this);
        FPropName.clear();
    }
}

void TPropReaderEh::DefineBinaryProperty(const std::string& Name, TStreamProc ReadData, TStreamProc, bool) {
    if (ReadData && !FPropName.empty() && SameText(Name, FPropName)) {
        const std::vector<uint8_t> bytes = ReadBinary();
        TMemoryStream data(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        ReadData(data);
        FPropName.clear();
    }
}

} // namespace pardova
