#include "settings/ui/PropFiler.h"

#include "platform/core/ScopeGuard.h"
#include "platform/ui/Forms.h"
#include "settings/core/PropertyPath.h"

#include <QApplication>
#include <QMetaEnum>
#include <QScreen>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>

namespace pardova {

namespace {

// A failure inside a defined property's own reading: it ends the whole read instead of one record.
class EReadAbort : public EReadError {
    using EReadError::EReadError;
};

[[noreturn]] void InvalidPropertyValue() { throw EReadError("Invalid property value"); }

// Decimal digits only, no sign, within int range.
bool ParseIndex(std::string_view text, int& value) {
    if (text.empty()) {
        return false;
    }
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size() && value >= 0;
}

std::string ToUtf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
}

std::u16string_view Utf16Of(const QString& text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), static_cast<size_t>(text.size())};
}

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

std::vector<std::pair<const QMetaObject*, const QMetaObject*>>& InterceptorRegistry() {
    static std::vector<std::pair<const QMetaObject*, const QMetaObject*>> registry = {
        {&TForm::staticMetaObject, &TFormStoragePropertyInterceptor::staticMetaObject}};
    return registry;
}

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

// ---- Interceptors -----------------------------------------------------------------------------------

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

void TFormStoragePropertyInterceptor::SetLeft(int Value) {
    FLeft = Value;
    FPosPresent = true;
}

void TFormStoragePropertyInterceptor::SetTop(int Value) {
    FTop = Value;
    FPosPresent = true;
}

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
        MoveWindowFrame(form, QPoint(FLeft, FTop));
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
    return QRect(WindowFramePosition(Form), frame.size());
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
    std::erase_if(InterceptorRegistry(), [&](const auto& pair) {
        return pair.first == ObjectClass && pair.second == InterceptorClass;
    });
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

void RegisterDefaultPropertyInterceptors() {
    RegisterPropertyInterceptor(&TForm::staticMetaObject, &TFormStoragePropertyInterceptor::staticMetaObject);
}

namespace {

std::unique_ptr<TStoragePropertyInterceptor> CreateInterceptor(const QMetaObject* InterceptorClass,
                                                               QObject* Target) {
    QObject* created = InterceptorClass->newInstance(Q_ARG(QObject*, Target));
    auto* interceptor = qobject_cast<TStoragePropertyInterceptor*>(created);
    if (interceptor == nullptr) {
        delete created;
        throw Exception("Cannot create property interceptor " + ClassNameOf(InterceptorClass));
    }
    return std::unique_ptr<TStoragePropertyInterceptor>(interceptor);
}

} // namespace

// ---- Writer -----------------------------------------------------------------------------------------

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
    struct FreeInterceptors {
        std::vector<std::unique_ptr<TStoragePropertyInterceptor>>& List;
        ~FreeInterceptors() {
            while (!List.empty()) {
                List.pop_back();
            }
        }
    } freeInterceptors{FInterceptorList};

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
            throw Exception("Component name is empty.");
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
                throw Exception("Invalide property path: \"" + path + "\"");
            }
            QObject* child = FindChildByName(parent, Owner, segment);
            if (child == nullptr) {
                throw Exception("Component \"" + std::string(segment) + "\" of property path \"" + path +
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
        throw Exception("Property name is empty.");
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
            throw Exception("Invalide property name: " + name);
        }
        WritePropertyValue(target, property, name, rest, AFullPath);
        return;
    }

    auto* collection = qobject_cast<TCollection*>(Instance);
    if (collection == nullptr) {
        throw Exception("Component type is not Collection.");
    }
    std::vector<int> selected;
    if (name == "<ForAllItems>") {
        for (int j = 0; j < collection->Count(); ++j) {
            selected.push_back(j);
        }
    } else {
        int index = -1;
        if (!name.ends_with('>') || !ParseIndex(std::string_view(name).substr(5, name.size() - 6), index) ||
            index >= collection->Count()) {
            throw Exception("List index out of bounds (" + name + ")");
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
            platform::ScopeGuard restore([&] { FPropPath.swap(saved); });
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
    case TPropKind::Variant: {
        const QVariant held = value.value<QVariant>();
        switch (held.metaType().id()) {
        case QMetaType::UnknownType:
            WriteValue(vaNil);
            break;
        case QMetaType::Nullptr:
            WriteValue(vaNull);
            break;
        case QMetaType::Bool:
            WriteBoolean(held.toBool());
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Long:
        case QMetaType::SChar:
        case QMetaType::UChar:
            WriteInteger(held.toLongLong());
            break;
        case QMetaType::Float:
            WriteSingle(held.toFloat());
            break;
        case QMetaType::Double:
            WriteFloat(held.toDouble());
            break;
        default:
            WriteUnicodeString(Utf16Of(held.toString()));
            break;
        }
        break;
    }
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

std::string TPropWriterEh::ReferenceName(const QObject* Component) const {
    if (Component == FRoot) {
        return "Owner";
    }
    const std::string name = NameOf(Component);
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

// ---- Reader -----------------------------------------------------------------------------------------

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
    struct Restore {
        TPropReaderEh& Reader;
        std::vector<TCollection*>* Collections;
        std::vector<std::unique_ptr<TStoragePropertyInterceptor>>* Interceptors;
        QObject* Parent;
        ~Restore() {
            Reader.FCollectionList = Collections;
            Reader.FInterceptorList = Interceptors;
            Reader.FParent = Parent;
            --Reader.FDepth;
        }
    } restore{*this, FCollectionList, FInterceptorList, FParent};

    std::vector<TCollection*> collections;
    std::vector<std::unique_ptr<TStoragePropertyInterceptor>> interceptors;
    // Collections leave update mode also when the read fails part-way.
    struct EndUpdates {
        std::vector<TCollection*>& List;
        ~EndUpdates() {
            for (TCollection* collection : List) {
                collection->EndUpdate();
            }
            List.clear();
        }
    } endUpdates{collections};
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
    } catch (const Exception& e) {
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
        if (auto* collection = qobject_cast<TCollection*>(current); collection != nullptr && segment.starts_with("__Item")) {
            int index = -1;
            if (last || !ParseIndex(std::string_view(segment).substr(6), index) || index >= collection->Count()) {
                throw Exception("Invalid property path");
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
                throw Exception("Property " + segment + " does not exist");
            }
            QObject* value = PropKindOf(property) == TPropKind::Object ? ObjectValue(current, property) : nullptr;
            if (value == nullptr) {
                throw Exception("Invalid property path");
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
            throw Exception("Property " + segment + " does not exist");
        }
        return;
    }
}

void TPropReaderEh::ReadPropertyValue(QObject* Instance, const QMetaProperty& Property) {
    const TPropKind kind = PropKindOf(Property);
    QObject* held = kind == TPropKind::Object ? ObjectValue(Instance, Property) : nullptr;
    if (!Property.isWritable() && !(kind == TPropKind::Object && IsSubComponent(held))) {
        throw Exception("Property is read-only");
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
        value = type.flags().testFlag(QMetaType::IsEnumeration) ? IntegerVariant(type, number) : QVariant(qlonglong(number));
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
        throw Exception("Unexpected Kind of Method: " + std::string(Property.name()));
    case TPropKind::Variant:
        switch (NextValue()) {
        case vaNil:
            ReadValue();
            value = QVariant::fromValue(QVariant());
            break;
        case vaNull:
            ReadValue();
            value = QVariant::fromValue(QVariant::fromValue(nullptr));
            break;
        case vaFalse:
        case vaTrue:
            value = QVariant::fromValue(QVariant(ReadBoolean()));
            break;
        case vaInt8:
        case vaInt16:
        case vaInt32:
        case vaInt64:
            value = QVariant::fromValue(QVariant(qlonglong(ReadInteger())));
            break;
        case vaExtended:
        case vaDouble:
        case vaSingle:
            value = QVariant::fromValue(QVariant(static_cast<double>(ReadFloat())));
            break;
        case vaString:
        case vaLString:
        case vaWString:
        case vaUTF8String:
            value = QVariant::fromValue(QVariant(FromUtf16(ReadUnicodeString())));
            break;
        default:
            InvalidPropertyValue();
        }
        break;
    case TPropKind::Interface:
        if (NextValue() != vaNil) {
            InvalidPropertyValue();
        }
        ReadValue();
        value = QVariant::fromValue(TInterfaceRef{});
        break;
    case TPropKind::Object:
        switch (NextValue()) {
        case vaNil:
            ReadValue();
            value = QVariant(type);
            break;
        case vaCollection: {
            auto* collection = qobject_cast<TCollection*>(held);
            if (collection == nullptr) {
                InvalidPropertyValue();
            }
            ReadCollectionItems(collection);
            return;
        }
        case vaIdent: {
            QObject* component = FindComponentByReference(ReadIdent());
            if (component == nullptr) {
                return;
            }
            value = QVariant::fromValue(component);
            if (!value.convert(type)) {
                InvalidPropertyValue();
            }
            break;
        }
        default:
            InvalidPropertyValue();
        }
        break;
    case TPropKind::Other:
        InvalidPropertyValue();
    }
    if (!Property.write(Instance, value)) {
        InvalidPropertyValue();
    }
}

void TPropReaderEh::ReadCollectionItems(TCollection* Collection) {
    if (FDepth >= MaxNestingDepth) {
        throw EReadError("Invalid stream format");
    }
    ++FDepth;
    Collection->BeginUpdate();
    struct Leave {
        TPropReaderEh& Reader;
        TCollection* Collection;
        ~Leave() {
            Collection->EndUpdate();
            --Reader.FDepth;
        }
    } leave{*this, Collection};
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
