// Data built into the executable (declarations, icons), found by name.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace toolkit {

void RegisterResource(const std::string& name, std::span<const std::uint8_t> data);
// Empty when nothing of that name was built in.
std::span<const std::uint8_t> FindResource(const std::string& name);

}
