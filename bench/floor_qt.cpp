// The floor under a silent start: the toolkit's libraries loaded, the application object started on the
// platform a silent pass without a display gets, one hidden window created, and nothing else.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.winId();
    return 0;
}
