// The whole load path of the main window's settings on any settings.ini: the INI document, the value
// texts, format detection, the text-to-stream conversion and the property reader applying the values to
// the real main window. A load may fail with an exception (the window then drops it); it must never crash,
// hang or touch memory it does not own.

#include "app/ui/fMain.h"
#include "settings/ui/PropStorage.h"

#include <QApplication>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

using namespace pardova;

namespace {

std::string IniPath() {
    static const std::string path =
        (std::filesystem::temp_directory_path() / ("pardova-fuzz-" + std::to_string(getpid()) + ".ini")).string();
    return path;
}

TMainForm* Window() {
    static TMainForm* form = [] {
        auto* manager = new TIniPropStorageManEh();
        manager->SetIniFileName(IniPath());
        InstallDefaultStorageManager(manager);
        return new TMainForm();
    }();
    return form;
}

} // namespace

// The system's font configuration keeps caches for the life of the process; they are not ours to free.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication application(*argc, *argv);
    // The window is built once, before the first input, so its one-time set-up is not fuzzed. The file's
    // name exists before the clean-up is registered, so it is destroyed after the clean-up has run.
    Window();
    std::atexit([] { std::remove(IniPath().c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (FILE* file = std::fopen(IniPath().c_str(), "wb")) {
        std::fwrite(data, 1, size, file);
        std::fclose(file);
    }
    try {
        Window()->PropStorage1->LoadProperties();
    } catch (const std::exception&) {
    }
    return 0;
}
