#include "controls/ui/EditButton.h"

#include "controls/ui/Glyphs.h"

#include <QEnterEvent>
#include <QPainter>
#include <QStyle>

namespace pardova {

// ---- glyph mode --------------------------------------------------------------------------------------

TsGlyphMode::TsGlyphMode(QObject* parent) : QObject(parent) {}

void TsGlyphMode::SetImages(const QList<QPixmap>& images) {
    FImages = images;
    emit Changed();
}

void TsGlyphMode::SetImageIndex(int value) {
    FImageIndex = value;
    emit Changed();
}

void TsGlyphMode::SetImageIndexHot(int value) {
    FImageIndexHot = value;
    emit Changed();
}

void TsGlyphMode::SetImageIndexPressed(int value) {
    FImageIndexPressed = value;
    emit Changed();
}

void TsGlyphMode::SetBlend(int value) {
    FBlend = qBound(0, value, 100);
    emit Changed();
}

void TsGlyphMode::SetGrayed(bool value) {
    FGrayed = value;
    emit Changed();
}

// ---- button ------------------------------------------------------------------------------------------

TsEditButton::TsEditButton(QWidget* parent, TsGlyphMode* glyphMode, const int* defBmpID)
    : QAbstractButton(parent), FGlyphMode(glyphMode), FDefBmpID(defBmpID) {
    setObjectName(QStringLiteral("Button"));
    setFocusPolicy(Qt::NoFocus);
    // The edit shows a text cursor; over the button the user should see that it is a button.
    setCursor(Qt::ArrowCursor);
    connect(glyphMode, &TsGlyphMode::Changed, this, [this] { update(); });
}

bool TsEditButton::IsHot() const { return FHover || isDown(); }

QPixmap TsEditButton::CurrentGlyph() const {
    const QList<QPixmap>& images = FGlyphMode->Images();
    auto valid = [&images](int index) { return index >= 0 && index < images.size(); };
    if (valid(FGlyphMode->ImageIndex())) {
        int index = FGlyphMode->ImageIndex();
        if (isDown() && valid(FGlyphMode->ImageIndexPressed())) {
            index = FGlyphMode->ImageIndexPressed();
        } else if (IsHot() && valid(FGlyphMode->ImageIndexHot())) {
            index = FGlyphMode->ImageIndexHot();
        }
        return images[index];
    }
    const QList<QPixmap>& builtIn = BuiltInGlyphs();
    const int index = *FDefBmpID * 2 + (IsHot() ? 1 : 0);
    return index >= 0 && index < builtIn.size() ? builtIn[index] : QPixmap();
}

int TsEditButton::GlyphWidth() const {
    const QList<QPixmap>& images = FGlyphMode->Images();
    const int index = FGlyphMode->ImageIndex();
    if (index >= 0 && index < images.size()) {
        return images[index].width();
    }
    // Every field asks while it is built; the glyphs themselves are drawn only when a button is painted.
    const int builtIn = *FDefBmpID * 2;
    return builtIn >= 0 && builtIn < kBuiltInGlyphCount ? kGlyphSize : 0;
}

QSize TsEditButton::sizeHint() const { return QSize(GlyphWidth() + 4, kGlyphSize + 2); }

void TsEditButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (IsHot() && isEnabled()) {
        p.setPen(palette().color(QPalette::Highlight));
        p.setBrush(palette().color(QPalette::Highlight).lighter(isDown() ? 150 : 185));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    QPixmap glyph = CurrentGlyph();
    if (glyph.isNull()) {
        return;
    }
    if (!IsHot() && FGlyphMode->Grayed()) {
        QImage grey = glyph.toImage().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < grey.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
            for (int x = 0; x < grey.width(); ++x) {
                const int g = qGray(line[x]);
                line[x] = qRgba(g, g, g, qAlpha(line[x]));
            }
        }
        glyph = QPixmap::fromImage(grey);
    }
    if (!isEnabled()) {
        p.setOpacity(0.4);
    } else if (!IsHot() && FGlyphMode->Blend() > 0) {
        p.setOpacity(1.0 - FGlyphMode->Blend() / 100.0);
    }
    const int shift = isDown() ? 1 : 0;
    const QPoint at((width() - glyph.width()) / 2 + shift, (height() - glyph.height()) / 2 + shift);
    p.drawPixmap(at, glyph);
}

void TsEditButton::enterEvent(QEnterEvent* event) {
    FHover = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TsEditButton::leaveEvent(QEvent* event) {
    FHover = false;
    update();
    QAbstractButton::leaveEvent(event);
}

} // namespace pardova
