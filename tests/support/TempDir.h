#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

// A fresh temporary folder that becomes the working directory for the life of
// the object; the previous working directory is restored and the folder
// removed afterwards. Every relative path of the application then lands here.
class TempDir {
public:
    TempDir() : previous_(std::filesystem::current_path()) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kyto-test.XXXXXX").string();
        if (!mkdtemp(tmpl.data())) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = tmpl;
        std::filesystem::current_path(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }

    // Copies a configuration file shipped beside the executables (the build
    // copies data/ there) into this folder.
    static std::filesystem::path ShippedFile(const std::string& name) {
        const char* bin = std::getenv("KYTO_BIN_DIR");
        if (bin && *bin) {
            return std::filesystem::path(bin) / name;
        }
        // Run by hand: the build puts the files beside the test executable.
        return std::filesystem::read_symlink("/proc/self/exe").parent_path() / name;
    }
    void CopyShipped(const std::string& name) const {
        std::filesystem::copy_file(ShippedFile(name), path_ / name,
                                   std::filesystem::copy_options::overwrite_existing);
    }

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};
