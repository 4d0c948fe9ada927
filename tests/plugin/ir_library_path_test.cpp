#include "plugin/ir_library_path.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tolvar {
namespace {

std::string Built(const char* modulePath, char separator) {
    char out[kIrLibraryPathBytes];
    std::memset(out, '#', sizeof out);
    if (!BuildIrLibraryPath(modulePath, separator, out, sizeof out)) return "<refused>";
    return out;
}

// The folder's name is written out here on purpose, apart from
// composer/ir_library_layout.h: it is where users put the library.
TEST(IrLibraryPath, CutsAfterTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(Built("E:\\Plugins\\fx\\tolvar.dll", '\\'), "E:\\Plugins\\fx\\tolvar\\");
    EXPECT_EQ(Built("D:/fx/a.dll", '\\'), "D:/fx/tolvar\\");
    EXPECT_EQ(Built("C:\\a/b\\c.dll", '\\'), "C:\\a/b\\tolvar\\");
    EXPECT_EQ(Built("C:/a\\b/c.dll", '\\'), "C:/a\\b/tolvar\\");
    EXPECT_EQ(Built("/usr/lib/vst/tolvar.so", '/'), "/usr/lib/vst/tolvar/");
    EXPECT_EQ(Built("tolvar.dll", '\\'), "tolvar\\");
    EXPECT_EQ(Built("", '/'), "tolvar/");
    EXPECT_EQ(Built(nullptr, '/'), "tolvar/");
    EXPECT_EQ(Built("/", '/'), "/tolvar/");
}

TEST(IrLibraryPath, AFolderTooLongForTheBufferIsRefusedWithoutWritingPastIt) {
    // The folder plus "tolvar", a separator and the terminator must fit in 1024 bytes.
    for (int folderLength : {1010, 1016, 1017, 1018, 1023, 1500}) {
        std::string modulePath(folderLength - 1, 'x');
        modulePath += "/tolvar.so";
        char out[kIrLibraryPathBytes + 16];
        std::memset(out, '#', sizeof out);
        const bool built = BuildIrLibraryPath(modulePath.c_str(), '/', out, kIrLibraryPathBytes);
        EXPECT_EQ(built, folderLength + 8 <= kIrLibraryPathBytes) << folderLength;
        if (built) {
            EXPECT_EQ(std::strlen(out), static_cast<std::size_t>(folderLength + 7));
        } else {
            EXPECT_EQ(out[0], '\0');
        }
        for (int i = kIrLibraryPathBytes; i < kIrLibraryPathBytes + 16; ++i) ASSERT_EQ(out[i], '#');
    }
}

}  // namespace
}  // namespace tolvar
