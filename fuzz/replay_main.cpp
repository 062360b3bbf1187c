// Feeds saved fuzz inputs to a target without libFuzzer, so every ordinary build (GCC, with or
// without the sanitizers) replays the committed corpus. Arguments are files or folders; a folder
// contributes every regular file in it, in name order so that a failure is reproducible.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

namespace {

std::vector<fs::path> inputsOf(const fs::path& argument)
{
    if (!fs::is_directory(argument))
        return {argument};
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(argument))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        if (!fs::exists(argv[i])) {
            std::fprintf(stderr, "replay: %s does not exist\n", argv[i]);
            return 1;
        }
        for (const fs::path& file : inputsOf(argv[i])) {
            std::ifstream in(file, std::ios::binary);
            if (!in) {
                std::fprintf(stderr, "replay: cannot read %s\n", file.string().c_str());
                return 1;
            }
            const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                          std::istreambuf_iterator<char>()};
            // Printed first, so the input that trips a property is the last line before the abort.
            std::fprintf(stderr, "replay: %s (%zu bytes)\n", file.string().c_str(), bytes.size());
            // A buffer of exactly the file's size, never null (as libFuzzer hands it over), so that
            // AddressSanitizer catches a read past the end.
            const auto data = std::make_unique<std::uint8_t[]>(bytes.size());
            std::copy(bytes.begin(), bytes.end(), data.get());
            LLVMFuzzerTestOneInput(data.get(), bytes.size());
            ++replayed;
        }
    }
    // An empty or misplaced corpus must not pass as a clean replay.
    if (replayed == 0) {
        std::fprintf(stderr, "replay: no inputs found\n");
        return 1;
    }
    std::fprintf(stderr, "replay: %zu inputs, all properties held\n", replayed);
    return 0;
}
