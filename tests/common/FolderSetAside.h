#pragma once

#include <filesystem>

namespace qnt::test {

// Moves a folder out of the way for as long as it lives, so a test may empty or fill that
// place as it likes; then removes what the test left there and puts the folder back.
class FolderSetAside
{
public:
    explicit FolderSetAside(std::filesystem::path folder);
    ~FolderSetAside();
    FolderSetAside(const FolderSetAside &) = delete;
    FolderSetAside &operator=(const FolderSetAside &) = delete;

private:
    std::filesystem::path m_folder;
    std::filesystem::path m_aside;
    bool m_existed = false;
};

} // namespace qnt::test
