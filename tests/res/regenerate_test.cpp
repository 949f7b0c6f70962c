// The committed pictures are what the generator draws: running it again gives the same bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(RegenerateTest, GeneratorReproducesTheCommittedFiles) {
#ifndef ORVIK_SKIN_GEN
    GTEST_SKIP() << "the skin generator is not part of this build";
#else
    if (std::system("command -v convert >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "ImageMagick is not installed";
    }
    std::string pattern = (fs::temp_directory_path() / "orvik-skin-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path out = pattern;
    const fs::path source = fs::path(ORVIK_SOURCE_DIR);
    const std::string command =
        "env -u ORVIK_SKIN_PREVIEW ORVIK_SKIN_GEN='" + std::string(ORVIK_SKIN_GEN) + "' '" +
        (source / "tools/skin-gen/generate").string() + "' '" + out.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;

    int compared = 0;
    for (const auto& entry : fs::recursive_directory_iterator(out)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        const fs::path relative = fs::relative(entry.path(), out);
        SCOPED_TRACE(relative.string());
        const fs::path committed = source / "res" / relative;
        ASSERT_TRUE(fs::exists(committed)) << "generated but not committed";
        EXPECT_TRUE(ReadAll(entry.path()) == ReadAll(committed))
            << "differs from the committed file";
        ++compared;
    }
    // 17 PNGs, the icon, the JPG, the GIF and the data block.
    EXPECT_EQ(compared, 21);
    fs::remove_all(out);
#endif
}

}  // namespace
