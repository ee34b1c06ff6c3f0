#pragma once
// Answers the application's failure boxes in place of a user and remembers what they showed.

#include "platform/window/Application.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QString>

#include <vector>

namespace pardova::testing {

struct ShownBox {
    QString Text;
    QString Caption;
    QMessageBox::Icon Icon;
    QMessageBox::StandardButtons Standard;
    size_t ButtonCount;
    bool Modal;
};

class BoxAnswerer {
public:
    BoxAnswerer() {
        Application->SetMessageBoxHook([this](QMessageBox& box) {
            Boxes.push_back({box.text(), box.windowTitle(), box.icon(), box.standardButtons(),
                             static_cast<size_t>(box.buttons().size()), box.isModal()});
            box.button(QMessageBox::Ok)->click();
        });
    }
    ~BoxAnswerer() { Application->SetMessageBoxHook(nullptr); }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    std::vector<ShownBox> Boxes;
};

} // namespace pardova::testing
