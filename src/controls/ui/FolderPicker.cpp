#include "controls/ui/FolderPicker.h"

namespace pardova {

platform::OverridePoint<FolderPickerFactory> TheFolderPickerFactory{&CreateDefaultFolderPicker};

std::unique_ptr<IFolderPicker> CreateFolderPicker(QWidget* parent) { return TheFolderPickerFactory.Get()(parent); }

} // namespace pardova
