// Declarations are read from data built into the program, but the reader must
// still refuse anything else with EReadError and never crash: parse the text,
// then read it into a small form on the headless backend.
#include "media/JpegImage.h"
#include "toolkit/Application.h"
#include "toolkit/Controls.h"
#include "toolkit/DeclarationReader.h"
#include "toolkit/Exceptions.h"
#include "toolkit/Forms.h"
#include "toolkit/headless/HeadlessBackend.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

class TFuzzForm : public toolkit::TForm {
public:
    explicit TFuzzForm(toolkit::TComponent* AOwner)
        : TForm(AOwner)
    {
        PublishField("Image1", &TFuzzForm::Image1);
        PublishField("Timer1", &TFuzzForm::Timer1);
        PublishField("Timer2", &TFuzzForm::Timer2);
        PublishMethod("FormCreate", &TFuzzForm::Handler);
        PublishMethod("Image1Click", &TFuzzForm::Handler);
        PublishMethod("Timer1Timer", &TFuzzForm::Handler);
    }

    toolkit::TImage* Image1 = nullptr;
    toolkit::TTimer* Timer1 = nullptr;
    toolkit::TTimer* Timer2 = nullptr;

    void Handler(toolkit::TObject*) { }
};

}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    toolkit::Application->Initialize(std::make_unique<toolkit::HeadlessBackend>());
    // Picture.Data names its kind; the JPEG kind is the one the program has.
    media::RegisterJpegImage();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    toolkit::DeclarationNode root;
    try {
        root = toolkit::ParseDeclaration(text);
    } catch (const toolkit::EReadError&) {
        return 0;
    }
    TFuzzForm form(nullptr);
    try {
        toolkit::ReadDeclaration(form, "TFuzzForm", root);
    } catch (const toolkit::Exception&) {
        // A picture of a kind that cannot read its data fails with the kind's
        // own exception; every one of them is a toolkit exception.
    }
    return 0;
}
