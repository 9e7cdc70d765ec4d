// Runs a harness once over every input of its corpus, without libFuzzer, so that the normal
// and the sanitizer builds replay what fuzzing found on every test run. A broken invariant
// aborts as it does under the fuzzer; the input that caused it is named on the way out.
//   fuzz_corpus_<harness> fuzz/corpus/<harness>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size);
// Present only in a sanitizer build: called before a sanitizer ends the process.
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

namespace {

char g_szInput[4096];  // the input being run, for the handlers below

void SayInput() {
    const char head[] = "\nreplayed input: ";
    (void)!::write(STDERR_FILENO, head, sizeof head - 1);
    (void)!::write(STDERR_FILENO, g_szInput, std::strlen(g_szInput));
    (void)!::write(STDERR_FILENO, "\n", 1);
}

void OnSignal(int sig) {
    SayInput();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

bool ReadInput(const std::filesystem::path& p, std::vector<uint8_t>& bytes) {
    std::ifstream in(p, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.good() || in.eof();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS-DIRECTORY\n", argv[0]);
        return 2;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<fs::path> inputs;
    for (const fs::directory_entry& e : fs::directory_iterator(argv[1], ec))
        if (e.is_regular_file()) inputs.push_back(e.path());
    // A harness that has no corpus yet is skipped (CTest's SKIP_RETURN_CODE); an empty or
    // unreadable one would pass while testing nothing.
    if (ec == std::errc::no_such_file_or_directory) {
        std::fprintf(stderr, "%s: no corpus %s yet\n", argv[0], argv[1]);
        return 77;
    }
    if (ec || inputs.empty()) {
        std::fprintf(stderr, "%s: no inputs in %s\n", argv[0], argv[1]);
        return 1;
    }
    std::sort(inputs.begin(), inputs.end());
    for (int sig : {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL})
        std::signal(sig, OnSignal);
    if (__sanitizer_set_death_callback) __sanitizer_set_death_callback(SayInput);

    const auto start = std::chrono::steady_clock::now();
    std::vector<uint8_t> bytes;
    static const uint8_t kNothing = 0;
    for (const fs::path& p : inputs) {
        std::snprintf(g_szInput, sizeof g_szInput, "%s", p.c_str());
        if (!ReadInput(p, bytes)) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], p.c_str());
            return 1;
        }
        LLVMFuzzerTestOneInput(bytes.empty() ? &kNothing : bytes.data(), bytes.size());
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%zu inputs of %s replayed in %.1f s\n", inputs.size(), argv[1], took.count());
    return 0;
}
