#pragma once
// Components and forms with events that other components can read and replace.
//
// A form is built in its constructor (every control and component created there), then AfterConstruction
// runs the Loaded step of every component created during the build — where a component may hook the
// form's events — and then OnCreate. Showing runs OnShow before the window becomes visible; a close
// request asks OnCloseQuery; destruction runs OnDestroy while the whole form still exists. Whatever these
// handlers raise is shown by the application's failure box.

#include <QFont>
#include <QObject>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

namespace pardova::platform {

class TForm;

// The face of every window and control: Tahoma at height -11 (11 pixels) where it is installed; otherwise
// the closest narrow sans-serif faces at the same height, so that captions fit their controls as they do
// in Tahoma.
QFont TahomaFont();

// Places a top-level window so that its outer (frame) rectangle's top-left corner is at the point, the
// position a form's Left and Top and the settings file speak of. A window whose platform window exists but
// has never been framed (created, not yet shown) does not know its frame yet: it asks the window manager
// to put the frame there when the window is first shown, so the window never has to move visibly. On
// Windows the point is in the system's pixels, as GetWindowRect reports them at any DPI, and once the
// platform window exists the system's window is put there directly.
void MoveWindowFrame(QWidget* window, const QPoint& outer);

// The top-left corner of a top-level window's outer rectangle, where MoveWindowFrame puts it: the point a
// form's Left and Top report and the settings file stores.
QPoint WindowFramePosition(const QWidget* window);

// Where a top-level window's outer rectangle goes when it is restored to a saved corner: the corner itself
// when the rectangle would overlap a monitor; otherwise (the monitor it was saved on has gone, the desktop
// has become smaller) the nearest monitor's work area, the rectangle moved only as far as it must to lie in
// it, as the system's own window placement does on Windows. Where the toolkit's screens are no monitors
// (TApplication::ScreensAreMonitors), the corner itself.
QPoint PlaceOnAMonitor(const QWidget* window, const QPoint& outer);

// The top-left corner that puts a rectangle of the frame's size inside the area, moved as little as
// possible; a rectangle larger than the area keeps its left or top edge on the area's.
QPoint FitInto(const QRect& frame, const QRect& area);

using TNotifyEvent = std::function<void(QObject* Sender)>;
using TCloseQueryEvent = std::function<void(QObject* Sender, bool& CanClose)>;

// A non-visual component owned by a form (or another object). Its owner is its Qt parent.
class TComponent : public QObject {
    Q_OBJECT
public:
    explicit TComponent(QObject* AOwner = nullptr);

    QObject* Owner() const { return parent(); }
    QString Name() const { return objectName(); }

    // True from construction inside a form that is being built until the form has called Loaded.
    bool Loading() const { return FLoading; }

    // Called once the owning form has been built. Overrides call the inherited Loaded first.
    virtual void Loaded();

private:
    friend class TForm;
    bool FLoading = false;
};

class TForm : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(int Left READ Left WRITE SetLeft)
    Q_PROPERTY(int Top READ Top WRITE SetTop)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(int Height READ Height WRITE SetHeight)
    Q_PROPERTY(int ClientWidth READ ClientWidth WRITE SetClientWidth)
    Q_PROPERTY(int ClientHeight READ ClientHeight WRITE SetClientHeight)

public:
    TNotifyEvent OnCreate;
    TNotifyEvent OnShow;
    TCloseQueryEvent OnCloseQuery;
    TNotifyEvent OnDestroy;

    explicit TForm(QWidget* parent = nullptr);
    ~TForm() override;

    // Builds a form of class T and runs its Loaded step and OnCreate.
    template <class T, class... Args> static T* Create(Args&&... args) {
        T* form = new T(std::forward<Args>(args)...);
        form->AfterConstruction();
        return form;
    }

    // The Loaded step of every component created while the form was built, then OnCreate.
    void AfterConstruction();
    // Runs OnDestroy, once. A form class whose handlers use its own members calls it first thing in its
    // destructor, so that the handlers never see a half-destroyed form.
    void BeforeDestruction();
    // OnDestroy, then the form is deleted.
    void Free();

    // True while the form is being built (before AfterConstruction has called the Loaded steps).
    bool Loading() const { return FLoading; }
    // The platform window exists (it is created after OnCreate, before the form is first shown).
    bool HandleAllocated() const;
    // Asks OnCloseQuery whether the form may close; a handler that raises refuses.
    bool CloseQuery();
    // The showing of a form that nobody will ever see: OnShow runs as it does before a form becomes visible,
    // and the form and its controls are not shown (which would lay every control out for nothing).
    void ShowUnseen();

    // The form that contains an object: the object itself or its nearest ancestor that is a form.
    static TForm* FormOf(QObject* object);

    QString Caption() const { return windowTitle(); }
    void SetCaption(const QString& caption) { setWindowTitle(caption); }
    int Left() const { return WindowFramePosition(this).x(); }
    void SetLeft(int left) { MoveWindowFrame(this, QPoint(left, Top())); }
    int Top() const { return WindowFramePosition(this).y(); }
    void SetTop(int top) { MoveWindowFrame(this, QPoint(Left(), top)); }
    int Width() const { return frameGeometry().width(); }
    void SetWidth(int width);
    int Height() const { return frameGeometry().height(); }
    void SetHeight(int height);
    int ClientWidth() const { return width(); }
    void SetClientWidth(int width);
    int ClientHeight() const { return height(); }
    void SetClientHeight(int height);

    // A fixed-size dialog frame: a close button, no minimise or maximise button, not resizable; the client
    // area is the given size.
    void SetDialogBorder(int clientWidth, int clientHeight);

    // Anchors and alignment, kept when the client area changes size. A control's distances to the anchored
    // sides are those it has when it is anchored.
    enum TAnchorKind { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
    void SetAnchors(QWidget* control, int anchors);
    // Aligned to the bottom: full client width at its own height, stacked upwards in the order the controls
    // are aligned (the first one lowest).
    void AlignBottom(QWidget* control);

protected:
    virtual void DoCreate();
    virtual void DoShow();
    virtual void DoDestroy();

    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct TAnchored {
        QWidget* Control;
        int Anchors;
        QRect Design;
        QSize DesignClient;
    };
    void ArrangeControls();

    bool FLoading = true;
    bool FDestroyed = false;
    std::vector<TAnchored> FAnchored;
    std::vector<QWidget*> FBottomAligned;
};

} // namespace pardova::platform
