#include "controls/ui/FolderPicker.h"

#include <utility>

namespace pardova {

namespace {

FolderPickerFactory& CurrentFactory() {
    static FolderPickerFactory factory;
    return factory;
}

} // namespace

FolderPickerFactory SetFolderPickerFactory(FolderPickerFactory factory) {
    return std::exchange(CurrentFactory(), std::move(factory));
}

std::unique_ptr<IFolderPicker> CreateFolderPicker(QWidget* parent) {
    const FolderPickerFactory& factory = CurrentFactory();
    return factory ? factory(parent) : CreateDefaultFolderPicker(parent);
}

} // namespace pardova
