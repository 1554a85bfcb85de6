#include "toolkit/Exceptions.h"

namespace toolkit {

std::string FormatMessage(const std::string& pattern, const std::string& argument)
{
    for (const char* placeholder : { "%s", "%d" }) {
        std::size_t at = pattern.find(placeholder);
        if (at != std::string::npos)
            return pattern.substr(0, at) + argument + pattern.substr(at + 2);
    }
    return pattern;
}

}
