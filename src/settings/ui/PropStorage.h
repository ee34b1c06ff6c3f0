#pragma once
// The settings store: TPropStorageEh keeps the published properties of its owner window and of the
// window's components, named by property paths, between runs. It restores them when the window is shown
// and saves them when the window closes or is destroyed; a storage manager decides where they go.

#include "platform/ui/Forms.h"
#include "settings/core/IniFile.h"
#include "settings/core/Stream.h"
#include "settings/ui/PropFiler.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pardova {

class TPropStorageEh;
class TPropStorageManagerEh;

// The stored property paths: kept in ComparePropertyPaths order and free of paths that compare equal.
class TPropertyNamesEh {
public:
    explicit TPropertyNamesEh(QObject* Root = nullptr);

    // Adds S in order unless an equal path is present. While Root exists and is not being built, S must
    // pass CheckPropertyPath, else it is not added. A "<p>" token is stored as "<P>".
    void Add(const std::string& S);
    int CompareStrings(const std::string& S1, const std::string& S2) const;
    int IndexOf(const std::string& S) const;
    void Delete(int Index);
    void Clear() { FStrings.clear(); }

    int Count() const { return static_cast<int>(FStrings.size()); }
    const std::string& operator[](int Index) const { return FStrings[static_cast<size_t>(Index)]; }
    const std::vector<std::string>& Strings() const { return FStrings; }

    QObject* Root() const { return FRoot; }
    // Stores the root, then drops the paths that are not valid against it.
    void SetRoot(QObject* Value);

    // Whether S names an existing component (or the root) and a property it has. A path that runs out
    // without "<P>" raises "Invalide property path: " with the path in double quotes.
    bool CheckPropertyPath(const std::string& S) const;
    void RemoveInvalidPaths();

private:
    QPointer<QObject> FRoot;
    std::vector<std::string> FStrings;
};

// Whether the path after "<P>." names a property of Object (through interceptors, published properties,
// defined properties, nested objects and collection items).
bool CheckObjectPropertyPath(QObject* Object, const std::string& Path);

// The section name derived from a storage's owner: a form's class name; a control's name after its form's
// class name (or its parent's name); a non-visual component on a form "FormClass.Name"; else the name.
std::string DefaultSectionName(QObject* Owner);

using TWriteCustomPropsEventEh = std::function<void(QObject* Sender, TPropWriterEh& Writer)>;
using TReadPropEventEh =
    std::function<void(QObject* Sender, TPropReaderEh& Reader, const std::string& PropName, bool& Processed)>;

class TPropStorageEh : public platform::TComponent {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(QString Section READ SectionText WRITE SetSectionText)
    Q_PROPERTY(pardova::TPropStorageManagerEh* StorageManager READ StorageManager WRITE SetStorageManager)

public:
    explicit TPropStorageEh(QObject* AOwner);
    ~TPropStorageEh() override;

    void Loaded() override;

    bool Active() const { return FActive; }
    void SetActive(bool Value) { FActive = Value; }
    std::string Section() const;
    void SetSection(const std::string& Value) { FSection = Value; }
    TPropStorageManagerEh* StorageManager() const { return FStorageManager; }
    void SetStorageManager(TPropStorageManagerEh* Value) { FStorageManager = Value; }
    TPropertyNamesEh& StoredProps() { return FStoredProps; }
    const TPropertyNamesEh& StoredProps() const { return FStoredProps; }

    platform::TNotifyEvent AfterLoadProps;
    platform::TNotifyEvent AfterSaveProps;
    platform::TNotifyEvent BeforeLoadProps;
    platform::TNotifyEvent BeforeSaveProps;
    TWriteCustomPropsEventEh OnWriteCustomProps;
    TReadPropEventEh OnReadProp;

    // Restores through the manager (StorageManager, else the default one); failures propagate.
    void LoadProperties();
    // Saves through the manager; failures propagate.
    void SaveProperties();
    void WritePropValues(TStream& Stream);
    void ReadPropValues(TStream& Stream);

    // The load and save state, for the owner's hooks.
    bool PropsLoaded() const { return FPropsLoaded; }
    bool Saved() const { return FSaved; }

    void HookOwnerEvents();
    void UnhookOwnerEvents();
    void OwnerShowHandler(QObject* Sender);
    void OwnerCloseQueryHandler(QObject* Sender, bool& CanClose);
    void OwnerDestroyHandler(QObject* Sender);

private:
    QString SectionText() const { return QString::fromStdString(Section()); }
    void SetSectionText(const QString& Value) { FSection = Value.toStdString(); }
    TPropStorageManagerEh* Manager() const;

    bool FActive = true;
    bool FPropsLoaded = false;
    bool FSaved = false;
    bool FHooked = false;
    platform::TCloseQueryEvent FSaveFormCloseQuery;
    platform::TNotifyEvent FSaveFormDestroy;
    platform::TNotifyEvent FSaveFormShow;
    std::string FSection;
    QPointer<TPropStorageManagerEh> FStorageManager;
    TPropertyNamesEh FStoredProps;
};

// Decides where a storage's data goes. The base turns the storage's values into an object stream and,
// in text mode (the default), into its text form.
class TPropStorageManagerEh : public platform::TComponent {
    Q_OBJECT
public:
    explicit TPropStorageManagerEh(QObject* AOwner = nullptr);

    virtual void ReadProperties(TPropStorageEh* PropStorage);
    // Applies an object stream or its text form; "Invalid stream format." when it is neither.
    virtual void ReadPropertiesStream(TStream& Stream, TPropStorageEh* PropStorage);
    virtual void WriteProperties(TPropStorageEh* PropStorage);
    virtual void WritePropertiesStream(TPropStorageEh* PropStorage, TStream& Stream);
    virtual void WritePropertiesText(TPropStorageEh* PropStorage, const std::string& Text);

    // Whether the last ReadProperties failed on stored data that it read but could not understand (as
    // against data it could not read at all). The storage then counts the load as done, so that its next
    // save replaces that data; the manager keeps the damaged data aside at that save.
    bool LastReadWasDamaged() const { return FLastReadDamaged; }

protected:
    bool FWriteAsText = true;
    bool FLastReadDamaged = false;
};

// The value text of one raw INI entry: the entry without its name, the "=", the character after it and
// its last character (the apostrophes around a value that the INI manager wrote). An entry without "="
// loses its first and last character. Characters are whole UTF-8 sequences.
std::string IniValueText(std::string_view entry);

// Keeps each storage's text as one section of an INI file: entries "Line0", "Line1", ... each holding one
// line of the text form between apostrophes. In hex mode the object stream is stored as hexadecimal
// digits, 80 to an entry. A file that was read but whose stored data could not be understood is, at the
// next save, moved aside as the file's name followed by ".bad" (replacing an older one) while a fresh file
// takes its place; that happens only while the file still holds exactly what failed to load. A file that
// could not be opened or read at all is never touched.
class TIniPropStorageManEh : public TPropStorageManagerEh {
    Q_OBJECT
    Q_PROPERTY(QString IniFileName READ IniFileNameText WRITE SetIniFileNameText)
    Q_PROPERTY(bool WriteAsText READ WriteAsText WRITE SetWriteAsText)

public:
    explicit TIniPropStorageManEh(QObject* AOwner = nullptr);

    const std::string& IniFileName() const { return FIniFileName; }
    void SetIniFileName(const std::string& Value) { FIniFileName = Value; }
    bool WriteAsText() const { return FWriteAsText; }
    void SetWriteAsText(bool Value) { FWriteAsText = Value; }

    void ReadProperties(TPropStorageEh* PropStorage) override;
    void WritePropertiesStream(TPropStorageEh* PropStorage, TStream& Stream) override;
    void WritePropertiesText(TPropStorageEh* PropStorage, const std::string& Text) override;

private:
    void ReadPropertiesFrom(const TMemIniFile& Ini, TPropStorageEh* PropStorage);
    QString IniFileNameText() const { return QString::fromStdString(FIniFileName); }
    void SetIniFileNameText(const QString& Value) { FIniFileName = Value.toStdString(); }

    // The file whose stored data failed to load although it was read, and what it held then.
    std::string DamagedFileToKeepAside(const TMemIniFile& Ini) const;

    std::string FIniFileName;
    std::string FDamagedFile;
    TIniFileContent FDamagedContent;
};

// Makes Manager the default and returns the previous default, neither freed nor changed. From then on the
// settings store owns the default manager and frees it when it is finalised.
TPropStorageManagerEh* InstallDefaultStorageManager(TPropStorageManagerEh* Manager);
TPropStorageManagerEh* DefaultStorageManager();

// The settings store's module start: registers its finalisation with the program's units, which clears
// the default manager's reference and then frees it, after the windows have been destroyed.
void InitializePropStorage();
void FinalizePropStorage();

} // namespace pardova
