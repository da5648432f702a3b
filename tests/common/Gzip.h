#pragma once

#include <optional>
#include <string>

namespace qnt::test {

// The bytes a gzip stream inflates to; nothing when it does not inflate whole.
std::optional<std::string> gunzip(const std::string &bytes);

} // namespace qnt::test
