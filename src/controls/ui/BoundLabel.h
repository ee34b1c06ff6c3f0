#pragma once
// The caption beside a field: a label on the field's parent, kept placed, shown and enabled with it.

#include <QFont>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>

namespace pardova {

// The caption control that a bound label places on the field's parent.
class TsEditLabel : public QLabel {
    Q_OBJECT
public:
    explicit TsEditLabel(QWidget* parent = nullptr);
};

// The caption of a field. While Active it owns one TsEditLabel on the field's parent, named after the
// field followed by "Label", and keeps it placed, shown and enabled with the field.
class TsBoundLabel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(TsCaptionLayout Layout READ Layout WRITE SetLayout)
    Q_PROPERTY(int Indent READ Indent WRITE SetIndent)
    Q_PROPERTY(int MaxWidth READ MaxWidth WRITE SetMaxWidth)
    Q_PROPERTY(bool EnabledAlways READ EnabledAlways WRITE SetEnabledAlways)
    Q_PROPERTY(bool AllowClick READ AllowClick WRITE SetAllowClick)
    Q_PROPERTY(bool UseSkinColor READ UseSkinColor WRITE SetUseSkinColor)
    Q_PROPERTY(bool UseHTML READ UseHTML WRITE SetUseHTML)
    Q_PROPERTY(QFont Font READ Font WRITE SetFont)
public:
    enum TsCaptionLayout { sclLeft, sclTopLeft };
    Q_ENUM(TsCaptionLayout)

    explicit TsBoundLabel(QWidget* field);
    ~TsBoundLabel() override;

    bool Active() const { return FActive; }
    void SetActive(bool value);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    TsCaptionLayout Layout() const { return FLayout; }
    void SetLayout(TsCaptionLayout value);
    int Indent() const { return FIndent; }
    void SetIndent(int value);
    int MaxWidth() const { return FMaxWidth; }
    void SetMaxWidth(int value);
    bool EnabledAlways() const { return FEnabledAlways; }
    void SetEnabledAlways(bool value);
    bool AllowClick() const { return FAllowClick; }
    void SetAllowClick(bool value);
    bool UseSkinColor() const { return FUseSkinColor; }
    void SetUseSkinColor(bool value) { FUseSkinColor = value; }
    bool UseHTML() const { return FUseHTML; }
    void SetUseHTML(bool value);
    QFont Font() const { return FFont; }
    void SetFont(const QFont& value);

    // The label control; null while inactive or while the field has no parent.
    TsEditLabel* Label() const { return FLabel; }
    // Places, sizes, shows and enables the label after the field changed.
    void Update();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateOrDestroyLabel();
    QString ShownText() const;

    QWidget* FField;
    QPointer<TsEditLabel> FLabel;
    bool FActive = false;
    QString FCaption;
    TsCaptionLayout FLayout = sclLeft;
    int FIndent = 0;
    int FMaxWidth = 0;
    bool FEnabledAlways = false;
    bool FAllowClick = false;
    bool FUseSkinColor = true;
    bool FUseHTML = false;
    QFont FFont;
    bool FFontSet = false;
};

using enum TsBoundLabel::TsCaptionLayout;

} // namespace pardova
