#pragma once
// The flat button inside a field and the images it shows.

#include <QAbstractButton>
#include <QList>
#include <QObject>
#include <QPixmap>

namespace pardova {

// Which images the button shows. Without images (or with ImageIndex -1) the field's built-in glyph is
// used. Blend (0..100) fades the normal image into the background; Grayed shows it in grey until hot.
class TsGlyphMode : public QObject {
    Q_OBJECT
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
    Q_PROPERTY(int ImageIndexHot READ ImageIndexHot WRITE SetImageIndexHot)
    Q_PROPERTY(int ImageIndexPressed READ ImageIndexPressed WRITE SetImageIndexPressed)
    Q_PROPERTY(int Blend READ Blend WRITE SetBlend)
    Q_PROPERTY(bool Grayed READ Grayed WRITE SetGrayed)
public:
    explicit TsGlyphMode(QObject* parent = nullptr);

    const QList<QPixmap>& Images() const { return FImages; }
    void SetImages(const QList<QPixmap>& images);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);
    int ImageIndexHot() const { return FImageIndexHot; }
    void SetImageIndexHot(int value);
    int ImageIndexPressed() const { return FImageIndexPressed; }
    void SetImageIndexPressed(int value);
    int Blend() const { return FBlend; }
    void SetBlend(int value);
    bool Grayed() const { return FGrayed; }
    void SetGrayed(bool value);

signals:
    void Changed();

private:
    QList<QPixmap> FImages;
    int FImageIndex = -1;
    int FImageIndexHot = -1;
    int FImageIndexPressed = -1;
    int FBlend = 0;
    bool FGrayed = false;
};

// The flat button inside a field.
class TsEditButton : public QAbstractButton {
    Q_OBJECT
public:
    TsEditButton(QWidget* parent, TsGlyphMode* glyphMode, const int* defBmpID);

    // The image the button shows in its current state (null when there is none).
    QPixmap CurrentGlyph() const;
    // The width of the glyph the button shows; 0 when it shows none.
    int GlyphWidth() const;
    bool IsHot() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TsGlyphMode* FGlyphMode;
    const int* FDefBmpID;
    bool FHover = false;
};

} // namespace pardova
