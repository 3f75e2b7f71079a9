// Replays every file of a corpus folder through a fuzz target, so the corpus runs as a
// plain test without libFuzzer. Exit status 0 when every input was handled.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  int n = 0;
  for (int a = 1; a < argc; ++a) {
    std::error_code ec;
    if (!fs::exists(argv[a], ec)) {
      std::fprintf(stderr, "no existe el corpus %s\n", argv[a]);
      return 1;
    }
    std::vector<fs::path> files;
    if (fs::is_directory(argv[a]))
      for (const auto& e : fs::recursive_directory_iterator(argv[a]))
        if (e.is_regular_file()) files.push_back(e.path());
    if (fs::is_regular_file(argv[a])) files.push_back(argv[a]);
    for (const auto& f : files) {
      std::ifstream in(f, std::ios::binary);
      std::vector<char> buf((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(buf.data()), buf.size());
      ++n;
    }
  }
  std::printf("%d entradas reproducidas\n", n);
  return n > 0 ? 0 : 1;
}
