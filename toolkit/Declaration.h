// A form's stored declaration, parsed from its text: a tree of objects, each
// with its properties in the order they were written. Reading the tree into
// live components is DeclarationReader's job.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace toolkit {

struct PropertyValue {
    enum class Kind { Integer, Identifier, String, Set, Binary };

    Kind Type = Kind::Integer;
    long long Integer = 0;
    std::string Text; // an identifier's name or a string's UTF-8 text
    std::vector<std::string> Elements; // a set's identifiers
    std::vector<std::uint8_t> Binary;

    // Each throws EReadError when the value is of another kind.
    long long AsInteger() const;
    bool AsBoolean() const;
    const std::string& AsIdentifier() const;
    const std::string& AsString() const;
    const std::vector<std::string>& AsSet() const;
    const std::vector<std::uint8_t>& AsBinary() const;
};

struct PropertyEntry {
    std::string Name; // may be dotted: "Font.Name"
    PropertyValue Value;
    int Line = 0;
};

struct DeclarationNode {
    std::string Name;
    std::string ClassName;
    int Line = 0;
    std::vector<PropertyEntry> Properties;
    std::vector<DeclarationNode> Children;
};

// Parses "object Name: TClass ... end". Throws EReadError naming the line of
// the first fault.
DeclarationNode ParseDeclaration(std::string_view text);

}
