// On ELF platforms a C++ function cannot itself be named main, so the exported
// entry carries the assembler name `main`. The linker's version script keeps it
// the library's only export.
#include "plugin/entry.h"

extern "C" tolvar::AEffect* TolvarExportedMain(tolvar::AudioMasterCallback audioMaster) __asm__("main");

extern "C" tolvar::AEffect* TolvarExportedMain(tolvar::AudioMasterCallback audioMaster) {
    return tolvar::TolvarPluginMain(audioMaster);
}
