#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace uhf::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
  public:
    TempFolder() : root(CreateUnique("uhf-test-")) {}
    ~TempFolder() {
        if (kept) {
            return;
        }
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return root; }
    // Leaves the folder behind, for a look at what a failed test wrote.
    void Keep() { kept = true; }

    // The folder with a trailing separator, as an executable's folder is given.
    std::string Dir() const { return root.string() + "/"; }
    std::string PathOf(const std::string& name) const { return (root / name).string(); }

    void Write(const std::string& name, const std::string& bytes) const {
        WriteFile(root / name, bytes);
    }
    static void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    std::string Read(const std::string& name) const { return ReadFile(root / name); }
    static std::string ReadFile(const std::filesystem::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool Exists(const std::string& name) const { return std::filesystem::exists(root / name); }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

  private:
    // Creates a new folder named `prefix` and a random number under the temporary folder; empty
    // when none could be made.
    static std::filesystem::path CreateUnique(const std::string& prefix) {
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::filesystem::path candidate =
                std::filesystem::temp_directory_path() / (prefix + std::to_string(random()));
            std::error_code error;
            if (std::filesystem::create_directory(candidate, error)) {
                return candidate;
            }
        }
        return {};
    }

    std::filesystem::path root;
    bool kept = false;
};

}  // namespace uhf::test
