#include "toolkit/Resources.h"

#include <map>

namespace toolkit {

namespace {
std::map<std::string, std::span<const std::uint8_t>>& ResourceTable()
{
    static std::map<std::string, std::span<const std::uint8_t>> table;
    return table;
}
}

void RegisterResource(const std::string& name, std::span<const std::uint8_t> data)
{
    ResourceTable()[name] = data;
}

std::span<const std::uint8_t> FindResource(const std::string& name)
{
    auto found = ResourceTable().find(name);
    return found == ResourceTable().end() ? std::span<const std::uint8_t>() : found->second;
}

}
