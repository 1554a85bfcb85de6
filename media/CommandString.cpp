#include "media/CommandString.h"

#include "media/FluidSequencer.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <sstream>
#include <utility>

namespace media {

namespace {

std::vector<std::string> SplitWords(const std::string& command)
{
    std::istringstream stream(command);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

std::string Lowered(std::string word)
{
    std::transform(word.begin(), word.end(), word.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return word;
}

} // namespace

CommandInterpreter::CommandInterpreter(SequencerOpener opener)
    : Opener(std::move(opener))
{
}

CommandError CommandInterpreter::Execute(const std::string& command)
{
    const std::vector<std::string> words = SplitWords(command);
    if (words.empty())
        return CommandError::UnknownCommand;
    const std::string verb = Lowered(words[0]);
    if (verb == "open")
        return Open(words);
    if (verb != "play" && verb != "stop" && verb != "close")
        return CommandError::UnknownCommand;
    if (words.size() != 2)
        return CommandError::BadParameters;

    const std::string alias = Lowered(words[1]);
    SequencerDevice* device = Find(alias);
    if (device == nullptr)
        return CommandError::UnknownAlias;
    if (verb == "play")
        return device->Play();
    if (verb == "stop")
        return device->Stop();
    Devices.erase(alias);
    return CommandError::None;
}

CommandError CommandInterpreter::Open(const std::vector<std::string>& words)
{
    // open <element> type <type> alias <alias>
    if (words.size() != 6 || Lowered(words[2]) != "type" || Lowered(words[4]) != "alias")
        return CommandError::BadParameters;
    if (Lowered(words[3]) != "sequencer")
        return CommandError::UnknownDeviceType;
    const std::string alias = Lowered(words[5]);
    if (Find(alias) != nullptr)
        return CommandError::AliasInUse;

    const std::filesystem::path element = NativePath(words[1]);
    std::error_code error;
    if (!std::filesystem::is_regular_file(element, error))
        return CommandError::ElementNotFound;
    OpenedDevice opened = Opener(element);
    if (opened.Error != CommandError::None)
        return opened.Error;
    Devices.emplace(alias, std::move(opened.Device));
    return CommandError::None;
}

SequencerDevice* CommandInterpreter::Find(const std::string& alias) const
{
    const auto found = Devices.find(alias);
    return found == Devices.end() ? nullptr : found->second.get();
}

std::filesystem::path NativePath(const std::string& element)
{
    std::string native = element;
    std::replace(native.begin(), native.end(), '\\',
                 static_cast<char>(std::filesystem::path::preferred_separator));
    return std::filesystem::path(native);
}

namespace {

struct CommandService {
    CommandStringHandler Handler;
    CommandInterpreter Interpreter{OpenFluidSequencer};
};

// Trivially destructible, so it can still be read while static objects are being
// destroyed: a shutdown handler that runs after the service is gone finds nothing open.
bool ServiceDestroyed = false;

CommandService* Service()
{
    struct Holder {
        CommandService Value;
        ~Holder() { ServiceDestroyed = true; }
    };
    if (ServiceDestroyed)
        return nullptr;
    // Made on first use and destroyed at exit before the libraries it uses, which
    // closes whatever is still open and joins its threads.
    static Holder holder;
    return &holder.Value;
}

} // namespace

int SendCommandString(const std::string& command)
{
    CommandService* service = Service();
    if (service == nullptr)
        return static_cast<int>(CommandError::DeviceUnavailable);
    if (service->Handler)
        return service->Handler(command);
    // The sequencer fails silently by design: the program ignores every result and
    // must run on exactly as with sound, so even running out of memory or threads
    // while opening ends up as an error code here.
    try {
        return static_cast<int>(service->Interpreter.Execute(command));
    } catch (const std::exception&) {
        return static_cast<int>(CommandError::DeviceUnavailable);
    }
}

CommandStringHandler SetCommandStringHandler(CommandStringHandler handler)
{
    CommandService* service = Service();
    if (service == nullptr)
        return {};
    return std::exchange(service->Handler, std::move(handler));
}

} // namespace media
