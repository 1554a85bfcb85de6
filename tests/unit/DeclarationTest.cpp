#include "HeadlessFixture.h"

#include "toolkit/Declaration.h"
#include "toolkit/DeclarationReader.h"
#include "toolkit/Exceptions.h"

using namespace toolkit;

namespace {

TEST(DeclarationParseTest, ReadsEveryKindOfValue)
{
    DeclarationNode root = ParseDeclaration(R"(object Form1: TForm1
  Left = 263
  Font.Height = -12
  BorderStyle = bsSingle
  Caption = 'it''s '#65325'#'
    + 'more'
  Font.Style = []
  BorderIcons = [biSystemMenu, biMinimize]
  Icon.Data = {
    00ff10
    Ab
  }
  object Timer1: TTimer
    Interval = 60
  end
end
)");
    EXPECT_EQ(root.Name, "Form1");
    EXPECT_EQ(root.ClassName, "TForm1");
    ASSERT_EQ(root.Properties.size(), 7u);
    EXPECT_EQ(root.Properties[0].Value.AsInteger(), 263);
    EXPECT_EQ(root.Properties[1].Name, "Font.Height");
    EXPECT_EQ(root.Properties[1].Value.AsInteger(), -12);
    EXPECT_EQ(root.Properties[2].Value.AsIdentifier(), "bsSingle");
    EXPECT_EQ(root.Properties[3].Value.AsString(), "it's \xEF\xBC\xAD#more");
    EXPECT_EQ(root.Properties[3].Line, 5);
    EXPECT_TRUE(root.Properties[4].Value.AsSet().empty());
    EXPECT_EQ(root.Properties[5].Value.AsSet(), (std::vector<std::string> { "biSystemMenu", "biMinimize" }));
    EXPECT_EQ(root.Properties[6].Value.AsBinary(), (std::vector<std::uint8_t> { 0x00, 0xFF, 0x10, 0xAB }));
    ASSERT_EQ(root.Children.size(), 1u);
    EXPECT_EQ(root.Children[0].Line, 13);
    EXPECT_EQ(root.Children[0].Properties[0].Line, 14);
}

struct BadText {
    const char* Name;
    std::string Text;
    const char* Expected; // the start of the message
};

void PrintTo(const BadText& text, std::ostream* out) { *out << text.Name; }

class MalformedDeclarationTest : public testing::TestWithParam<BadText> { };

TEST_P(MalformedDeclarationTest, FailsNamingTheLine)
{
    try {
        ParseDeclaration(GetParam().Text);
        FAIL() << "parsed";
    } catch (const EReadError& error) {
        EXPECT_TRUE(std::string(error.what()).starts_with(GetParam().Expected)) << error.what();
    }
}

std::string Nested(int depth)
{
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "object A: T\n";
    for (int i = 0; i < depth; ++i)
        text += "end\n";
    return text;
}

INSTANTIATE_TEST_SUITE_P(Texts, MalformedDeclarationTest,
    testing::Values(BadText { "Empty", "", "Declaration line 1: a name was expected" },
        BadText { "NoEnd", "object A: T\n  Left = 1\n", "Declaration line 3: 'end' was expected" },
        BadText { "OpenString", "object A: T\n  Caption = 'abc\nend", "Declaration line 2: string not closed" },
        BadText { "OddHex", "object A: T\n  D = {\n 0A1\n }\nend", "Declaration line 4: binary data has an odd" },
        BadText { "NotHex", "object A: T\n\n  D = { 0G }\nend", "Declaration line 3: a hexadecimal digit" },
        BadText { "NoColon", "object A T\nend", "Declaration line 1: ':' was expected" },
        BadText { "NoValue", "object A: T\n  Left = ;\nend", "Declaration line 2: a value was expected" },
        BadText { "HugeNumber", "object A: T\n  Left = 99999999999\nend", "Declaration line 2: number out of range" },
        BadText { "HugeCharacter", "object A: T\n  C = #1114112\nend", "Declaration line 2: character code out" },
        BadText { "TrailingText", "object A: T\nend\nend", "Declaration line 3: text after the final end" },
        BadText { "TooDeep", Nested(40), "Declaration line 33: objects nested too deeply" }),
    [](const testing::TestParamInfo<BadText>& info) { return info.param.Name; });

class DeclarationReaderTest : public HeadlessFixture { };

TEST_F(DeclarationReaderTest, BindsComponentsAndHandlersInDeclarationOrder)
{
    TTestForm* form = CreateTestForm(R"(object TestForm: TTestForm
  ClientWidth = 16
  ClientHeight = 8
  OnCreate = FormCreate
  object Image1: TImage
    Width = 4
    Height = 4
    OnClick = Image1Click
  end
  object Timer1: TTimer
    Interval = 100
    OnTimer = Timer1Timer
  end
end
)");
    ASSERT_NE(form, nullptr);
    EXPECT_EQ(form->Calls, (std::vector<std::string> { "FormCreate" }));
    ASSERT_NE(form->Image1, nullptr);
    EXPECT_EQ(form->Image1->Name, "Image1");
    EXPECT_EQ(form->Image1->Parent(), form);
    EXPECT_EQ(form->Components(), (std::vector<TComponent*> { form->Image1, form->Timer1 }));
    EXPECT_EQ(form->Timer1->Interval(), 100u);
    EXPECT_TRUE(form->Timer1->Enabled());
    form->Image1->Click();
    EXPECT_EQ(form->Calls.back(), "Image1Click");
    EXPECT_TRUE(Backend->ErrorBoxes.empty());
}

struct BadDeclaration {
    const char* Name;
    const char* Body; // inside "object TestForm: TTestForm" ... "end", from line 2
    const char* Expected;
};

void PrintTo(const BadDeclaration& declaration, std::ostream* out) { *out << declaration.Name; }

class UnreadableDeclarationTest : public HeadlessFixture, public testing::WithParamInterface<BadDeclaration> { };

TEST_P(UnreadableDeclarationTest, ShowsOneErrorNamingItsLineAndCreatesNoForm)
{
    TTestForm* form = CreateTestForm(std::string("object TestForm: TTestForm\n") + GetParam().Body + "end\n");
    EXPECT_EQ(form, nullptr);
    ASSERT_EQ(Backend->ErrorBoxes.size(), 1u);
    EXPECT_EQ(Backend->ErrorBoxes[0].Message, GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Items, UnreadableDeclarationTest,
    testing::Values(
        BadDeclaration { "UnknownClass", "  ClientWidth = 8\n  object Image1: TPanel\n  end\n",
            "Declaration line 3: unknown class TPanel of Image1." },
        BadDeclaration { "UnknownField", "  object Image2: TImage\n  end\n",
            "Declaration line 2: no field named Image2 of class TImage." },
        BadDeclaration { "FieldOfAnotherClass", "  object Image1: TTimer\n  end\n",
            "Declaration line 2: no field named Image1 of class TTimer." },
        BadDeclaration { "UnknownProperty", "  object Image1: TImage\n    Stretch = True\n  end\n",
            "Declaration line 3: unknown property Image1.Stretch." },
        BadDeclaration { "UnknownHandler", "  OnCreate = FormShow\n",
            "Declaration line 2: no handler named FormShow for TestForm.OnCreate." },
        BadDeclaration { "UnknownEvent", "  object Timer1: TTimer\n    OnClick = Image1Click\n  end\n",
            "Declaration line 3: unknown event Timer1.OnClick." },
        BadDeclaration { "WrongValueKind", "\n  ClientWidth = 'wide'\n",
            "Declaration line 3: TestForm.ClientWidth: Invalid property value: a number expected." },
        BadDeclaration { "HugeClientArea", "  ClientWidth = 4097\n",
            "Declaration line 2: TestForm.ClientWidth: size out of range." },
        BadDeclaration { "UnknownIdentifier", "  BorderStyle = bsRound\n",
            "Declaration line 2: TestForm.BorderStyle: unknown border style bsRound." },
        BadDeclaration { "BadPictureData", "  object Image1: TImage\n    Picture.Data = {\n      03414243\n    }\n  end\n",
            "Declaration line 3: Image1.Picture.Data: Unknown picture class ABC." }),
    [](const testing::TestParamInfo<BadDeclaration>& info) { return info.param.Name; });

}
