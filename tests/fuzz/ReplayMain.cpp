// The main of a fuzz target built as a test: runs the target over every file
// of the folders (or files) it is given, in name order, plus the empty input.
// Each file's name is printed before its run, so the output of a failed test
// ends with the input that failed.

#include "FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<std::uint8_t> readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::filesystem::path> files;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path path(argv[i]);
        if (std::filesystem::is_directory(path)) {
            for (const auto& entry : std::filesystem::directory_iterator(path))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        } else if (std::filesystem::is_regular_file(path)) {
            files.push_back(path);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "no inputs found\n");
        return 1;
    }
    std::sort(files.begin(), files.end());

    static const std::uint8_t none = 0;
    LLVMFuzzerTestOneInput(&none, 0);
    for (const auto& file : files) {
        std::fprintf(stderr, "%s\n", file.string().c_str());
        const std::vector<std::uint8_t> data = readFile(file);
        LLVMFuzzerTestOneInput(data.data(), data.size());
    }
    std::fprintf(stderr, "%zu inputs\n", files.size());
    return 0;
}
