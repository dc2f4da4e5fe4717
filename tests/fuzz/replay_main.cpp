// Runs a fuzz target over saved inputs without libFuzzer, so that every normal build
// checks the seed corpus and the inputs of past findings. Arguments are files or
// folders of files; a broken property aborts the run as it would under the fuzzer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

std::vector<std::filesystem::path> Inputs(const std::filesystem::path& argument) {
    std::vector<std::filesystem::path> inputs;
    std::error_code error;
    if (std::filesystem::is_directory(argument, error)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argument, error))
            if (entry.is_regular_file()) inputs.push_back(entry.path());
        std::sort(inputs.begin(), inputs.end());
    } else if (std::filesystem::is_regular_file(argument, error)) {
        inputs.push_back(argument);
    }
    return inputs;
}

}  // namespace

int main(int argc, char** argv) {
    // libFuzzer always tries the empty input first; so does this.
    LLVMFuzzerTestOneInput(nullptr, 0);
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        const std::vector<std::filesystem::path> inputs = Inputs(argv[i]);
        if (inputs.empty()) {
            std::fprintf(stderr, "no inputs in %s\n", argv[i]);
            return 1;
        }
        for (const std::filesystem::path& path : inputs) {
            std::ifstream file(path, std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(file)),
                                          std::istreambuf_iterator<char>());
            if (!file.eof() && file.fail()) {
                std::fprintf(stderr, "cannot read %s\n", path.c_str());
                return 1;
            }
            // A fresh copy of exactly the input's size, so reading past it is caught.
            const std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
            LLVMFuzzerTestOneInput(copy.data(), copy.size());
            ++count;
        }
    }
    std::printf("replayed %zu inputs\n", count);
    return 0;
}
