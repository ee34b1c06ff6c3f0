#pragma once
// Fixture classes for the settings store's suites: a window with the main window's names and classes, and
// small components with the kinds of property the main window lacks.

#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"
#include "settings/ui/Persistent.h"
#include "settings/ui/PropStorage.h"

#include <QWidget>

namespace pardova::fixture {

// A path field: only its stored Text matters here.
class TsDirectoryEdit : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
public:
    using QWidget::QWidget;
    QString Text() const { return FText; }
    void SetText(const QString& Value) { FText = Value; }

private:
    QString FText;
};

class TsFilenameEdit : public TsDirectoryEdit {
    Q_OBJECT
public:
    using TsDirectoryEdit::TsDirectoryEdit;
};

// The main window's stored part: the same names, classes and stored paths.
class TMainForm : public platform::TForm {
    Q_OBJECT
public:
    explicit TMainForm(bool WithStorage = true) {
        setObjectName("MainForm");
        resize(436, 294);
        if (WithStorage) {
            PropStorage1 = new TPropStorageEh(this);
            PropStorage1->setObjectName("PropStorage1");
            for (const char* path : {"<P>.Left", "<P>.Top", "CheckBox1.<P>.Checked", "DirEdit1.<P>.Text",
                                     "DirEdit2.<P>.Text", "ExeEdit.<P>.Text"}) {
                PropStorage1->StoredProps().Add(path);
            }
        }
        DirEdit1 = Make<TsDirectoryEdit>("DirEdit1");
        DirEdit2 = Make<TsDirectoryEdit>("DirEdit2");
        ExeEdit = Make<TsFilenameEdit>("ExeEdit");
        CheckBox1 = Make<platform::TsCheckBox>("CheckBox1");
    }
    // The storage's destroy handler reads this form's members and class: it runs before any of them goes.
    ~TMainForm() override { BeforeDestruction(); }

    TPropStorageEh* PropStorage1 = nullptr;
    TsDirectoryEdit* DirEdit1;
    TsDirectoryEdit* DirEdit2;
    TsFilenameEdit* ExeEdit;
    platform::TsCheckBox* CheckBox1;

private:
    template <class T> T* Make(const char* name) {
        auto* control = new T(this);
        control->setObjectName(name);
        return control;
    }
};

// A nested persistent object.
class TFontFixture : public TPersistent {
    Q_OBJECT
    Q_PROPERTY(QString Name MEMBER Name)
    Q_PROPERTY(int Size MEMBER Size)
public:
    using TPersistent::TPersistent;
    QString Name = "Tahoma";
    int Size = 8;
};

class TColumnItem : public TCollectionItem {
    Q_OBJECT
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(int Width MEMBER Width)
public:
    using TCollectionItem::TCollectionItem;
    QString Caption;
    int Width = 0;
};

// A component owned by its holder and stored as part of it.
class TSubFixture : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Level MEMBER Level)
public:
    using QObject::QObject;
    int Level = 0;
};

// A component with one property of every kind the store tells apart, and two defined values.
class TKinds : public QObject, public IDefineProperties {
    Q_OBJECT
public:
    enum TColor { clRed, clGreen, clBlue };
    Q_ENUM(TColor)
    enum TStyle { fsBold = 1, fsItalic = 2, fsUnderline = 4 };
    Q_DECLARE_FLAGS(TStyles, TStyle)
    Q_FLAG(TStyles)

private:
    Q_PROPERTY(int Number MEMBER Number)
    Q_PROPERTY(QString Caption MEMBER Caption)
    Q_PROPERTY(bool Flag MEMBER Flag)
    Q_PROPERTY(TColor Color MEMBER Color)
    Q_PROPERTY(TStyles Styles READ GetStyles WRITE SetStyles)
    Q_PROPERTY(double Ratio MEMBER Ratio)
    Q_PROPERTY(qlonglong Big MEMBER Big)
    Q_PROPERTY(QChar Letter MEMBER Letter)
    Q_PROPERTY(pardova::TMethodRef OnChange MEMBER OnChange)
    Q_PROPERTY(pardova::TInterfaceRef Link MEMBER Link)
    Q_PROPERTY(pardova::TRegistryRootKey RootKey MEMBER RootKey)
    Q_PROPERTY(pardova::fixture::TFontFixture* Font READ Font WRITE SetFont)
    Q_PROPERTY(pardova::TCollection* Columns READ Columns WRITE SetColumns)
    Q_PROPERTY(QObject* Buddy MEMBER Buddy)
    Q_PROPERTY(int Fixed READ Fixed)
    Q_PROPERTY(pardova::fixture::TSubFixture* Sub READ Sub)

public:
    explicit TKinds(QObject* parent = nullptr)
        : QObject(parent), FFont(new TFontFixture(this)),
          FColumns(new TCollection([](TCollection* c) { return new TColumnItem(c); }, this)),
          FSub(new TSubFixture(this)) {
        FSub->setObjectName("Sub");
        SetSubComponent(FSub, true);
    }

    int Number = 0;
    QString Caption;
    bool Flag = false;
    TColor Color = clRed;
    TStyles Styles;
    double Ratio = 0;
    qlonglong Big = 0;
    QChar Letter = u'a';
    TMethodRef OnChange;
    TInterfaceRef Link;
    TRegistryRootKey RootKey = TRegistryRootKey(0);
    QObject* Buddy = nullptr;
    std::string Secret = "hidden";
    std::string Blob = "\x01\x02";

    TFontFixture* Font() const { return FFont; }
    void SetFont(TFontFixture* Value) {
        if (Value != nullptr) {
            FFont->Name = Value->Name;
            FFont->Size = Value->Size;
        }
    }
    TCollection* Columns() const { return FColumns; }
    void SetColumns(TCollection*) {}
    int Fixed() const { return 7; }
    TStyles GetStyles() const { return Styles; }
    void SetStyles(TStyles Value) { Styles = Value; }
    TSubFixture* Sub() const { return FSub; }
    TColumnItem* Column(int i) const { return static_cast<TColumnItem*>(FColumns->Item(i)); }

    void DefineProperties(TFiler& Filer) override {
        Filer.DefineProperty(
            "Secret", [this](TReader& Reader) { Secret = Reader.ReadString(); },
            [this](TWriter& Writer) { Writer.WriteString(Secret); }, true);
        Filer.DefineBinaryProperty(
            "Blob",
            [this](TStream& Stream) {
                Blob.assign(static_cast<size_t>(Stream.Size()), '\0');
                Stream.ReadBuffer(Blob.data(), Blob.size());
            },
            [this](TStream& Stream) { Stream.WriteBuffer(Blob); }, true);
    }

private:
    TFontFixture* FFont;
    TCollection* FColumns;
    TSubFixture* FSub;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TKinds::TStyles)

// A form to hold the kinds component and a panel with a nested control.
class TKindsForm : public platform::TForm {
    Q_OBJECT
public:
    TKindsForm() {
        setObjectName("KindsForm");
        Kinds = new TKinds(this);
        Kinds->setObjectName("Kinds");
        Other = new TKinds(this);
        Other->setObjectName("Other");
        Panel1 = new QWidget(this);
        Panel1->setObjectName("Panel1");
        Inner = new platform::TsCheckBox(Panel1);
        Inner->setObjectName("Inner");
    }
    TKinds* Kinds;
    TKinds* Other;
    QWidget* Panel1;
    platform::TsCheckBox* Inner;
};

} // namespace pardova::fixture
