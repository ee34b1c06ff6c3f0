// The window layer: title, failure box, the order of a form's events, finalisers, the end of the process.

#include "platform/ui/TestWindowSupport.h"

#include "platform/core/Exceptions.h"
#include "platform/core/Units.h"
#include "platform/ui/Application.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"
#include "platform/ui/Translations.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QWindow>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace pardova::platform {
namespace {

using testing::BoxAnswerer;
using ::testing::ElementsAre;

TEST(ApplicationTitle, ComesFromTheExecutableWhenNotSet) { EXPECT_EQ(Application->Title(), "test_window"); }

TEST(CommandLine, ParamStrCountsFromTheFirstArgument) {
    const auto saved = Application->Arguments();
    Application->SetArguments({"/s", "second"});
    EXPECT_EQ(Application->ParamStr(1), "/s");
    EXPECT_EQ(Application->ParamStr(2), "second");
    EXPECT_EQ(Application->ParamStr(3), "");
    EXPECT_EQ(Application->ParamStr(0), "");
    Application->SetArguments(saved);
}

class FailureBox : public ::testing::Test {
protected:
    BoxAnswerer Answerer;
};

TEST_F(FailureBox, ShowsTheMessageWithTheFullStopRuleTitleErrorIconAndOneOkButton) {
    const struct {
        std::string Message;
        QString Text;
    } cases[] = {
        {"Папка не найдена\r/data/A", QStringLiteral("Папка не найдена\r/data/A.")},
        {"Папка не найдена\r", QStringLiteral("Папка не найдена\r")},
        {"Unable to create directory", QStringLiteral("Unable to create directory.")},
        {"Файл не найден\r/tmp/копия (1)", QStringLiteral("Файл не найден\r/tmp/копия (1)")},
        {"ends in a dot.", QStringLiteral("ends in a dot.")},
        {"ends in a hyphen-", QStringLiteral("ends in a hyphen-")},
        {"ends in a slash/", QStringLiteral("ends in a slash/.")},
        {"ends in Cyrillic я", QStringLiteral("ends in Cyrillic я.")},
        {"", QString()},
    };
    for (const auto& c : cases) {
        Answerer.Boxes.clear();
        try {
            throw Exception(c.Message);
        } catch (...) {
            Application->HandleException(nullptr);
        }
        ASSERT_EQ(Answerer.Boxes.size(), 1u) << c.Message;
        const auto& box = Answerer.Boxes[0];
        EXPECT_EQ(box.Text, c.Text) << c.Message;
        EXPECT_EQ(box.Caption, QString::fromStdString(Application->Title()));
        EXPECT_EQ(box.Icon, QMessageBox::Critical);
        EXPECT_EQ(box.Standard, QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(box.ButtonCount, 1u);
        EXPECT_TRUE(box.Modal);
    }
}

TEST_F(FailureBox, ShowsForeignExceptionsToo) {
    try {
        throw std::runtime_error("disk full");
    } catch (...) {
        Application->HandleException(nullptr);
    }
    try {
        throw 42;
    } catch (...) {
        Application->HandleException(nullptr);
    }
    ASSERT_EQ(Answerer.Boxes.size(), 2u);
    EXPECT_EQ(Answerer.Boxes[0].Text, QStringLiteral("disk full."));
    EXPECT_FALSE(Answerer.Boxes[1].Text.isEmpty());
}

TEST_F(FailureBox, NothingIsShownOutsideAnExceptionHandler) {
    Application->HandleException(nullptr);
    EXPECT_TRUE(Answerer.Boxes.empty());
}

// A component that, like the settings store, takes over the form's events in its Loaded step and runs its
// own work before the form's handlers.
class HookingComponent : public TComponent {
    Q_OBJECT
public:
    HookingComponent(QObject* owner, std::vector<std::string>& trace) : TComponent(owner), FTrace(trace) {}

    bool LoadingSeenInLoaded = false;

    void Loaded() override {
        TComponent::Loaded();
        LoadingSeenInLoaded = Loading();
        FTrace.push_back("Loaded");
        auto* form = qobject_cast<TForm*>(Owner());
        FSavedShow = form->OnShow;
        FSavedCloseQuery = form->OnCloseQuery;
        FSavedDestroy = form->OnDestroy;
        form->OnShow = [this](QObject* Sender) {
            FTrace.push_back("component show");
            if (FSavedShow) {
                FSavedShow(Sender);
            }
        };
        form->OnCloseQuery = [this](QObject* Sender, bool& CanClose) {
            if (FSavedCloseQuery) {
                FSavedCloseQuery(Sender, CanClose);
            }
            FTrace.push_back(CanClose ? "component close" : "component close refused");
        };
        form->OnDestroy = [this](QObject* Sender) {
            FTrace.push_back("component destroy");
            if (FSavedDestroy) {
                FSavedDestroy(Sender);
            }
        };
    }

private:
    std::vector<std::string>& FTrace;
    TNotifyEvent FSavedShow;
    TCloseQueryEvent FSavedCloseQuery;
    TNotifyEvent FSavedDestroy;
};

class TraceForm : public TForm {
    Q_OBJECT
public:
    explicit TraceForm(std::vector<std::string>& trace) : FTrace(trace) {
        Component = new HookingComponent(this, trace);
        Component->setObjectName(QStringLiteral("Store1"));
        FTrace.push_back(Loading() ? "built while loading" : "built");
        OnCreate = [this](QObject*) { FTrace.push_back(Loading() ? "create while loading" : "create"); };
        OnShow = [this](QObject*) {
            // The platform window is not on the screen yet.
            FTrace.push_back(windowHandle() != nullptr && windowHandle()->isVisible() ? "show visible" : "show");
        };
        OnCloseQuery = [this](QObject*, bool& CanClose) {
            FTrace.push_back("close query");
            CanClose = AllowClose;
        };
        OnDestroy = [this](QObject*) { FTrace.push_back("destroy"); };
    }
    ~TraceForm() override { BeforeDestruction(); }

    HookingComponent* Component;
    bool AllowClose = true;

private:
    std::vector<std::string>& FTrace;
};

class FormEvents : public ::testing::Test {
protected:
    std::vector<std::string> Trace;
    BoxAnswerer Answerer;
};

TEST_F(FormEvents, ComponentsHookInLoadedAndTheirWorkComesFirst) {
    auto* form = TForm::Create<TraceForm>(Trace);
    EXPECT_TRUE(form->Component->LoadingSeenInLoaded);
    EXPECT_FALSE(form->Loading());
    EXPECT_FALSE(form->Component->Loading());

    form->show();
    ASSERT_NE(form->windowHandle(), nullptr);
    EXPECT_TRUE(form->windowHandle()->isVisible());
    form->close();
    form->Free();
    EXPECT_THAT(Trace, ElementsAre("built while loading", "Loaded", "create", "component show", "show", "close query",
                                   "component close", "component destroy", "destroy"));
    EXPECT_TRUE(Answerer.Boxes.empty());
}

TEST_F(FormEvents, AComponentCreatedAfterTheFormIsBuiltIsNotLoaded) {
    auto* form = TForm::Create<TraceForm>(Trace);
    Trace.clear();
    auto* late = new HookingComponent(form, Trace);
    EXPECT_FALSE(late->Loading());
    form->Free();
    // Only the component built with the form had hooked the destroy event.
    EXPECT_THAT(Trace, ElementsAre("component destroy", "destroy"));
}

TEST_F(FormEvents, EveryShowingRunsOnShowAgain) {
    auto* form = TForm::Create<TraceForm>(Trace);
    form->show();
    form->hide();
    form->show();
    EXPECT_EQ(std::count(Trace.begin(), Trace.end(), std::string("show")), 2);
    form->Free();
}

TEST_F(FormEvents, ARefusedCloseKeepsTheFormOpenAndALaterCloseSucceeds) {
    auto* form = TForm::Create<TraceForm>(Trace);
    form->show();
    form->AllowClose = false;
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    form->AllowClose = true;
    EXPECT_TRUE(form->close());
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(std::count(Trace.begin(), Trace.end(), std::string("component close refused")), 1);
    EXPECT_EQ(std::count(Trace.begin(), Trace.end(), std::string("component close")), 1);
    form->Free();
}

TEST_F(FormEvents, OnDestroyRunsOnceWhetherFreedOrDeleted) {
    auto* form = TForm::Create<TraceForm>(Trace);
    form->BeforeDestruction();
    delete form;
    EXPECT_EQ(std::count(Trace.begin(), Trace.end(), std::string("destroy")), 1);
}

TEST_F(FormEvents, ExceptionsOfEveryHandlerGoToTheFailureBox) {
    auto* form = TForm::Create<TraceForm>(Trace);
    form->OnCreate = [](QObject*) { throw Exception("create failed"); };
    form->OnShow = [](QObject*) { throw Exception("show failed"); };
    form->OnDestroy = [](QObject*) { throw Exception("destroy failed"); };
    form->AfterConstruction();
    form->show();
    // The failure does not stop the showing.
    EXPECT_TRUE(form->isVisible());
    form->Free();
    ASSERT_EQ(Answerer.Boxes.size(), 3u);
    EXPECT_EQ(Answerer.Boxes[0].Text, QStringLiteral("create failed."));
    EXPECT_EQ(Answerer.Boxes[1].Text, QStringLiteral("show failed."));
    EXPECT_EQ(Answerer.Boxes[2].Text, QStringLiteral("destroy failed."));
}

TEST_F(FormEvents, ACloseQueryHandlerThatRaisesKeepsTheFormOpen) {
    auto* form = TForm::Create<TraceForm>(Trace);
    form->show();
    form->OnCloseQuery = [](QObject*, bool&) { throw Exception("cannot close"); };
    EXPECT_FALSE(form->close());
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(Answerer.Boxes.size(), 1u);
    EXPECT_EQ(Answerer.Boxes[0].Text, QStringLiteral("cannot close."));
    form->Free();
}

TEST_F(FormEvents, FormOfFindsTheFormAboveAnyChild) {
    auto* form = TForm::Create<TraceForm>(Trace);
    auto* panel = new QWidget(form);
    auto* inner = new QObject(panel);
    EXPECT_EQ(TForm::FormOf(inner), form);
    EXPECT_EQ(TForm::FormOf(form->Component), form);
    EXPECT_EQ(TForm::FormOf(nullptr), nullptr);
    form->Free();
}

TEST_F(FormEvents, DialogBorderFixesTheClientSizeAndAnchorsFollowIt) {
    TForm form;
    form.SetDialogBorder(436, 294);
    auto* stretched = new QWidget(&form);
    stretched->setGeometry(63, 18, 365, 21);
    form.SetAnchors(stretched, TForm::akLeft | TForm::akTop | TForm::akRight);
    auto* right = new QWidget(&form);
    right->setGeometry(300, 100, 20, 20);
    form.SetAnchors(right, TForm::akRight | TForm::akBottom);
    auto* bottom = new QWidget(&form);
    bottom->resize(10, 19);
    form.AlignBottom(bottom);
    auto* above = new QWidget(&form);
    above->resize(10, 92);
    form.AlignBottom(above);

    EXPECT_EQ(form.minimumSize(), QSize(436, 294));
    EXPECT_EQ(form.maximumSize(), QSize(436, 294));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(bottom->geometry(), QRect(0, 275, 436, 19));
    EXPECT_EQ(above->geometry(), QRect(0, 183, 436, 92));

    form.setFixedSize(500, 300);
    form.show();
    EXPECT_EQ(stretched->geometry(), QRect(63, 18, 429, 21));
    EXPECT_EQ(right->geometry(), QRect(364, 106, 20, 20));
    EXPECT_EQ(bottom->geometry(), QRect(0, 281, 500, 19));
    EXPECT_EQ(above->geometry(), QRect(0, 189, 500, 92));
}

// A frame brought into a monitor's work area moves as little as it must, on each axis on its own.
TEST(FramePlacement, FitIntoMovesTheFrameOnlyAsFarAsItMust) {
    const QRect area(0, 30, 1600, 1170); // a work area below a 30-pixel panel
    struct Case {
        QRect Frame;
        QPoint Expected;
    } cases[] = {
        {{100, 200, 442, 323}, {100, 200}},    // inside: kept
        {{2500, 200, 442, 323}, {1158, 200}},  // right of it: the right edges meet
        {{-900, 200, 442, 323}, {0, 200}},     // left of it
        {{100, 0, 442, 323}, {100, 30}},       // under the panel
        {{2500, 5000, 442, 323}, {1158, 877}}, // beyond a corner: into that corner
        {{100, 200, 2000, 1300}, {0, 30}},     // larger than the area: left and top edges on the area's
        {{1158, 877, 442, 323}, {1158, 877}},  // exactly in the bottom right corner
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FitInto(c.Frame, area), c.Expected) << c.Frame.x() << "," << c.Frame.y();
    }
}

TEST(Button, AUserClickShowsTheFailureAndAClickInCodeLetsItThrough) {
    BoxAnswerer answerer;
    TsButton button;
    int clicks = 0;
    button.OnClick = [&](QObject* Sender) {
        ++clicks;
        EXPECT_EQ(Sender, &button);
        throw Exception("Папка не найдена\r");
    };
    button.click();
    ASSERT_EQ(answerer.Boxes.size(), 1u);
    EXPECT_EQ(answerer.Boxes[0].Text, QStringLiteral("Папка не найдена\r"));
    EXPECT_THROW(button.Click(), Exception);
    EXPECT_EQ(answerer.Boxes.size(), 1u);
    EXPECT_EQ(clicks, 2);
}

TEST(CheckBox, CheckedIsAPublishedProperty) {
    TsCheckBox box;
    EXPECT_TRUE(box.setProperty("Checked", true));
    EXPECT_TRUE(box.isChecked());
    box.setChecked(false);
    EXPECT_EQ(box.property("Checked"), QVariant(false));
    EXPECT_STREQ(box.metaObject()->className(), "pardova::platform::TsCheckBox");
}

// The toolkit's own texts follow the user's language; the program's texts never change.
TEST(ToolkitTranslations, FollowTheLanguageAndAreReplacedByTheNextLoad) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFile::exists(folder + QStringLiteral("/qtbase_ru.qm"))) {
        GTEST_SKIP() << "no Russian catalogue of the toolkit in " << folder.toStdString()
                     << " (scripts/setup installs qt6-translations-l10n)";
    }
    ASSERT_TRUE(LoadToolkitTranslations(QLocale(QLocale::Russian, QLocale::Russia)));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Copy"), QStringLiteral("&Копировать"));
    // A language without a catalogue: the earlier one is taken out all the same.
    EXPECT_FALSE(LoadToolkitTranslations(QLocale(QLocale::Swahili, QLocale::Kenya)));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}

TEST(Finalizers, RunOnceInReverseOrderEvenWhenOneThrows) {
    std::vector<int> order;
    RegisterFinalizer([&] { order.push_back(1); });
    RegisterFinalizer([&] {
        order.push_back(2);
        RegisterFinalizer([&] { order.push_back(4); });
    });
    RegisterFinalizer([&] {
        order.push_back(3);
        throw std::runtime_error("ignored");
    });
    RunFinalizers();
    RunFinalizers();
    EXPECT_THAT(order, ElementsAre(3, 2, 4, 1));
}

class HaltingForm : public TForm {
    Q_OBJECT
public:
    HaltingForm() {
        OnShow = [](QObject*) {
            std::fputs("show;", stderr);
            Application->Halt(3);
        };
        OnDestroy = [](QObject*) { std::fputs("destroy;", stderr); };
    }
    ~HaltingForm() override { BeforeDestruction(); }
};

TEST(Halt, FromOnShowDestroysTheFormsThenRunsTheFinalisersThenExits) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            RegisterFinalizer([] { std::fputs("first unit;", stderr); });
            RegisterFinalizer([] { std::fputs("second unit;", stderr); });
            HaltingForm* form = nullptr;
            Application->CreateForm(form);
            form->show();
            std::fputs("not reached;", stderr);
        },
        ::testing::ExitedWithCode(3), "show;destroy;second unit;first unit;$");
}

} // namespace
} // namespace pardova::platform

#include "WindowTests.moc"
