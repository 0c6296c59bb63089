// Runs a fuzz target without the fuzzer: each input file named on the
// command line, or each file of each folder named, in name order, once. The
// suite replays the seeds this way with the ordinary compiler, and the
// coverage build replays a whole corpus. A failed check aborts.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" [[gnu::weak]] int LLVMFuzzerInitialize(int* argc, char*** argv);

static void replay(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

int main(int argc, char** argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(argv[i])) {
            for (const auto& entry : std::filesystem::directory_iterator(argv[i]))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            std::sort(files.begin(), files.end());
        } else if (std::filesystem::exists(argv[i])) {
            files.push_back(argv[i]);
        } else {
            std::fprintf(stderr, "%s: no such input\n", argv[i]);
            return 1;
        }
        for (const auto& file : files)
            replay(file);
        count += files.size();
    }
    std::fprintf(stderr, "replayed %zu inputs\n", count);
    return count > 0 ? 0 : 1;
}
