#include "controls/ui/BoundLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QMouseEvent>

#include <climits>

namespace pardova {

TsEditLabel::TsEditLabel(QWidget* parent) : QLabel(parent) {
    setContentsMargins(0, 0, 0, 0);
    setMargin(0);
    setIndent(0);
}

TsBoundLabel::TsBoundLabel(QWidget* field) : QObject(field), FField(field), FFont(field->font()) {
    field->installEventFilter(this);
    connect(field, &QObject::objectNameChanged, this, &TsBoundLabel::Update);
}

TsBoundLabel::~TsBoundLabel() { delete FLabel; }

void TsBoundLabel::SetActive(bool value) {
    FActive = value;
    CreateOrDestroyLabel();
}

void TsBoundLabel::SetCaption(const QString& value) {
    FCaption = value;
    Update();
}

void TsBoundLabel::SetLayout(TsCaptionLayout value) {
    FLayout = value;
    Update();
}

void TsBoundLabel::SetIndent(int value) {
    FIndent = value;
    Update();
}

void TsBoundLabel::SetMaxWidth(int value) {
    FMaxWidth = value < 0 ? 0 : value;
    Update();
}

void TsBoundLabel::SetEnabledAlways(bool value) {
    FEnabledAlways = value;
    Update();
}

void TsBoundLabel::SetAllowClick(bool value) { FAllowClick = value; }

void TsBoundLabel::SetUseHTML(bool value) {
    FUseHTML = value;
    Update();
}

void TsBoundLabel::SetFont(const QFont& value) {
    FFont = value;
    FFontSet = true;
    Update();
}

void TsBoundLabel::CreateOrDestroyLabel() {
    QWidget* parent = FField->parentWidget();
    if (!FActive || parent == nullptr) {
        delete FLabel;
        return;
    }
    if (FLabel == nullptr) {
        FLabel = new TsEditLabel(parent);
        FLabel->installEventFilter(this);
    } else if (FLabel->parentWidget() != parent) {
        FLabel->setParent(parent);
    }
    Update();
}

QString TsBoundLabel::ShownText() const { return FCaption.isEmpty() ? FField->objectName() : FCaption; }

void TsBoundLabel::Update() {
    if (FLabel == nullptr) {
        return;
    }
    FLabel->setObjectName(FField->objectName() + QStringLiteral("Label"));
    const QString text = ShownText();
    // Plain text unless asked otherwise: a caption is a name, not markup.
    FLabel->setTextFormat(FUseHTML ? Qt::RichText : Qt::PlainText);
    FLabel->setText(text);
    const QFont font = FFontSet ? FFont : FField->font();
    FLabel->setFont(font);

    const QFontMetrics metrics(font);
    // The trailing spaces of a caption widen the gap before the field, so they count in the width.
    int width = metrics.horizontalAdvance(text);
    int height = metrics.height();
    FLabel->setWordWrap(FMaxWidth > 0 && width > FMaxWidth);
    if (FMaxWidth > 0 && width > FMaxWidth) {
        width = FMaxWidth;
        height = metrics.boundingRect(QRect(0, 0, width, INT_MAX / 2), Qt::TextWordWrap, text).height();
    }

    const QRect field = FField->geometry();
    int left = 0;
    int top = 0;
    switch (FLayout) {
    case sclLeft:
        left = field.left() - width - FIndent - 4;
        top = field.top() + (field.height() - height) / 2;
        break;
    case sclTopLeft:
        left = field.left();
        top = field.top() - FIndent - height;
        break;
    }
    FLabel->setGeometry(left, top, width, height);
    // A field that waits for its parent to be shown is not hidden on purpose; its label waits likewise.
    FLabel->setHidden(FField->isHidden() && FField->testAttribute(Qt::WA_WState_ExplicitShowHide));
    FLabel->setEnabled(FField->isEnabled() || FEnabledAlways);
}

bool TsBoundLabel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FField) {
        switch (event->type()) {
        case QEvent::ParentChange:
            CreateOrDestroyLabel();
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
        case QEvent::EnabledChange:
        case QEvent::FontChange:
            Update();
            break;
        default:
            break;
        }
    } else if (event->type() == QEvent::MouseButtonPress && FAllowClick && watched == FLabel) {
        // The event's kind first: a label being destroyed still sends events through this filter, and is
        // no longer a TsEditLabel that FLabel could be read as.
        if (FField->isEnabled()) {
            FField->setFocus(Qt::MouseFocusReason);
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace pardova
