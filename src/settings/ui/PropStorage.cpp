#include "settings/ui/PropStorage.h"

#include "platform/core/FileSystem.h"
#include "platform/core/Locale.h"
#include "platform/core/Text.h"
#include "platform/core/Units.h"
#include "platform/ui/Application.h"
#include "settings/core/IniFile.h"
#include "settings/core/ObjectText.h"
#include "settings/core/PropertyPath.h"

#include <QWidget>

#include <algorithm>

namespace pardova {

namespace {

// Whether the object is being built from its stored description.
bool IsLoading(const QObject* object) {
    if (const auto* form = qobject_cast<const platform::TForm*>(object)) {
        return form->Loading();
    }
    if (const auto* component = qobject_cast<const platform::TComponent*>(object)) {
        return component->Loading();
    }
    return false;
}

// The path with any letter case of the token written "<P>", which is the only form the writer knows.
std::string NormalizeToken(const std::string& path) {
    std::string result;
    std::string_view rest = path;
    for (bool first = true;; first = false) {
        const std::string_view segment = FirstPathSegment(rest);
        if (!first) {
            result += '.';
        }
        result += IsPropertyToken(segment) ? kPropertyToken : segment;
        if (segment.size() == rest.size()) {
            return result;
        }
        rest = rest.substr(segment.size() + 1);
    }
}

bool ClassHasProperty(const QMetaObject* meta, std::string_view name) {
    for (int i = QObject::staticMetaObject.propertyCount(); i < meta->propertyCount(); ++i) {
        if (SameText(meta->property(i).name(), name)) {
            return true;
        }
    }
    return false;
}

class TDefinedNameFinder : public TFiler {
public:
    explicit TDefinedNameFinder(std::string_view name) : FName(name) {}
    void DefineProperty(const std::string& Name, TReaderProc, TWriterProc, bool) override { Check(Name); }
    void DefineBinaryProperty(const std::string& Name, TStreamProc, TStreamProc, bool) override { Check(Name); }
    bool Found = false;

private:
    void Check(const std::string& name) { Found = Found || SameText(name, FName); }
    std::string_view FName;
};

bool DefinesName(QObject* object, std::string_view name) {
    auto* defines = dynamic_cast<IDefineProperties*>(object);
    if (defines == nullptr) {
        return false;
    }
    TDefinedNameFinder finder(name);
    defines->DefineProperties(finder);
    return finder.Found;
}

TPropStorageManagerEh*& DefaultManagerRef() {
    static TPropStorageManagerEh* manager = nullptr;
    return manager;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// The length of the character that starts at byte i of UTF-8 text: its lead byte and the continuation
// bytes that follow it, as many as the lead announces. A stray byte is a character of its own.
size_t CharLengthAt(std::string_view text, size_t i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t want = platform::Utf8LengthFromLead(lead);
    size_t n = 1;
    while (n < want && i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) {
        ++n;
    }
    return n;
}

// The byte where the last character of non-empty UTF-8 text begins.
size_t LastCharStart(std::string_view text) {
    size_t i = text.size() - 1;
    const size_t stop = text.size() >= 4 ? text.size() - 4 : 0;
    while (i > stop && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) {
        --i;
    }
    // The bytes after the lead must all belong to it; otherwise the last byte stands alone.
    return i + CharLengthAt(text, i) == text.size() ? i : text.size() - 1;
}

} // namespace

std::string IniValueText(std::string_view entry) {
    // Characters, not bytes: a hand-edited value without its apostrophes may begin or end in a letter
    // that takes several bytes, and cutting into it would spoil the whole text.
    const size_t eq = entry.find('=');
    size_t start = eq == std::string_view::npos ? 0 : eq + 1;
    if (start >= entry.size()) {
        return {};
    }
    start += CharLengthAt(entry, start);
    if (start >= entry.size()) {
        return {};
    }
    const size_t end = LastCharStart(entry);
    return end > start ? std::string(entry.substr(start, end - start)) : std::string();
}

// ---- Property paths ---------------------------------------------------------------------------------

TPropertyNamesEh::TPropertyNamesEh(QObject* Root) : FRoot(Root) {}

int TPropertyNamesEh::CompareStrings(const std::string& S1, const std::string& S2) const {
    return ComparePropertyPaths(S1, S2);
}

void TPropertyNamesEh::Add(const std::string& S) {
    if (FRoot != nullptr && !IsLoading(FRoot) && !CheckPropertyPath(S)) {
        return;
    }
    const std::string path = NormalizeToken(S);
    for (auto it = FStrings.begin(); it != FStrings.end(); ++it) {
        const int c = CompareStrings(*it, path);
        if (c == 0) {
            return;
        }
        if (c > 0) {
            FStrings.insert(it, path);
            return;
        }
    }
    FStrings.push_back(path);
}

int TPropertyNamesEh::IndexOf(const std::string& S) const {
    for (size_t i = 0; i < FStrings.size(); ++i) {
        if (CompareStrings(FStrings[i], S) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TPropertyNamesEh::Delete(int Index) {
    if (Index >= 0 && Index < Count()) {
        FStrings.erase(FStrings.begin() + Index);
    }
}

void TPropertyNamesEh::SetRoot(QObject* Value) {
    FRoot = Value;
    RemoveInvalidPaths();
}

bool TPropertyNamesEh::CheckPropertyPath(const std::string& S) const {
    QObject* current = FRoot;
    std::string_view rest = S;
    for (;;) {
        if (rest.empty()) {
            throw platform::Exception("Invalide property path: \"" + S + "\"");
        }
        const std::string_view segment = FirstPathSegment(rest);
        if (IsPropertyToken(segment)) {
            return CheckObjectPropertyPath(current, std::string(RestAfterFirst(rest)));
        }
        current = FindChildByName(current, FRoot, segment);
        if (current == nullptr) {
            return false;
        }
        rest = RestAfterFirst(rest);
    }
}

void TPropertyNamesEh::RemoveInvalidPaths() {
    for (int i = Count() - 1; i >= 0; --i) {
        bool valid = false;
        try {
            valid = CheckPropertyPath(FStrings[static_cast<size_t>(i)]);
        } catch (const platform::Exception&) {
            valid = false;
        }
        if (!valid) {
            Delete(i);
        }
    }
}

bool CheckObjectPropertyPath(QObject* Object, const std::string& Path) {
    QObject* current = Object;
    std::string_view rest = Path;
    while (current != nullptr && !rest.empty()) {
        const std::string_view segment = FirstPathSegment(rest);
        const bool last = segment.size() == rest.size();
        rest = RestAfterFirst(rest);
        if (auto* collection = qobject_cast<TCollection*>(current)) {
            if (segment == "<ForAllItems>") {
                return true;
            }
            if (segment.starts_with("<Item") && segment.ends_with('>')) {
                int index = -1;
                if (!ParseItemSelector(segment, index) || index >= collection->Count()) {
                    return false;
                }
                if (last) {
                    return true;
                }
                current = collection->Item(index);
                continue;
            }
        }
        if (const QMetaObject* interceptor = InterceptorClassFor(current->metaObject());
            interceptor != nullptr && ClassHasProperty(interceptor, segment)) {
            // The interceptor's values are plain ones; nothing can be entered below them.
            return last;
        }
        const QMetaProperty property = FindPublishedProperty(current, segment);
        if (property.isValid()) {
            if (last) {
                return true;
            }
            current = PropKindOf(property) == TPropKind::Object ? ObjectValue(current, property) : nullptr;
            continue;
        }
        // A defined property holds a value of its own making; a path cannot go further into it.
        return last && DefinesName(current, segment);
    }
    return false;
}

std::string DefaultSectionName(QObject* Owner) {
    if (Owner == nullptr) {
        return {};
    }
    if (qobject_cast<platform::TForm*>(Owner) != nullptr) {
        return ClassNameOf(Owner);
    }
    if (auto* control = qobject_cast<QWidget*>(Owner)) {
        platform::TForm* outermost = nullptr;
        for (QObject* object = control->parent(); object != nullptr; object = object->parent()) {
            if (auto* form = qobject_cast<platform::TForm*>(object)) {
                outermost = form;
            }
        }
        if (outermost != nullptr) {
            return ClassNameOf(outermost) + NameOf(Owner);
        }
        if (QWidget* parent = control->parentWidget()) {
            return NameOf(parent) + NameOf(Owner);
        }
        return NameOf(Owner);
    }
    if (auto* form = qobject_cast<platform::TForm*>(Owner->parent())) {
        return ClassNameOf(form) + "." + NameOf(Owner);
    }
    return NameOf(Owner);
}

// ---- The storage ------------------------------------------------------------------------------------

TPropStorageEh::TPropStorageEh(QObject* AOwner) : platform::TComponent(AOwner), FStoredProps(AOwner) {}

TPropStorageEh::~TPropStorageEh() { UnhookOwnerEvents(); }

void TPropStorageEh::Loaded() {
    platform::TComponent::Loaded();
    if (Loading()) {
        HookOwnerEvents();
    }
}

std::string TPropStorageEh::Section() const { return FSection.empty() ? DefaultSectionName(Owner()) : FSection; }

TPropStorageManagerEh* TPropStorageEh::Manager() const {
    return FStorageManager != nullptr ? FStorageManager.data() : DefaultStorageManager();
}

void TPropStorageEh::HookOwnerEvents() {
    auto* form = qobject_cast<platform::TForm*>(Owner());
    if (form == nullptr) {
        return;
    }
    FSaveFormShow = form->OnShow;
    FSaveFormCloseQuery = form->OnCloseQuery;
    FSaveFormDestroy = form->OnDestroy;
    form->OnShow = [this](QObject* Sender) { OwnerShowHandler(Sender); };
    form->OnCloseQuery = [this](QObject* Sender, bool& CanClose) { OwnerCloseQueryHandler(Sender, CanClose); };
    form->OnDestroy = [this](QObject* Sender) { OwnerDestroyHandler(Sender); };
    FHooked = true;
}

void TPropStorageEh::UnhookOwnerEvents() {
    // While the owner itself is being destroyed it is no longer a form (its form part is gone), and
    // nothing is written back into it.
    auto* form = qobject_cast<platform::TForm*>(Owner());
    if (form == nullptr || !FHooked) {
        return;
    }
    form->OnShow = FSaveFormShow;
    form->OnCloseQuery = FSaveFormCloseQuery;
    form->OnDestroy = FSaveFormDestroy;
    FHooked = false;
}

void TPropStorageEh::OwnerShowHandler(QObject* Sender) {
    if (FActive) {
        try {
            LoadProperties();
        } catch (const std::exception&) {
            // Stored data that cannot be applied leaves the window as it is and, since nothing counts as
            // loaded, is never overwritten by a later save.
        }
    }
    if (FSaveFormShow) {
        FSaveFormShow(Sender);
    }
}

void TPropStorageEh::OwnerCloseQueryHandler(QObject* Sender, bool& CanClose) {
    if (FSaveFormCloseQuery) {
        FSaveFormCloseQuery(Sender, CanClose);
    }
    auto* form = qobject_cast<platform::TForm*>(Owner());
    if (CanClose && FActive && form != nullptr && form->HandleAllocated() && FPropsLoaded) {
        try {
            SaveProperties();
        } catch (...) {
            platform::Application->HandleException(this);
        }
    }
}

void TPropStorageEh::OwnerDestroyHandler(QObject* Sender) {
    if (FActive && !FSaved && FPropsLoaded) {
        try {
            SaveProperties();
        } catch (...) {
            platform::Application->HandleException(this);
        }
    }
    if (FSaveFormDestroy) {
        FSaveFormDestroy(Sender);
    }
}

void TPropStorageEh::LoadProperties() {
    if (BeforeLoadProps) {
        BeforeLoadProps(this);
    }
    FSaved = false;
    if (TPropStorageManagerEh* manager = Manager()) {
        try {
            manager->ReadProperties(this);
        } catch (...) {
            // Damaged stored data is replaced by the next save (the manager keeps it aside), so that what the
            // user enters from now on survives; data that could not be read at all is left alone.
            if (manager->LastReadWasDamaged()) {
                FPropsLoaded = true;
            }
            throw;
        }
    }
    if (AfterLoadProps) {
        AfterLoadProps(this);
    }
    FPropsLoaded = true;
}

void TPropStorageEh::SaveProperties() {
    if (BeforeSaveProps) {
        BeforeSaveProps(this);
    }
    if (TPropStorageManagerEh* manager = Manager()) {
        manager->WriteProperties(this);
        FSaved = true;
    }
    if (AfterSaveProps) {
        AfterSaveProps(this);
    }
    FPropsLoaded = false;
}

void TPropStorageEh::WritePropValues(TStream& Stream) {
    TPropWriterEh writer(Stream, 1024);
    writer.OnWriteOwnerProps = [this](TPropWriterEh& Writer) {
        if (OnWriteCustomProps) {
            OnWriteCustomProps(this, Writer);
        }
    };
    writer.WriteOwnerProperties(Owner(), FStoredProps.Strings());
}

void TPropStorageEh::ReadPropValues(TStream& Stream) {
    TPropReaderEh reader(Stream, 1024);
    reader.OnReadOwnerProp = [this](TPropReaderEh& Reader, const std::string& PropName, bool& Processed) {
        if (OnReadProp) {
            OnReadProp(this, Reader, PropName, Processed);
        }
    };
    reader.ReadOwnerProperties(Owner());
}

// ---- Managers ---------------------------------------------------------------------------------------

TPropStorageManagerEh::TPropStorageManagerEh(QObject* AOwner) : platform::TComponent(AOwner) {}

void TPropStorageManagerEh::ReadProperties(TPropStorageEh*) {}

void TPropStorageManagerEh::ReadPropertiesStream(TStream& Stream, TPropStorageEh* PropStorage) {
    const TStreamOriginalFormat format = DetectObjectStreamFormat(Stream);
    if (format == sofUnknown) {
        throw platform::Exception("Invalid stream format.");
    }
    // Text that begins with the UTF-8 byte-order mark is converted like any other text.
    if (format == sofText || format == sofUTF8Text) {
        TMemoryStream converted;
        ConvertObjectTextToStream(Stream, converted);
        converted.SetPosition(0);
        PropStorage->ReadPropValues(converted);
        return;
    }
    PropStorage->ReadPropValues(Stream);
}

void TPropStorageManagerEh::WriteProperties(TPropStorageEh* PropStorage) {
    TMemoryStream stream;
    PropStorage->WritePropValues(stream);
    stream.SetPosition(0);
    if (FWriteAsText) {
        TMemoryStream text;
        ConvertObjectStreamToText(stream, text);
        WritePropertiesText(PropStorage, platform::AnsiToUtf8(text.View()));
    } else {
        WritePropertiesStream(PropStorage, stream);
    }
}

void TPropStorageManagerEh::WritePropertiesStream(TPropStorageEh*, TStream&) {}

void TPropStorageManagerEh::WritePropertiesText(TPropStorageEh*, const std::string&) {}

TIniPropStorageManEh::TIniPropStorageManEh(QObject* AOwner) : TPropStorageManagerEh(AOwner) {}

void TIniPropStorageManEh::ReadProperties(TPropStorageEh* PropStorage) {
    FLastReadDamaged = false;
    const TMemIniFile ini(FIniFileName);
    try {
        ReadPropertiesFrom(ini, PropStorage);
    } catch (...) {
        FLastReadDamaged = true;
        FDamagedFile = FIniFileName;
        FDamagedContent = ini.Content();
        throw;
    }
}

std::string TIniPropStorageManEh::DamagedFileToKeepAside(const TMemIniFile& Ini) const {
    if (FDamagedContent.Size < 0 || FDamagedFile != FIniFileName || !(Ini.Content() == FDamagedContent)) {
        return {};
    }
    return FIniFileName + ".bad";
}

void TIniPropStorageManEh::ReadPropertiesFrom(const TMemIniFile& ini, TPropStorageEh* PropStorage) {
    const std::string section = PropStorage->Section();
    if (!ini.SectionExists(section)) {
        return;
    }
    std::vector<std::string> values = ini.ReadSectionValues(section);
    for (std::string& entry : values) {
        entry = IniValueText(entry);
    }

    TMemoryStream stream;
    stream.WriteBuffer(platform::Utf8ToAnsi(values.front()));
    stream.SetPosition(0);
    if (DetectObjectStreamFormat(stream) == sofText) {
        stream.Clear();
        for (const std::string& value : values) {
            stream.WriteBuffer(platform::Utf8ToAnsi(value));
            stream.WriteBuffer("\r\n");
        }
    } else {
        std::string digits;
        for (const std::string& value : values) {
            digits += platform::Utf8ToAnsi(value);
        }
        std::string bytes;
        bytes.reserve(digits.size() / 2);
        for (size_t i = 0; i + 1 < digits.size(); i += 2) {
            const int hi = HexDigit(digits[i]);
            const int lo = HexDigit(digits[i + 1]);
            if (hi < 0 || lo < 0) {
                break;
            }
            bytes += static_cast<char>(hi * 16 + lo);
        }
        stream.Clear();
        stream.WriteBuffer(bytes);
    }
    stream.SetPosition(0);
    ReadPropertiesStream(stream, PropStorage);
}

void TIniPropStorageManEh::WritePropertiesText(TPropStorageEh* PropStorage, const std::string& Text) {
    const std::vector<std::string_view> lines = platform::SplitLines(Text);
    TMemIniFile ini(FIniFileName);
    const std::string keepAside = DamagedFileToKeepAside(ini);
    if (!keepAside.empty()) {
        ini.Clear();
    }
    const std::string section = PropStorage->Section();
    ini.EraseSection(section);
    std::string trimmed = Text;
    while (!trimmed.empty() && static_cast<unsigned char>(trimmed.back()) <= ' ') {
        trimmed.pop_back();
    }
    if (!trimmed.empty() && !lines.empty()) {
        std::string value = "'";
        value.append(lines[0]).append("'\r\n");
        for (size_t i = 1; i < lines.size(); ++i) {
            value.append("Line").append(std::to_string(i)).append("='").append(lines[i]).append("'\r\n");
        }
        ini.WriteString(section, "Line0", value);
    }
    ini.UpdateFile(keepAside);
    FDamagedContent = {};
}

void TIniPropStorageManEh::WritePropertiesStream(TPropStorageEh* PropStorage, TStream& Stream) {
    {
        const std::string keepAside = DamagedFileToKeepAside(TMemIniFile(FIniFileName));
        if (!keepAside.empty()) {
            platform::Fs().MoveReplacing(FIniFileName, keepAside);
        }
        FDamagedContent = {};
    }
    TIniFile ini(FIniFileName);
    const std::string section = PropStorage->Section();
    std::string hex;
    {
        Stream.SetPosition(0);
        std::string bytes(static_cast<size_t>(Stream.Size()), '\0');
        Stream.ReadBuffer(bytes.data(), bytes.size());
        hex.reserve(bytes.size() * 2);
        for (const char c : bytes) {
            platform::AppendHexByte(hex, static_cast<uint8_t>(c));
        }
    }
    size_t i = 0;
    for (size_t pos = 0; pos < hex.size(); pos += 80, ++i) {
        std::string value = "'";
        value.append(hex, pos, 80);
        value += '\'';
        ini.WriteString(section, "Line" + std::to_string(i), value);
    }
    for (;; ++i) {
        const std::string name = "Line" + std::to_string(i);
        if (!ini.ValueExists(section, name)) {
            break;
        }
        ini.DeleteKey(section, name);
    }
}

TPropStorageManagerEh* InstallDefaultStorageManager(TPropStorageManagerEh* Manager) {
    TPropStorageManagerEh* previous = DefaultManagerRef();
    DefaultManagerRef() = Manager;
    return previous;
}

TPropStorageManagerEh* DefaultStorageManager() { return DefaultManagerRef(); }

void InitializePropStorage() { platform::RegisterFinalizer(FinalizePropStorage); }

void FinalizePropStorage() {
    TPropStorageManagerEh* manager = DefaultManagerRef();
    DefaultManagerRef() = nullptr;
    delete manager;
}

} // namespace pardova
