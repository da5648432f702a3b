#include "common/FolderSetAside.h"

namespace qnt::test {

FolderSetAside::FolderSetAside(std::filesystem::path folder)
    : m_folder(std::move(folder))
{
    std::error_code error;
    m_existed = std::filesystem::exists(std::filesystem::symlink_status(m_folder, error));
    if (!m_existed)
        return;
    for (int n = 0;; ++n) {
        m_aside = m_folder;
        m_aside += ".set-aside-" + std::to_string(n);
        if (!std::filesystem::exists(std::filesystem::symlink_status(m_aside, error)))
            break;
    }
    std::filesystem::rename(m_folder, m_aside);
}

FolderSetAside::~FolderSetAside()
{
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
    if (m_existed)
        std::filesystem::rename(m_aside, m_folder, ignored);
}

} // namespace qnt::test
