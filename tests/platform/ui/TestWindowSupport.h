#pragma once
// Answers the application's failure boxes in place of a user and remembers what they showed.

#include "platform/ui/Application.h"

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
        platform::Application->SetMessageBoxHook([this](platform::TShownBox& box) {
            Boxes.push_back({box.Text(), box.Caption(), box.Icon(), box.Buttons(), box.ButtonCount(), box.IsModal()});
            box.Press(QMessageBox::Ok);
        });
    }
    ~BoxAnswerer() { platform::Application->SetMessageBoxHook(nullptr); }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;

    std::vector<ShownBox> Boxes;
};

} // namespace pardova::testing
