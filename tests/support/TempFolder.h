#pragma once

#include <string>

// A fresh folder below the system's temporary folder, removed with all it holds.
class TTempFolder {
public:
    explicit TTempFolder(const std::string& prefix = "meridax-test");
    ~TTempFolder() noexcept;
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// A fresh folder as the working directory for as long as the object lives; the previous one
// comes back afterwards.
class TTempWorkingDir {
public:
    explicit TTempWorkingDir(const std::string& prefix = "meridax-test");
    ~TTempWorkingDir() noexcept;
    TTempWorkingDir(const TTempWorkingDir&) = delete;
    TTempWorkingDir& operator=(const TTempWorkingDir&) = delete;

    const std::string& Path() const { return folder_.Path(); }
    std::string File(const std::string& name) const { return folder_.File(name); }

private:
    TTempFolder folder_;
    std::string previous_;
};
