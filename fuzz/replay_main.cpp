// Runs every file of the given files and folders once through the fuzz target,
// for builds without libFuzzer: the seed corpus and the regression inputs
// become an ordinary test.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace {

bool runFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", file.c_str());
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A copy of exactly its size, so that a read past the end is caught as under libFuzzer.
    std::vector<uint8_t> input(bytes.begin(), bytes.end());
    std::fprintf(stderr, "input %s (%zu bytes)\n", file.c_str(), input.size());
    LLVMFuzzerTestOneInput(input.empty() ? nullptr : input.data(), input.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    int inputs = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        std::error_code error;
        if (std::filesystem::is_directory(arg, error)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(arg, error))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
            for (const auto& file : files) {
                ok = runFile(file) && ok;
                ++inputs;
            }
        } else if (std::filesystem::is_regular_file(arg, error)) {
            ok = runFile(arg) && ok;
            ++inputs;
        } else {
            std::fprintf(stderr, "no such file or folder: %s\n", argv[i]);
            ok = false;
        }
    }
    std::fprintf(stderr, "%d input(s) run\n", inputs);
    return ok && inputs > 0 ? 0 : 1;
}
