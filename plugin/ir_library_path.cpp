#include "plugin/ir_library_path.h"

#include <cstring>
#include <memory>
#include <new>

#include "composer/ir_library_layout.h"
#include "plugin/platform/platform.h"

namespace tolvar {
namespace {

char irLibraryPath[kIrLibraryPathBytes];

// Room for the longest module path the system can report (Windows' long paths
// reach 32767 UTF-16 units, up to three UTF-8 bytes each), so that a long file
// name in a folder that fits does not cost the instance; only the folder has
// to fit the IR path.
constexpr int kModulePathBytes = 3 * 32768;

}  // namespace

bool BuildIrLibraryPath(const char* modulePath, char separator, char* out, int outBytes) {
    if (!out || outBytes < 1) return false;
    std::size_t folderLength = 0;  // bytes kept from modulePath, through its last separator
    const std::size_t pathLength = modulePath ? std::strlen(modulePath) : 0;
    for (std::size_t i = pathLength; i > 0; --i) {
        if (modulePath[i - 1] == '\\' || modulePath[i - 1] == '/') {
            folderLength = i;
            break;
        }
    }
    const std::size_t nameLength = sizeof kIrFolderName - 1;
    if (folderLength + nameLength + 2 > static_cast<std::size_t>(outBytes)) {
        out[0] = '\0';
        return false;
    }
    if (folderLength > 0) std::memmove(out, modulePath, folderLength);
    std::memcpy(out + folderLength, kIrFolderName, nameLength);
    out[folderLength + nameLength] = separator;
    out[folderLength + nameLength + 1] = '\0';
    return true;
}

const char* EnsureIrLibraryPath() {
    if (irLibraryPath[0] != '\0') return irLibraryPath;
    const std::unique_ptr<char[]> modulePath(new (std::nothrow) char[kModulePathBytes]);
    if (!modulePath || GetLibraryFilePath(modulePath.get(), kModulePathBytes) < 0) return nullptr;
    if (!BuildIrLibraryPath(modulePath.get(), kIrFolderSeparator, irLibraryPath, sizeof irLibraryPath)) return nullptr;
    return irLibraryPath;
}

const char* IrLibraryPath() { return irLibraryPath; }

}  // namespace tolvar
