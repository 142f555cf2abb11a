// Export and import of a full album (1000 users with 10 face data each, a
// 41.7 MB album file) next to `cp -r` of the same store tree, the floor that
// any way of writing these 22,000 files has to pay. Targets: import within
// 3 x and export within 2 x the floor.
//
// Nearly all of an import's CPU time is the kernel's: on a file system that
// skips recently freed inodes (ext4 without a journal), making a file costs
// more the more files were deleted nearby in the last half minute, by this
// process or any other. The floor therefore reports the CPU time of its `cp`
// (cpu_s): compare the import's CPU with the floor of the same run, not with
// a figure from another day.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "album/AlbumFile.h"
#include "album/AlbumMngr.h"
#include "album/PictureFile.h"

namespace fs = std::filesystem;

namespace {

const std::string kFolder = "./KYTO-EMU/1";

// A working folder for the whole run, removed at exit.
class Workspace {
public:
    Workspace() {
        std::string tmpl = (fs::temp_directory_path() / "kyto-album-bench.XXXXXX").string();
        if (mkdtemp(tmpl.data())) {
            path_ = tmpl;
            fs::current_path(path_);
        }
        AlbumFileData data;
        data.image.data.assign(1000, 0x42);
        for (int id = 0; id < 1000; ++id) {
            data.AddUser(id, "person " + std::to_string(id));
            for (int n = 0; n < 10; ++n) {
                AlbumFileEntry entry;
                entry.dataNumber = n;
                entry.date = "2024/01/01";
                InitBlankPicture(entry.picture);
                for (std::size_t i = 0; i < entry.picture.Size(); ++i) {
                    entry.picture.Pixels()[i] = static_cast<std::uint8_t>(id + n + i);
                }
                data.AddEntry(id, std::move(entry));
            }
        }
        const auto bytes = EncodeAlbumFile(data, {});
        std::ofstream("full.kyl", std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
        album_.OpenFolder(kFolder);
        AlbumImage image;
        album_.ImportAlbumFile("full.kyl", image);
    }
    ~Workspace() {
        std::error_code ec;
        fs::current_path(fs::temp_directory_path(), ec);
        fs::remove_all(path_, ec);
    }
    CAlbumMngr& Album() { return album_; }

private:
    fs::path path_;
    CAlbumMngr album_;
};

Workspace& Space() {
    static Workspace space;
    return space;
}

// Every timed run starts on a settled disk: the file system here discards
// deleted blocks and skips recently freed inodes, so the work left behind by
// the previous run would otherwise land on the next one.
void Settle(benchmark::State& state) {
    state.PauseTiming();
    ::sync();
    state.ResumeTiming();
}

void BM_ExportFullAlbum(benchmark::State& state) {
    CAlbumMngr& album = Space().Album();
    AlbumImage image;
    image.data.assign(1000, 0x42);
    for (auto _ : state) {
        Settle(state);
        if (album.ExportAlbumFile(image, "out.kyl") != 0) {
            state.SkipWithError("export failed");
        }
    }
    state.counters["MB"] = static_cast<double>(fs::file_size("out.kyl")) / 1e6;
}

void BM_ImportFullAlbum(benchmark::State& state) {
    CAlbumMngr& album = Space().Album();
    for (auto _ : state) {
        Settle(state);
        AlbumImage image;
        if (album.ImportAlbumFile("full.kyl", image) != 0) {
            state.SkipWithError("import failed");
        }
    }
    state.counters["users"] = static_cast<double>(album.Store().ListUsers().size());
}

double ChildrenCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The floor: copying the store tree the import writes. The copy runs in a
// child process, whose CPU time the benchmark's own column does not see.
void BM_CopyTreeFloor(benchmark::State& state) {
    Space();
    const std::string source = kFolder + "/RegistData";
    double cpu = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        std::error_code ec;
        fs::remove_all("floor-copy", ec);
        ::sync();
        const double before = ChildrenCpuSeconds();
        state.ResumeTiming();
        if (std::system(("cp -r " + source + " floor-copy").c_str()) != 0) {
            state.SkipWithError("cp failed");
        }
        cpu += ChildrenCpuSeconds() - before;
    }
    state.counters["cpu_s"] = benchmark::Counter(cpu, benchmark::Counter::kAvgIterations);
}

}  // namespace

BENCHMARK(BM_CopyTreeFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExportFullAlbum)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ImportFullAlbum)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

BENCHMARK_MAIN();
