// Command strings to the MIDI sequencer, in the shape of the platform's multimedia
// command-string interface: "open <element> type sequencer alias <alias>",
// "play <alias>", "stop <alias>" and "close <alias>". Playback itself is the device's.
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace media {

// Result codes of a command; 0 is success.
enum class CommandError : int {
    None = 0,
    UnknownCommand,    // The first word names no command.
    BadParameters,     // Words are missing or left over.
    UnknownDeviceType, // An open asks for a type other than "sequencer".
    UnknownAlias,      // No open device goes by the alias.
    AliasInUse,        // An open names the alias of a device still open.
    ElementNotFound,   // The file to open does not exist or cannot be read.
    InvalidElement,    // The file is not a Standard MIDI File the sequencer can play.
    DeviceUnavailable, // No synthesizer: no SoundFont, or it failed to load.
};

// A device made by an open command. Destroying it is the close: it releases everything.
class SequencerDevice {
public:
    virtual ~SequencerDevice() = default;
    virtual CommandError Play() = 0;
    virtual CommandError Stop() = 0;
};

struct OpenedDevice {
    CommandError Error = CommandError::None;
    std::unique_ptr<SequencerDevice> Device; // Set exactly when Error is None.
};

// Opens an element, given as a native path, with the sequencer device.
using SequencerOpener = std::function<OpenedDevice(const std::filesystem::path& element)>;

// Carries out command strings on the devices it opened, addressed by alias.
// Words are separated by white space; commands, keywords and aliases ignore case.
class CommandInterpreter {
public:
    explicit CommandInterpreter(SequencerOpener opener);
    CommandError Execute(const std::string& command);

private:
    CommandError Open(const std::vector<std::string>& words);
    SequencerDevice* Find(const std::string& alias) const;

    SequencerOpener Opener;
    std::map<std::string, std::unique_ptr<SequencerDevice>> Devices;
};

// The element as the program writes it, with "\" as the folder separator, as a native path.
std::filesystem::path NativePath(const std::string& element);

// Sends one command string; returns 0 on success, an error code otherwise. Never throws.
int SendCommandString(const std::string& command);

using CommandStringHandler = std::function<int(const std::string&)>;

// Replaces where command strings go (tests record them); returns the previous handler.
// Passing {} restores the real interpreter.
CommandStringHandler SetCommandStringHandler(CommandStringHandler handler);

} // namespace media
