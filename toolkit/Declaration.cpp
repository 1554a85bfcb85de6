#include "toolkit/Declaration.h"

#include "toolkit/Exceptions.h"

#include <cctype>
#include <limits>

namespace toolkit {

namespace {

// Deep enough for any real form, shallow enough that hostile input cannot
// exhaust the stack.
constexpr int MaxNesting = 32;

bool IsIdentifierStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentifierChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }

void AppendUtf8(std::string& out, unsigned long code)
{
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

class Parser {
public:
    explicit Parser(std::string_view text)
        : m_text(text)
    {
    }

    DeclarationNode Parse()
    {
        DeclarationNode root = ParseObject(0);
        SkipSpace();
        if (!AtEnd())
            Fail("text after the final end");
        return root;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const
    {
        throw EReadError("Declaration line " + std::to_string(m_line) + ": " + what);
    }

    bool AtEnd() const { return m_pos >= m_text.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_text[m_pos]; }

    void SkipSpace()
    {
        while (!AtEnd()) {
            char c = m_text[m_pos];
            if (c == '\n')
                ++m_line;
            if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
                break;
            ++m_pos;
        }
    }

    std::string Identifier()
    {
        SkipSpace();
        if (!IsIdentifierStart(Peek()))
            Fail("a name was expected");
        std::size_t start = m_pos;
        while (!AtEnd() && IsIdentifierChar(m_text[m_pos]))
            ++m_pos;
        return std::string(m_text.substr(start, m_pos - start));
    }

    void Expect(char c)
    {
        SkipSpace();
        if (Peek() != c)
            Fail(std::string("'") + c + "' was expected");
        ++m_pos;
    }

    DeclarationNode ParseObject(int depth)
    {
        if (depth >= MaxNesting)
            Fail("objects nested too deeply");
        DeclarationNode node;
        if (Identifier() != "object")
            Fail("'object' was expected");
        node.Line = m_line;
        node.Name = Identifier();
        Expect(':');
        node.ClassName = Identifier();
        for (;;) {
            SkipSpace();
            if (AtEnd())
                Fail("'end' was expected");
            int line = m_line;
            std::string name = Identifier();
            if (name == "end")
                return node;
            if (name == "object") {
                m_pos -= 6;
                node.Children.push_back(ParseObject(depth + 1));
                continue;
            }
            Expect('=');
            PropertyValue value = Value();
            node.Properties.push_back({ std::move(name), std::move(value), line });
        }
    }

    PropertyValue Value()
    {
        SkipSpace();
        PropertyValue value;
        char c = Peek();
        if (c == '-' || c == '+' || std::isdigit(static_cast<unsigned char>(c))) {
            value.Type = PropertyValue::Kind::Integer;
            value.Integer = Integer();
        } else if (c == '\'' || c == '#') {
            value.Type = PropertyValue::Kind::String;
            value.Text = String();
        } else if (c == '[') {
            value.Type = PropertyValue::Kind::Set;
            value.Elements = Set();
        } else if (c == '{') {
            value.Type = PropertyValue::Kind::Binary;
            value.Binary = Binary();
        } else if (IsIdentifierStart(c)) {
            value.Type = PropertyValue::Kind::Identifier;
            value.Text = Identifier();
        } else {
            Fail("a value was expected");
        }
        return value;
    }

    long long Integer()
    {
        bool negative = Peek() == '-';
        if (Peek() == '-' || Peek() == '+')
            ++m_pos;
        if (!std::isdigit(static_cast<unsigned char>(Peek())))
            Fail("a number was expected");
        unsigned long long magnitude = 0;
        while (std::isdigit(static_cast<unsigned char>(Peek()))) {
            magnitude = magnitude * 10 + unsigned(Peek() - '0');
            if (magnitude > (unsigned long long)std::numeric_limits<int>::max() + 1)
                Fail("number out of range");
            ++m_pos;
        }
        long long result = negative ? -(long long)magnitude : (long long)magnitude;
        if (result > std::numeric_limits<int>::max())
            Fail("number out of range");
        return result;
    }

    // Quoted runs and #code characters, joined by '+' across lines.
    std::string String()
    {
        std::string text;
        for (;;) {
            if (Peek() == '\'') {
                ++m_pos;
                for (;;) {
                    if (AtEnd() || Peek() == '\n')
                        Fail("string not closed");
                    if (Peek() == '\'') {
                        ++m_pos;
                        if (Peek() != '\'')
                            break;
                    }
                    text += m_text[m_pos++];
                }
            } else if (Peek() == '#') {
                ++m_pos;
                unsigned long code = 0;
                if (!std::isdigit(static_cast<unsigned char>(Peek())))
                    Fail("a character code was expected");
                while (std::isdigit(static_cast<unsigned char>(Peek()))) {
                    code = code * 10 + unsigned(Peek() - '0');
                    if (code > 0x10FFFF)
                        Fail("character code out of range");
                    ++m_pos;
                }
                AppendUtf8(text, code);
            } else {
                std::size_t save = m_pos;
                int saveLine = m_line;
                SkipSpace();
                if (Peek() == '+') {
                    ++m_pos;
                    SkipSpace();
                    if (Peek() == '\'' || Peek() == '#')
                        continue;
                    Fail("a string was expected after '+'");
                }
                m_pos = save;
                m_line = saveLine;
                return text;
            }
        }
    }

    std::vector<std::string> Set()
    {
        std::vector<std::string> elements;
        ++m_pos;
        SkipSpace();
        if (Peek() == ']') {
            ++m_pos;
            return elements;
        }
        for (;;) {
            elements.push_back(Identifier());
            SkipSpace();
            if (Peek() == ']') {
                ++m_pos;
                return elements;
            }
            Expect(',');
        }
    }

    std::vector<std::uint8_t> Binary()
    {
        std::vector<std::uint8_t> bytes;
        ++m_pos;
        int pending = -1;
        for (;;) {
            SkipSpace();
            if (AtEnd())
                Fail("'}' was expected");
            char c = m_text[m_pos++];
            if (c == '}')
                break;
            int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                : (c >= 'A' && c <= 'F')                            ? c - 'A' + 10
                : (c >= 'a' && c <= 'f')                            ? c - 'a' + 10
                                                                    : -1;
            if (digit < 0)
                Fail("a hexadecimal digit was expected");
            if (pending < 0) {
                pending = digit;
            } else {
                bytes.push_back(std::uint8_t(pending << 4 | digit));
                pending = -1;
            }
        }
        if (pending >= 0)
            Fail("binary data has an odd number of digits");
        return bytes;
    }

    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_line = 1;
};

[[noreturn]] void WrongKind(const char* expected)
{
    throw EReadError(std::string("Invalid property value: ") + expected + " expected");
}

}

long long PropertyValue::AsInteger() const
{
    if (Type != Kind::Integer)
        WrongKind("a number");
    return Integer;
}

bool PropertyValue::AsBoolean() const
{
    if (Type == Kind::Identifier && (Text == "True" || Text == "False"))
        return Text == "True";
    WrongKind("True or False");
}

const std::string& PropertyValue::AsIdentifier() const
{
    if (Type != Kind::Identifier)
        WrongKind("a name");
    return Text;
}

const std::string& PropertyValue::AsString() const
{
    if (Type != Kind::String)
        WrongKind("a string");
    return Text;
}

const std::vector<std::string>& PropertyValue::AsSet() const
{
    if (Type != Kind::Set)
        WrongKind("a set");
    return Elements;
}

const std::vector<std::uint8_t>& PropertyValue::AsBinary() const
{
    if (Type != Kind::Binary)
        WrongKind("binary data");
    return Binary;
}

DeclarationNode ParseDeclaration(std::string_view text)
{
    return Parser(text).Parse();
}

}
