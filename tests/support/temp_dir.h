// A private temporary folder for a test's files, removed afterwards, and
// the helpers for files in it; the same on Linux and on Windows, where
// paths are UTF-8 as the batch keeps them (std::filesystem::u8path).
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>

namespace kalvero::testing {

// Writes bytes to path (creating folders above it) and returns path.
inline std::string WriteFile(const std::string& path, const std::string& bytes) {
    const std::filesystem::path file = std::filesystem::u8path(path);
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline bool Exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(
        std::filesystem::symlink_status(std::filesystem::u8path(path), ignored));
}

class TempDir {
public:
    // A new folder in the system's temporary folder: prefix, then six random
    // letters.
    explicit TempDir(const std::string& prefix = "kalvero-") {
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        std::random_device seed;
        std::mt19937 random(seed());
        std::uniform_int_distribution<int> letter(0, 25);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = prefix;
            for (int i = 0; i < 6; ++i)
                name += static_cast<char>('a' + letter(random));
            const std::filesystem::path candidate = base / std::filesystem::u8path(name);
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                path_ = candidate;
                return;
            }
            if (error)
                throw std::runtime_error("cannot make a test folder in " + base.u8string() + ": " +
                                         error.message());
        }
        throw std::runtime_error("cannot find a free name for a test folder in " + base.u8string());
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // Writes bytes to name inside the folder and returns its full path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        return WriteFile(Path(name), bytes);
    }
    std::string Path(const std::string& name) const {
        return (path_ / std::filesystem::u8path(name)).u8string();
    }

private:
    std::filesystem::path path_;
};

// Changes the working directory for its lifetime.
class WorkingDirectory {
public:
    explicit WorkingDirectory(const std::string& folder) : saved_(std::filesystem::current_path()) {
        std::filesystem::current_path(std::filesystem::u8path(folder));
    }
    ~WorkingDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(saved_, ignored);
    }
    WorkingDirectory(const WorkingDirectory&) = delete;
    WorkingDirectory& operator=(const WorkingDirectory&) = delete;

private:
    std::filesystem::path saved_;
};

} // namespace kalvero::testing
