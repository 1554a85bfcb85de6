// Command strings are the program's own, but the interpreter takes any text:
// each line of the input is one command, carried out against a fake opener,
// so only the interpreter's words, aliases and bookkeeping are exercised.
#include "media/CommandString.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

int LiveDevices = 0;

class FakeDevice : public media::SequencerDevice {
public:
    FakeDevice() { ++LiveDevices; }
    ~FakeDevice() override { --LiveDevices; }
    media::CommandError Play() override { return media::CommandError::None; }
    media::CommandError Stop() override { return media::CommandError::None; }
};

// Files named "bad..." stand for ones the sequencer cannot play.
media::OpenedDevice OpenFake(const std::filesystem::path& element)
{
    if (element.filename().string().starts_with("bad"))
        return { media::CommandError::InvalidElement, nullptr };
    return { media::CommandError::None, std::make_unique<FakeDevice>() };
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

std::string FirstWordLowered(const std::string& command)
{
    std::string word;
    std::istringstream(command) >> word;
    for (char& c : word)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return word;
}

std::filesystem::path Scratch;

void RemoveScratch()
{
    std::error_code error;
    std::filesystem::remove_all(Scratch, error);
}

}

// Opens succeed only for files that exist, so the fuzzer runs in a scratch
// folder holding the program's tune path and two more.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    std::string folder = (std::filesystem::temp_directory_path() / "whiteout-fuzz-XXXXXX").string();
    Check(mkdtemp(folder.data()) != nullptr);
    Scratch = folder;
    std::atexit(RemoveScratch);
    std::filesystem::create_directories(Scratch / "[]");
    for (const char* name : { "[]/;;;;;.mid", "a.mid", "bad.mid" })
        std::ofstream(Scratch / name) << "MThd";
    std::filesystem::current_path(Scratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    {
        media::CommandInterpreter interpreter(OpenFake);
        std::size_t start = 0;
        while (start <= input.size()) {
            std::size_t end = input.find('\n', start);
            if (end == std::string_view::npos)
                end = input.size();
            const std::string command(input.substr(start, end - start));
            start = end + 1;

            const int before = LiveDevices;
            const media::CommandError result = interpreter.Execute(command);
            // A successful open adds one device and a successful close removes
            // one; nothing else changes what is open.
            int change = 0;
            if (result == media::CommandError::None) {
                const std::string verb = FirstWordLowered(command);
                change = verb == "open" ? 1 : verb == "close" ? -1 : 0;
            }
            Check(LiveDevices - before == change);
        }
    }
    // Destroying the interpreter closes whatever is still open.
    Check(LiveDevices == 0);

    // Folder separators become the platform's; nothing else changes.
    const std::string element(input);
    const std::string native = media::NativePath(element).string();
    Check(native.size() == element.size());
    for (std::size_t i = 0; i < native.size(); ++i)
        Check(native[i] == (element[i] == '\\' ? char(std::filesystem::path::preferred_separator) : element[i]));
    return 0;
}
