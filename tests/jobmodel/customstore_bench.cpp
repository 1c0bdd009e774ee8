// One save of the option record against one atomic write (temporary file, flush, rename,
// folder flush) of a file of the same size, in the same run: the store should cost little
// more than the write it cannot avoid.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "jobmodel/customsetting.h"
#include "jobmodel/customstore.h"
#include "support/tempdir.h"

namespace jobmodel {
namespace {

void BM_SaveOptionRecord(benchmark::State& state) {
    testsupport::TempDir store;
    ::setenv("LUMACAST_REGISTRY_DIR", store.str().c_str(), 1);
    CustomSetting record{};
    InitCustomSetting(record);
    CurrentCustomSetting = &record;
    int n = 0;
    for (auto _ : state) {
        record.FrameRate = float(++n);  // a value changes each time, so every save writes
        SaveCustomSetting();
    }
    CurrentCustomSetting = nullptr;
    ::unsetenv("LUMACAST_REGISTRY_DIR");
}
BENCHMARK(BM_SaveOptionRecord)->Unit(benchmark::kMillisecond);

// The size of the store one save of the record leaves.
std::string StoreOfOneSave() {
    testsupport::TempDir store;
    ::setenv("LUMACAST_REGISTRY_DIR", store.str().c_str(), 1);
    CustomSetting record{};
    InitCustomSetting(record);
    CurrentCustomSetting = &record;
    SaveCustomSetting();
    CurrentCustomSetting = nullptr;
    ::unsetenv("LUMACAST_REGISTRY_DIR");
    std::ifstream in(store.path() / "registry", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void BM_AtomicWriteOfTheSameSize(benchmark::State& state) {
    const std::string text = StoreOfOneSave();
    testsupport::TempDir dir;
    const std::string file = (dir.path() / "file").string(), temp = file + ".tmp";
    for (auto _ : state) {
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0 || ::write(fd, text.data(), text.size()) != ssize_t(text.size()) || ::fsync(fd) != 0) {
            state.SkipWithError("cannot write");
            break;
        }
        ::close(fd);
        if (::rename(temp.c_str(), file.c_str()) != 0) state.SkipWithError("cannot rename");
        int dfd = ::open(dir.str().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::fsync(dfd);
        ::close(dfd);
    }
    state.counters["bytes"] = double(text.size());
}
BENCHMARK(BM_AtomicWriteOfTheSameSize)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace jobmodel
